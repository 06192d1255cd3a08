// The watch cycle's job copy through the character map.
//
// Input: a fault byte pair (see OneFault), then the job file's bytes, written to
// "c:\talvera\wnyomtat.txt". Without a fault both copies must equal the job
// mapped byte by byte, with the job's length, and the progress must end at the
// number of bytes copied. With a fault the copy may stop, but never writes more
// than the job holds, nor anything but the mapped prefix of the job.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "intake/charmap.h"
#include "intake/jobcopy.h"
#include "intake/paths.h"

namespace {

using nx::fuzz::expect;

constexpr std::string_view kJob = nx::paths::kJobCandidates[0];

class RecordingProgress final : public nx::Progress {
public:
    std::int64_t maximum = -1;
    std::int64_t position = 0;
    int step = 0;
    void setMaximum(std::int64_t m) override { maximum = m; }
    void setPosition(std::int64_t p) override { position = p; }
    void setStep(int s) override { step = s; }
    void stepIt() override { position += step; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& drive = nx::fuzz::FuzzDrive::instance();
    nx::fuzz::InputReader in(data, size);
    nx::fuzz::OneFault fault(in.byte(), in.byte());

    drive.write(kJob, in.rest(), in.restSize());
    drive.remove(nx::paths::kWorkingCopy);
    drive.remove(nx::paths::kLastJobCopy);

    std::string mapped(in.restSize(), '\0');
    for (std::size_t i = 0; i < in.restSize(); ++i)
        mapped[i] = static_cast<char>(nx::mapByte(in.rest()[i]));

    RecordingProgress progress;
    nx::JobCopyResult result;
    bool raised = false;
    {
        nx::test::ScopedFaultHook scope(drive.fs(), fault);
        nx::ByteFile job(drive.fs());
        job.assign(kJob);
        if (job.reset() != 0) {
            expect(fault.fired(), "job file does not open");
            return 0;
        }
        try {
            result = nx::copyJob(drive.fs(), job, nx::paths::kWorkingCopy,
                                 nx::paths::kLastJobCopy, progress);
        } catch (const nx::IoError&) {
            expect(fault.fired(), "copy raised without a fault");
            raised = true;
        }
    }

    const std::string working = drive.read(nx::paths::kWorkingCopy);
    const std::string last = drive.read(nx::paths::kLastJobCopy);
    expect(working.size() <= mapped.size() && mapped.compare(0, working.size(), working) == 0,
           "working copy is not a mapped prefix of the job");
    expect(last.size() <= mapped.size() && mapped.compare(0, last.size(), last) == 0,
           "last-job copy is not a mapped prefix of the job");
    if (raised) return 0;

    expect(result.bytes >= 0 && static_cast<std::size_t>(result.bytes) <= mapped.size(),
           "byte count beyond the job");
    if (result.status == nx::JobCopyResult::Status::Copied) {
        expect(static_cast<std::size_t>(result.bytes) == working.size() &&
                   working.size() == last.size(),
               "copies differ from the byte count");
    }
    if (fault.fired()) return 0;

    expect(result.status == nx::JobCopyResult::Status::Copied, "copy failed without a fault");
    expect(static_cast<std::size_t>(result.bytes) == mapped.size(), "bytes copied");
    expect(working == mapped, "working copy differs from the mapped job");
    expect(last == mapped, "last-job copy differs from the mapped job");
    expect(progress.maximum == static_cast<std::int64_t>(mapped.size()), "progress maximum");
    expect(progress.position == result.bytes, "progress position at the end");
    return 0;
}
