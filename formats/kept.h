// The job history's side that knows the job formats: what is kept of a job the watch
// cycle took, and how a kept job is opened again for the preview or a new print.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "formats/open.h"
#include "intake/history.h"

namespace nx {

// The format's name in the history ("line" for the seven programs' jobs, "escp").
std::string formatName(const std::optional<WatchedFolder>& folder);

// The entry for a job the cycle took from `job` (a job path or a folder's file),
// with a copy of the job's bytes kept when they are still those the cycle took
// (`checksum`; none: a job that could not be read, kept without a copy). Pages,
// printer and result are the caller's to fill in.
HistoryEntry takenEntry(JobHistory& history, const std::string& job, const std::optional<WatchedFolder>& folder,
                        std::optional<std::uint64_t> checksum);

// A kept job as a file the preview or a print opens: its copy as it is, or a job of
// the seven programs converted through the character map into `convertInto`.
// Nothing when the copy is gone. A failed conversion raises IoError.
struct KeptJob {
    std::string file;
    JobOrigin origin;
};
std::optional<KeptJob> openKept(FileSystem& fs, JobHistory& history, const HistoryEntry& entry,
                                const std::string& convertInto);

// Where a kept job is printed again: on the printer it went to while the system
// lists it (`exists`), else on the service's printer; a folder's raw route stays raw.
JobRoute reprintRoute(const HistoryEntry& entry, const std::function<bool(const std::string&)>& exists);

}  // namespace nx
