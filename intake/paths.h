// The fixed DOS paths of the service and of the host programs' job files.
#pragma once

#include <array>
#include <string_view>

namespace nx::paths {

inline constexpr std::array<std::string_view, 7> kJobCandidates = {
    "c:\\talvera\\wnyomtat.txt", "c:\\brimost\\wnyomtat.txt", "c:\\quenlit\\wnyomtat.txt",
    "c:\\vorbane\\wnyomtat.txt", "c:\\selkira\\wnyomtat.txt", "c:\\manduro\\wnyomtat.txt",
    "c:\\pexolan\\wnyomtat.txt",
};

inline constexpr std::string_view kWorkingCopy = "c:\\norvexa\\nyomtat1.txt";
inline constexpr std::string_view kLastJobCopy = "c:\\norvexa\\legutobb.txt";
inline constexpr std::string_view kSettingsFile = "C:\\NORVEXA\\CONFIG.DTA";
inline constexpr std::string_view kPresenceMarker = "C:\\NORVEXA\\NORVEXA.AKT";
inline constexpr std::string_view kPresenceText = "1.04";
inline constexpr std::string_view kDefaultExport = "C:\\norvexa\\eredmeny.txt";
inline constexpr std::string_view kMailAttachment = "c:\\norvexa\\kuldes.txt";
inline constexpr std::string_view kMailAttachmentUpper = "C:\\NORVEXA\\KULDES.TXT";
inline constexpr std::string_view kSenderData = "C:\\Norvexa\\sajattxt.txt";
inline constexpr std::string_view kServiceDir = "c:\\norvexa";

}  // namespace nx::paths
