// Watched folders: where other DOS programs leave their ESC/P jobs, how each
// folder's jobs are read and what happens with them, kept in "c:\norvexa\mappak.ini"
// (UTF-8, one section per folder, written by hand or by the "Figyelt mappák" window).
//
//     [mappa1]
//     utvonal=C:\IRODA\NYOMTAT
//     tipus=24
//     kodlap=852
//     muvelet=nyomtatas
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace nx {

struct WatchedFolder {
    std::string path;      // a DOS path on drive C ("C:\IRODA\NYOMTAT") or an absolute host path
    int pins = 24;         // printer family: 24 (ESC/P 2) or 9 (FX)
    int codePage = 437;    // 437, 850 or 852
    bool preview = false;  // shown in the preview instead of printed at once
    // Its route: the printer by the system's name (empty: the one chosen in the
    // main window), the paper ("A4", "A5", "Letter", "Legal" or "WxH" millimetres), how far the page is
    // moved on it (millimetres, right and down, each -50 to 50), and whether the
    // job's bytes go to the printer unchanged (a dot-matrix printer's raw queue).
    std::string printer = {};
    std::string paper = "A4";
    double offsetX = 0;
    double offsetY = 0;
    bool raw = false;
    // Files drawn under every sheet of its jobs (hatter=FILE1|FILE2: DOS paths on
    // drive C or absolute host paths, images or PDFs), the whole job printed once
    // under each. None: plain paper. A raw route takes none.
    std::vector<std::string> backgrounds = {};
    // Its jobs saved as PDF files: into `pdfDir` (pdfmappa, a DOS path on drive C or
    // an absolute host path) each document of a job, named by `nameTemplate`
    // (fajlnev; empty: the default), the job split where a page matches `split`
    // (elvalaszto; empty: not split), PDF/A-1b with `archival` (pdfa=igen). With
    // `pdfOnly` (muvelet=pdf) nothing is printed; otherwise a folder that has a
    // pdfDir prints and saves.
    bool pdfOnly = false;
    std::string pdfDir = {};
    std::string nameTemplate = {};
    std::string split = {};
    bool archival = false;

    bool operator==(const WatchedFolder&) const = default;
};

// Where a job is printed: the printer by its system's name (empty: the one chosen in
// the main window), drawn, or with its bytes unchanged.
struct JobRoute {
    std::string printer;
    bool raw = false;
};

// A watched folder's route; the seven job paths' jobs take the main window's printer.
inline JobRoute routeOf(const std::optional<WatchedFolder>& folder) {
    return folder ? JobRoute{folder->printer, folder->raw} : JobRoute{};
}

inline constexpr std::size_t kMaxFolders = 16;
inline constexpr std::string_view kFoldersFile = "c:\\norvexa\\mappak.ini";
inline constexpr std::string_view kFoldersFileShown = "C:\\NORVEXA\\MAPPAK.INI";

// What a folders file holds: the folders to watch, and one message (UTF-8) for each
// entry that is left out, naming the file, the section and what is wrong.
struct FolderList {
    std::vector<WatchedFolder> folders;
    std::vector<std::string> problems;
};

// An offset as a folder's eltolas key and norvexa-print's --offset give it: "X,Y" in
// millimetres, a decimal point allowed, each from -50 to 50. Nothing when malformed.
std::optional<std::pair<double, double>> parseOffset(std::string_view text);
// An offset as that text ("2.5,-1").
std::string formatOffset(double x, double y);

// A hatter key's files ("C:\FORM\LAP1.PNG|C:\FORM\LAP2.PNG"), each trimmed; nothing
// when one of them is not a path a folder's file may have (see isFolderPath).
std::optional<std::vector<std::string>> parseBackgrounds(std::string_view text);
// The files as that text, joined by "|".
std::string formatBackgrounds(const std::vector<std::string>& files);

// Whether `path` may name a watched folder: "C:\..." on drive C, or an absolute
// host path. Relative paths and other DOS drives are not.
bool isFolderPath(std::string_view path);

// Why `folder` cannot be watched (UTF-8), empty when it can: a path of the wrong
// form, a folder that cannot be listed, or the service's own directory.
std::string folderProblem(FileSystem& fs, const WatchedFolder& folder);

// Reads the text of a folders file. Each folder's directory is checked on `fs`
// (folderProblem) unless `checkFolders` is false: the settings window lists a folder
// that cannot be reached now, and refuses it only when OK is pressed.
FolderList parseFolders(FileSystem& fs, std::string_view text, bool checkFolders = true);

// The text of a folders file holding `folders` (CR LF lines, sections mappa1, ...).
std::string formatFolders(const std::vector<WatchedFolder>& folders);

// Reads "c:\norvexa\mappak.ini": a missing file is no folders; a file that cannot
// be read is one problem and no folders.
FolderList loadFolders(FileSystem& fs, bool checkFolders = true);

// Writes the folders file whole or not at all: into a temporary file beside it,
// then put in its place. Returns the result code of the step that failed (the old
// file is then unchanged), 0 when written.
ResultCode saveFolders(FileSystem& fs, const std::vector<WatchedFolder>& folders);

// The folders file as the watch follows it: read again whenever its size or time
// changes, so that the window's OK and a hand edit both take effect at the next
// cycle, and each version's problems are told once.
class FolderFile {
public:
    explicit FolderFile(FileSystem& fs) : fs_(fs) {}

    // Reads the file when it changed since the last call (the first call always).
    // True when the folders were read again; `problems` then holds that version's.
    bool refresh(std::vector<std::string>& problems);
    const std::vector<WatchedFolder>& folders() const { return list_.folders; }

private:
    FileSystem& fs_;
    FolderList list_;
    bool read_ = false;
    bool present_ = false;
    FileProbe seen_;
};

}  // namespace nx
