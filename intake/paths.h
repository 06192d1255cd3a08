// The fixed DOS paths of the service and of the host programs' job files.
//
// This is the one place that names the host programs' directories: the launcher,
// the installer and the test scripts take them from here (norvexa-print
// --drive-layout, and the build's generated files).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

namespace nx::paths {

// The service's own directory and the seven host programs' directories on drive C,
// in the order the watch tries their jobs.
inline constexpr std::string_view kServiceDirName = "norvexa";
inline constexpr std::array<std::string_view, 7> kHostDirs = {
    "talvera", "brimost", "quenlit", "vorbane", "selkira", "manduro", "pexolan",
};
inline constexpr std::string_view kJobFileName = "wnyomtat.txt";

namespace detail {
// "c:\<dir>\wnyomtat.txt" as a constant of its own.
template <std::size_t I>
inline constexpr auto kCandidate = [] {
    constexpr std::string_view dir = kHostDirs[I];
    std::array<char, 3 + dir.size() + 1 + kJobFileName.size()> text{};
    std::size_t n = 0;
    for (char c : std::string_view("c:\\")) text[n++] = c;
    for (char c : dir) text[n++] = c;
    text[n++] = '\\';
    for (char c : kJobFileName) text[n++] = c;
    return text;
}();
template <std::size_t... I>
constexpr std::array<std::string_view, sizeof...(I)> candidates(std::index_sequence<I...>) {
    return {std::string_view(kCandidate<I>.data(), kCandidate<I>.size())...};
}
}  // namespace detail

// The job files, "c:\talvera\wnyomtat.txt" first.
inline constexpr std::array<std::string_view, kHostDirs.size()> kJobCandidates =
    detail::candidates(std::make_index_sequence<kHostDirs.size()>());

inline constexpr std::string_view kWorkingCopy = "c:\\norvexa\\nyomtat1.txt";
inline constexpr std::string_view kLastJobCopy = "c:\\norvexa\\legutobb.txt";
// The working copy of a watched folder's job (ESC/P, its bytes as they are).
inline constexpr std::string_view kFolderWorkingCopy = "c:\\norvexa\\nyomtat1.prn";
// The calibration page of a raw route, as the printer's own ESC/P page.
inline constexpr std::string_view kCalibrationPage = "c:\\norvexa\\probaold.prn";
inline constexpr std::string_view kSettingsFile = "C:\\NORVEXA\\CONFIG.DTA";
inline constexpr std::string_view kPresenceMarker = "C:\\NORVEXA\\NORVEXA.AKT";
inline constexpr std::string_view kPresenceText = "1.04";
inline constexpr std::string_view kDefaultExport = "C:\\norvexa\\eredmeny.txt";
inline constexpr std::string_view kMailAttachment = "c:\\norvexa\\kuldes.txt";
inline constexpr std::string_view kMailAttachmentUpper = "C:\\NORVEXA\\KULDES.TXT";
inline constexpr std::string_view kMailPdf = "c:\\norvexa\\kuldes.pdf";
inline constexpr std::string_view kMailPdfUpper = "C:\\NORVEXA\\KULDES.PDF";
inline constexpr std::string_view kDefaultPdf = "C:\\norvexa\\eredmeny.pdf";
inline constexpr std::string_view kSenderData = "C:\\Norvexa\\sajattxt.txt";
inline constexpr std::string_view kServiceDir = "c:\\norvexa";
// A kept job of the seven programs, converted for the preview and for a new print.
inline constexpr std::string_view kHistoryShown = "c:\\norvexa\\elozm1.txt";
inline constexpr std::string_view kHistoryReprint = "c:\\norvexa\\elozm2.txt";

}  // namespace nx::paths
