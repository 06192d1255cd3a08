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
};

// `job` is open (reset) on the job file. Creates both copies, sets the progress
// maximum to the job's size and steps once per byte copied, and closes the last-job
// copy, the working copy and the job file. Bytes appended to the job while the copy
// runs are copied too. Checked operations (size, writes, closes) raise IoError.
JobCopyResult copyJob(FileSystem& fs, ByteFile& job, std::string_view workingCopy,
                      std::string_view lastJobCopy, Progress& progress);

}  // namespace nx
