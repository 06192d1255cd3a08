// The job copy: every byte of the job file through the character map into the
// working copy and the last-job copy, or into one print-stream file.
#include "intake/jobcopy.h"

#include <algorithm>
#include <vector>

#include "intake/charmap.h"

namespace nx {

namespace {

constexpr std::size_t kBlock = 256 * 1024;
constexpr std::int64_t kMinBlock = 4096;
// Reads that find nothing although the size says more is there (the file was cut
// while we looked) are given up after a few tries.
constexpr int kMaxEmptyReads = 3;

}  // namespace

namespace {

// Creates the destinations. On failure the ones made and the job are closed again
// and the create's code is returned.
int createCopies(ByteFile& job, ByteFile& work, ByteFile* last) {
    if (const int rc = work.rewrite()) {
        (void)job.close();  // the create's code is the one reported
        return rc;
    }
    if (last) {
        if (const int rc = last->rewrite()) {
            (void)work.close();  // the create's code is the one reported
            (void)job.close();
            return rc;
        }
    }
    return kOk;
}

// Moves the job's bytes through the character map into the destinations until the
// job ends. Returns the code of a read that failed (the bytes before it are
// written), 0 otherwise.
int copyBlocks(ByteFile& job, ByteFile& work, ByteFile* last, std::int64_t size,
               Progress& progress, JobCopyResult& result, bool mapped) {
    // A small job needs no large block (nor the clearing of one).
    std::vector<std::uint8_t> block(static_cast<std::size_t>(
        std::clamp<std::int64_t>(size, kMinBlock, static_cast<std::int64_t>(kBlock))));
    const auto& table = charMapTable();
    int emptyReads = 0;
    for (;;) {
        // The end test takes the job's size afresh, so bytes that a host program
        // appends while the copy runs are copied too.
        bool atEnd = true;
        check(job.eof(atEnd));
        if (atEnd) return kOk;

        std::size_t got = 0;
        const int rc = job.readBlock(block.data(), block.size(), got);
        for (std::size_t i = 0; i < got; ++i) {
            result.checksum = (result.checksum ^ block[i]) * 1099511628211ull;
            if (mapped) block[i] = table[block[i]];
        }
        if (got > 0) {
            // Bytes read before a failing one are kept, as a byte-wise copy keeps them.
            check(work.writeBlock(block.data(), got));
            if (last) check(last->writeBlock(block.data(), got));
            result.bytes += static_cast<std::int64_t>(got);
            progress.setPosition(result.bytes);
            emptyReads = 0;
        }
        if (rc != kOk) return rc;
        if (got == 0 && ++emptyReads >= kMaxEmptyReads) return kOk;
    }
}

// The copy into one or two destinations (the second may be empty: none).
JobCopyResult copyInto(FileSystem& fs, ByteFile& job, std::string_view first,
                       std::string_view second, Progress& progress, bool mapped = true) {
    JobCopyResult result;
    ByteFile work(fs);
    work.assign(first);
    ByteFile lastCopy(fs);
    ByteFile* last = nullptr;
    if (!second.empty()) {
        lastCopy.assign(second);
        last = &lastCopy;
    }
    if (const int rc = createCopies(job, work, last))
        return {JobCopyResult::Status::CreateFailed, rc, 0};

    std::int64_t size = 0;
    progress.setPosition(0);
    check(job.size(size));
    progress.setMaximum(size);
    progress.setStep(1);

    if (const int rc = copyBlocks(job, work, last, size, progress, result, mapped)) {
        // The read's code is the one reported; the closes are best effort.
        if (last) (void)last->close();
        (void)work.close();
        (void)job.close();
        result.status = JobCopyResult::Status::ReadFailed;
        result.code = rc;
        return result;
    }

    if (last) check(last->close());
    check(work.close());
    check(job.close());
    return result;
}

}  // namespace

JobCopyResult copyJob(FileSystem& fs, ByteFile& job, std::string_view workingCopy,
                      std::string_view lastJobCopy, Progress& progress) {
    return copyInto(fs, job, workingCopy, lastJobCopy, progress);
}

JobCopyResult convertJob(FileSystem& fs, ByteFile& job, std::string_view printStream,
                         Progress& progress) {
    return copyInto(fs, job, printStream, {}, progress);
}

JobCopyResult copyBytes(FileSystem& fs, ByteFile& job, std::string_view target, Progress& progress) {
    return copyInto(fs, job, target, {}, progress, false);
}

}  // namespace nx
