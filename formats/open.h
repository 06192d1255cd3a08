// Opening a job as a document: the one place that knows the job formats. A job of
// the seven host programs is their line format; a watched folder's job is ESC/P as
// its folder's tipus and kodlap say (norvexa-print's --escp, --pins and --codepage
// give the same keys). A third format is a folder of its own that implements
// Document, and one more line in openDocument.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "intake/folders.h"
#include "platform/document.h"
#include "render/line_document.h"

namespace nx {

// What a job came with.
struct JobOrigin {
    // A watched folder's job, read by its folder's keys. None: a job of the seven
    // job paths.
    std::optional<WatchedFolder> folder;
    // A job of the seven paths as its host wrote it (code page 852) is first
    // converted through the character map into this file, as the watch cycle
    // converts it. Empty: the file is converted already (the working copy).
    std::string convertInto;
};

// The job at `path` (a DOS path or an absolute host path) as a document. The line
// format reads `settings` live; the other formats ignore it. A conversion that
// fails raises IoError with the failing file's path in its message.
std::unique_ptr<Document> openDocument(FileSystem& fs, const std::string& path, const JobOrigin& origin,
                                       PrintSettings settings);

// The host job at `job` through the character map into `out`, as the watch cycle
// copies a job of the seven paths. Raises IoError naming the file that failed.
void convertHostJob(FileSystem& fs, const std::string& job, const std::string& out);

// The sheet a folder's jobs are laid out on: its paper, moved by its offset, under
// its backgrounds (their host paths on `fs`).
Sheet sheetOf(FileSystem& fs, const WatchedFolder& folder);

// Whether `codePage` is one a watched folder's jobs may be read in (kodlap).
bool isJobCodePage(int codePage);

}  // namespace nx
