// The life of a host's job file in the service: which candidate the watch cycle
// takes, the copy through the character map, and when the job file may go.
//
// A host writes its job over time and may keep the file open after its last write,
// so a job is taken only once no process holds it open for writing. Where the
// platform cannot tell, a job is taken only once its size and modification time
// have stayed the same from one watch cycle to the next. A job already printed
// whole (or shown and closed) whose file a host kept open is remembered, so that
// taking it again unchanged does not print it a second time.
//
// After the seven job paths, in their order, come the watched folders: every
// regular file there is a job (names beginning with a dot are passed over; the
// service's own temporary files begin with one), taken by the same rule, in the
// order the files arrived. A folder's job that could not be copied or printed is
// set aside until its size or time changes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "intake/folders.h"
#include "intake/jobcopy.h"
#include "intake/paths.h"
#include "platform/files.h"
#include "platform/progress.h"

namespace nx {

// A job the watch cycle has copied: its job file and what the copy read from it.
struct TakenJob {
    std::string path;  // DOS path of the host's job file
    JobCopyResult copied;
    // False when a host opened or changed the job file while it was being copied
    // (between the check and the copy): the copy is not the whole job, and the job
    // file stays for a later cycle.
    bool settled = true;
};

class JobWatch {
public:
    using Candidates = std::array<std::string_view, paths::kJobCandidates.size()>;

    explicit JobWatch(FileSystem& fs, Candidates candidates = paths::kJobCandidates)
        : fs_(fs), candidates_(candidates) {}

    // Tries the candidates in order and opens (reset) the first one that is ready:
    // present, opened with read and write sharing, and no longer being written.
    // A candidate still being written is passed over in this cycle. Returns its
    // DOS path with `job` open on it, or nothing with `job` closed. `again` is a
    // further look in the same watch cycle (the rest of a burst): a file whose
    // writers cannot be told is taken only when it was seen unchanged in an earlier
    // cycle, never by looks a moment apart.
    std::optional<std::string> choose(ByteFile& job, bool again = false);

    // The folders watched after the seven job paths (none at first).
    void setFolders(std::vector<WatchedFolder> folders);
    // The folder whose job `path` is (as choose() returned it), or nothing for the
    // seven job paths.
    std::optional<WatchedFolder> folderOf(const std::string& path) const;
    // A folder's job that failed: passed over until its size or time, one of its
    // folder's background files, or whether its PDF directory is there, changes.
    void setAside(const std::string& path);

    // Copies the open job into the working copy and the last-job copy (see copyJob),
    // then looks at the job file again to tell whether the copy is settled.
    TakenJob copy(const std::string& path, ByteFile& job, Progress& progress);
    // The same for a folder's job: its bytes as they are into `workingCopy` alone.
    TakenJob copyAsIs(const std::string& path, ByteFile& job, std::string_view workingCopy,
                      Progress& progress);

    // Whether this job was printed (or shown) before and is taken again unchanged
    // because its host held the file open then: it must not be printed again.
    bool handledBefore(const TakenJob& job) const;

    // After the job was printed or its preview closed: deletes the job file unless
    // its host has written to it since the copy or still has it open for writing
    // (such a job is remembered, see handledBefore). Returns the result code of the
    // size read or of the deletion (0 when the file is kept on purpose); the caller
    // decides whether it is checked. Nothing here raises.
    ResultCode release(const TakenJob& job);

private:
    // Whether `probe` of `path` allows taking it now; records what it saw.
    bool ready(const std::string& path, const FileProbe& probe);
    // Opens `path` for the copy when it is ready.
    bool tryOpen(const std::string& path, const FileProbe& probe, ByteFile& job);
    // Lists the folders; returns their jobs in the order they arrived.
    std::vector<std::string> folderJobs();
    TakenJob settle(TakenJob taken);

    struct Handled {
        std::int64_t bytes = -1;
        std::uint64_t checksum = 0;
    };
    struct Seen {
        std::int64_t size = -1;
        std::int64_t modifiedNs = 0;
        bool operator==(const Seen&) const = default;
    };
    // A failed folder job as it was, and its folder's background files (size -1:
    // missing) and PDF directory: a change in any of them is a new try.
    struct Aside {
        Seen job;
        std::vector<Seen> backgrounds;
    };
    std::vector<Seen> backgroundsOf(const WatchedFolder& folder);

    FileSystem& fs_;
    Candidates candidates_;
    std::map<std::string, Handled> held_;  // by job path
    // By job path, where writers are unknown: as it was, and in which cycle.
    struct Sighting {
        Seen seen;
        std::uint64_t cycle = 0;
    };
    std::map<std::string, Sighting> seen_;
    std::uint64_t cycles_ = 0;             // the watch cycles begun by choose()
    FileProbe chosen_;                     // what choose() saw of the job it opened

    std::vector<WatchedFolder> folders_;
    std::map<std::string, WatchedFolder> folderJobs_;  // the folders' jobs at the last look
    std::map<std::string, std::uint64_t> arrival_;     // by job path: when first seen
    std::uint64_t arrivals_ = 0;
    std::map<std::string, Aside> aside_;               // failed folder jobs, as they were
};

}  // namespace nx
