#include "intake/jobcopy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "intake/charmap.h"
#include "intake/paths.h"
#include "tests/support/fault_plan.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

using test::TempDrive;
constexpr std::string_view kJob = "c:\\talvera\\wnyomtat.txt";

std::string mapped(const std::string& in) {
    std::string out = in;
    for (char& c : out) c = static_cast<char>(mapByte(static_cast<std::uint8_t>(c)));
    return out;
}

std::string someJob(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

struct RecordingProgress : Progress {
    std::int64_t maximum = -1, position = -1, positions = 0;
    int step = 0;
    bool monotonic = true;
    std::function<void(std::int64_t)> onPosition;
    void setMaximum(std::int64_t m) override { maximum = m; }
    void setPosition(std::int64_t p) override {
        if (p < position) monotonic = false;
        position = p;
        ++positions;
        if (onPosition) onPosition(p);
    }
    void setStep(int s) override { step = s; }
    void stepIt() override { position += step; }
};

struct JobCopy : ::testing::Test {
    TempDrive d;
    ByteFile job{d.fs()};
    void SetUp() override { d.mkdir("c:\\talvera"); }
    void openJob(const std::string& bytes) {
        d.write(kJob, bytes);
        job.assign(kJob);
        ASSERT_EQ(job.reset(), 0);
    }
    JobCopyResult run(Progress& p) {
        return copyJob(d.fs(), job, paths::kWorkingCopy, paths::kLastJobCopy, p);
    }
    void append(const std::string& bytes) {
        std::ofstream(d.host(kJob), std::ios::app | std::ios::binary) << bytes;
    }
};

TEST_F(JobCopy, EveryByteThroughTheMapIntoBothCopies) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const std::string bytes = all + someJob(900000, 1) + all;
    openJob(bytes);
    d.write(paths::kLastJobCopy, std::string(1000000, 'x'));  // an older, longer job
    RecordingProgress p;
    const JobCopyResult r = run(p);
    EXPECT_EQ(r.status, JobCopyResult::Status::Copied);
    EXPECT_EQ(r.bytes, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(d.read(paths::kWorkingCopy), mapped(bytes));
    EXPECT_EQ(d.read(paths::kLastJobCopy), mapped(bytes));
    EXPECT_EQ(p.maximum, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(p.position, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(p.step, 1);
    EXPECT_TRUE(p.monotonic);
    EXPECT_GT(p.positions, 2);  // moves during the copy, not only at its end
    EXPECT_FALSE(job.isOpen());
    EXPECT_TRUE(d.exists(kJob));  // the copy never deletes the job
}

TEST_F(JobCopy, EmptyJobGivesEmptyCopies) {
    openJob("");
    RecordingProgress p;
    const JobCopyResult r = run(p);
    EXPECT_EQ(r.status, JobCopyResult::Status::Copied);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_TRUE(d.exists(paths::kWorkingCopy));
    EXPECT_EQ(d.read(paths::kWorkingCopy), "");
    EXPECT_EQ(d.read(paths::kLastJobCopy), "");
    EXPECT_EQ(p.maximum, 0);
    EXPECT_EQ(p.position, 0);
}

// Bytes appended while the copy runs are copied too; the maximum stays the start size.
TEST_F(JobCopy, GrowthDuringTheCopyIsCopied) {
    const std::string start = someJob(600000, 2);
    openJob(start);
    std::string whole = start;
    int appends = 0;
    RecordingProgress p;
    p.onPosition = [&](std::int64_t at) {
        if (at > 0 && appends < 3) {
            const std::string more = someJob(static_cast<std::size_t>(70001 + appends), 10u + appends);
            append(more);
            whole += more;
            ++appends;
        }
    };
    const JobCopyResult r = run(p);
    EXPECT_EQ(appends, 3);
    EXPECT_EQ(r.status, JobCopyResult::Status::Copied);
    EXPECT_EQ(r.bytes, static_cast<std::int64_t>(whole.size()));
    EXPECT_EQ(d.read(paths::kWorkingCopy), mapped(whole));
    EXPECT_EQ(d.read(paths::kLastJobCopy), mapped(whole));
    EXPECT_EQ(p.maximum, static_cast<std::int64_t>(start.size()));
    EXPECT_EQ(p.position, r.bytes);
}

// A writer thread that extends the job while the copy runs: the copies hold exactly
// the job's bytes up to where the copy ended, at least everything written before the
// writer let the copy finish.
TEST_F(JobCopy, ConcurrentWriterIsFollowed) {
    const std::string start = someJob(100000, 3);
    openJob(start);
    std::mutex m;
    std::condition_variable cv;
    int written = 0;
    const int kChunks = 40;
    std::thread writer([&] {
        for (int i = 0; i < kChunks; ++i) {
            append(someJob(5000 + static_cast<std::size_t>(i), 100u + i));
            {
                std::lock_guard<std::mutex> lk(m);
                ++written;
            }
            cv.notify_all();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    RecordingProgress p;
    std::int64_t seen = 0;
    p.onPosition = [&](std::int64_t) {
        // Hold the copy back until the writer has made progress, so that it overlaps.
        if (++seen > 1 && seen < kChunks) {
            std::unique_lock<std::mutex> lk(m);
            cv.wait_for(lk, std::chrono::seconds(5), [&] { return written >= seen; });
        }
    };
    const JobCopyResult r = run(p);
    writer.join();
    const std::string final = d.read(kJob);
    ASSERT_EQ(r.status, JobCopyResult::Status::Copied);
    EXPECT_GT(r.bytes, static_cast<std::int64_t>(start.size()));
    ASSERT_LE(r.bytes, static_cast<std::int64_t>(final.size()));
    const std::string want = mapped(final.substr(0, static_cast<std::size_t>(r.bytes)));
    EXPECT_EQ(d.read(paths::kWorkingCopy), want);
    EXPECT_EQ(d.read(paths::kLastJobCopy), want);
}

using test::FailOn;
using test::ScopedFaultHook;

TEST_F(JobCopy, FailedReadStopsAtOnceAndClosesEverything) {
    const std::string bytes = someJob(2000000, 4);
    openJob(bytes);
    FailOn fail(FileOp::Read, d.host(kJob), 30, 2);
    RecordingProgress p;
    const JobCopyResult r = [&] {
        ScopedFaultHook hook(d.fs(), fail);
        return run(p);
    }();
    EXPECT_EQ(r.status, JobCopyResult::Status::ReadFailed);
    EXPECT_EQ(r.code, 30);
    EXPECT_GT(r.bytes, 0);  // two blocks went through before the failing read
    EXPECT_LT(r.bytes, static_cast<std::int64_t>(bytes.size()));
    EXPECT_FALSE(job.isOpen());
    const std::string want = mapped(bytes.substr(0, static_cast<std::size_t>(r.bytes)));
    EXPECT_EQ(d.read(paths::kWorkingCopy), want);  // closed: everything written is there
    EXPECT_EQ(d.read(paths::kLastJobCopy), want);
    EXPECT_EQ(d.read(kJob), bytes);
}

TEST_F(JobCopy, FailedCreateReportsItsCodeAndCopiesNothing) {
    openJob("abc");
    d.write(paths::kLastJobCopy, "previous job");
    FailOn fail(FileOp::Create, d.host(paths::kLastJobCopy), 5);
    RecordingProgress p;
    JobCopyResult r = [&] {
        ScopedFaultHook hook(d.fs(), fail);
        return run(p);
    }();
    EXPECT_EQ(r.status, JobCopyResult::Status::CreateFailed);
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_FALSE(job.isOpen());
    EXPECT_EQ(d.read(paths::kLastJobCopy), "previous job");
    EXPECT_EQ(p.maximum, -1);  // the copy never started

    // Without the service directory the working copy cannot be created at all.
    std::filesystem::remove_all(d.root() / "norvexa");
    ASSERT_EQ(job.reset(), 0);
    r = run(p);
    EXPECT_EQ(r.status, JobCopyResult::Status::CreateFailed);
    EXPECT_EQ(r.code, 3);
    EXPECT_FALSE(job.isOpen());
}

TEST_F(JobCopy, CheckedFailuresRaise) {
    openJob(someJob(1000, 5));
    const std::pair<FileOp, std::string> cases[] = {
        {FileOp::Write, d.host(paths::kLastJobCopy)},
        {FileOp::Size, d.host(kJob)},
        {FileOp::Eof, d.host(kJob)},
        {FileOp::Close, d.host(paths::kWorkingCopy)},
    };
    for (const auto& [op, path] : cases) {
        if (!job.isOpen()) {
            ASSERT_EQ(job.reset(), 0);
        }
        FailOn fail(op, path, 101);
        ScopedFaultHook hook(d.fs(), fail);
        RecordingProgress p;
        try {
            run(p);
            ADD_FAILURE() << "no error for " << fileOpName(op);
        } catch (const IoError& e) {
            EXPECT_EQ(e.code(), 101) << fileOpName(op);
        }
    }
}

}  // namespace
}  // namespace nx
