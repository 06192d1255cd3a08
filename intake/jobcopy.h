// The watch cycle's copy of a job file through the character map into the working
// copy and the last-job copy.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/files.h"
#include "platform/progress.h"

namespace nx {

struct JobCopyResult {
    enum class Status {
        Copied,        // every byte copied; the three files are closed
        CreateFailed,  // a copy could not be created (code); nothing was copied
        ReadFailed,    // a byte of the job could not be read (code); copy stopped there
    };
    Status status = Status::Copied;
    int code = 0;
    std::int64_t bytes = 0;  // bytes read from the job file and written to each copy
    // FNV-1a over the job's bytes as read, so a caller can tell a job it has seen
    // before from a new one at the same path.
    std::uint64_t checksum = 14695981039346656037ull;
};

// `job` is open (reset) on the job file. Creates both copies, sets the progress
// position to 0, its maximum to the job's size at the start and its step to 1, and
// closes the last-job copy, the working copy and the job file. The copy moves large
// blocks; after each block the progress position is set to the bytes copied so far
// (the same position that one step per byte would reach), ending at `bytes`. Bytes
// appended to the job while the copy runs are copied too. Checked operations (size,
// end tests, writes, closes) raise IoError. A failed create or a failed read returns
// its code with all three files closed; after a failed read the copies hold the
// bytes read before it.
JobCopyResult copyJob(FileSystem& fs, ByteFile& job, std::string_view workingCopy,
                      std::string_view lastJobCopy, Progress& progress);

// The same copy into one print-stream file (a host job converted for printing by
// hand, as norvexa-print does).
JobCopyResult convertJob(FileSystem& fs, ByteFile& job, std::string_view printStream,
                         Progress& progress);

// The same copy with the bytes as they are (a watched folder's ESC/P job).
JobCopyResult copyBytes(FileSystem& fs, ByteFile& job, std::string_view target, Progress& progress);

}  // namespace nx
