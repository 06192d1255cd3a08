// What becomes of a job the watch cycle took: printed, saved as PDF files, or both,
// as its route says, a batch split into its documents first. The outputs themselves
// (the printer, the PDF writer) are the Qt side's, reached through Outputs; the
// decisions (which documents, which names, which directory, in which order) are
// made here.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "intake/folders.h"
#include "platform/document.h"
#include "platform/line_matcher.h"

namespace nx {

// What a print did: the printer's name and the pages it received (0 where the
// printer read the job's bytes itself).
struct Printed {
    std::string printer;
    int pages = 0;
};

class Outputs {
public:
    virtual ~Outputs() = default;
    // Prints `pages` of `doc` (all: none) as one print job where `route` sends it.
    // A failure raises IoError and nothing half-printed reaches the printer.
    virtual Printed print(Document& doc, const std::set<int>* pages, const JobRoute& route) = 0;
    // Writes `pages` of `doc` (all: none) as a PDF at the host path `path`, PDF/A-1b
    // when `archival`. A failure raises IoError and leaves no file.
    virtual void savePdf(Document& doc, const std::set<int>* pages, const std::string& path, bool archival) = 0;
};

// What a delivery did.
struct Delivery {
    int documents = 0;
    int pages = 0;                    // the pages printed, or saved when nothing was printed
    std::string printer;              // where the documents were printed; empty: not printed
    std::vector<std::string> files;   // the PDF files written (host paths), in order
    std::vector<std::string> told;    // what the user is told besides (UTF-8): patterns
};

// Where a job's text is written for naming and splitting its documents.
inline constexpr std::string_view kDeliveryText = "c:\\norvexa\\pdfszoveg.txt";

// Whether `folder` saves its jobs as PDF files.
inline bool savesPdf(const WatchedFolder& folder) { return folder.pdfOnly || !folder.pdfDir.empty(); }

// Why the folder's PDF directory cannot take files (UTF-8, naming it), empty when it
// can: it is missing, not a directory, or a file cannot be created in it.
std::string pdfDirProblem(FileSystem& fs, const WatchedFolder& folder);

// Delivers the folder job `doc` (taken from `jobPath` at `takenAt`, seconds since
// the epoch) as `folder` says: each document printed on its route unless the folder
// only saves, and saved into its PDF directory where it has one. A directory that
// cannot take files raises IoError before anything is printed or written; any other
// failure is raised as it comes (what was written before it stays, each file whole).
Delivery deliver(FileSystem& fs, Document& doc, const std::string& jobPath, const WatchedFolder& folder,
                 std::int64_t takenAt, Outputs& outputs, const PatternCompiler& compile, Progress& progress);

}  // namespace nx
