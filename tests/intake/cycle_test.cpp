// The watch cycle's rules on the memory backend: what a cycle decides for a job, and
// when a job file goes. No windows: what the main and preview windows do with each
// decision is covered by the window tests.
#include "intake/cycle.h"

#include <gtest/gtest.h>

#include "intake/charmap.h"
#include "platform/memory_backend.h"
#include "tests/support/fault_plan.h"

namespace nx {
namespace {

constexpr const char* kFirst = "/c/talvera/wnyomtat.txt";
constexpr const char* kSecond = "/c/brimost/wnyomtat.txt";
constexpr const char* kWork = "/c/norvexa/nyomtat1.txt";
constexpr const char* kLast = "/c/norvexa/legutobb.txt";

std::string mapped(std::string in) {
    for (char& c : in) c = static_cast<char>(mapByte(static_cast<std::uint8_t>(c)));
    return in;
}

struct NoProgress : Progress {
    void setMaximum(std::int64_t) override {}
    void setPosition(std::int64_t) override {}
    void setStep(int) override {}
    void stepIt() override {}
};

struct Cycle : ::testing::Test {
    MemoryBackend memory;
    FileSystem fs{DriveTable("/c"), memory};
    JobCycle cycle{fs};
    NoProgress progress;

    void SetUp() override {
        memory.makeDirectory("/c/norvexa");
        for (const char* dir : {"/c/talvera", "/c/brimost"}) memory.makeDirectory(dir);
    }
    JobCycle::Step run(bool printAtOnce) {
        if (!cycle.look()) return JobCycle::Step::Nothing;
        return cycle.take(printAtOnce, progress).step;
    }
    // A host's handle that writes, as a program keeping its job open does.
    FileBackend::Handle hostWriter(const char* path) {
        FileBackend::Handle h{};
        EXPECT_EQ(memory.open(path, Access::Write, false, h), kOk);
        return h;
    }
};

TEST_F(Cycle, APrintedJobGoesWithItsWorkingCopyAndTheNextPathComesNext) {
    memory.put(kFirst, "one\x0c");
    memory.put(kSecond, "\x82 two");  // CP852 e-acute through the character map
    ASSERT_EQ(run(true), JobCycle::Step::Print);
    EXPECT_EQ(memory.get(kWork), mapped("one\x0c"));
    EXPECT_EQ(cycle.currentJob(), std::optional<std::string>("c:\\talvera\\wnyomtat.txt"));
    cycle.printed();
    EXPECT_FALSE(memory.exists(kFirst));
    EXPECT_FALSE(memory.exists(kWork));
    EXPECT_TRUE(memory.exists(kLast));

    ASSERT_EQ(run(false), JobCycle::Step::Show);
    EXPECT_EQ(memory.get(kWork), mapped("\x82 two"));
    cycle.previewClosed();
    EXPECT_FALSE(memory.exists(kSecond));
    EXPECT_EQ(run(true), JobCycle::Step::Nothing);
    EXPECT_EQ(memory.openHandles(), 0u);
}

TEST_F(Cycle, AJobIsPrintedOnceEvenWhenItsHostKeepsItOpenAfterward) {
    memory.put(kFirst, "whole job");
    ASSERT_EQ(run(true), JobCycle::Step::Print);
    const FileBackend::Handle writer = hostWriter(kFirst);  // the host comes back and holds it
    cycle.printed();
    EXPECT_TRUE(memory.exists(kFirst));  // not deleted under a writer
    EXPECT_EQ(run(true), JobCycle::Step::Nothing);  // still being written: passed over
    ASSERT_EQ(memory.close(writer), kOk);
    // Closed unchanged: the same job, not printed a second time, and now it goes.
    EXPECT_EQ(run(true), JobCycle::Step::HandledBefore);
    EXPECT_FALSE(memory.exists(kFirst));
}

TEST_F(Cycle, AJobStillBeingWrittenOrRewrittenIsNotTakenYet) {
    memory.put(kFirst, "first half");
    FileBackend::Handle writer = hostWriter(kFirst);
    EXPECT_EQ(run(true), JobCycle::Step::Nothing);
    ASSERT_EQ(memory.close(writer), kOk);
    // Its host opens it again between the look and the copy: the copy is not the job.
    ASSERT_TRUE(cycle.look());
    test::FailOn reopen(FileOp::Create, "nyomtat1", [&] { writer = hostWriter(kFirst); });
    fs.setFaultHook(&reopen);
    EXPECT_EQ(cycle.take(true, progress).step, JobCycle::Step::Wait);
    fs.setFaultHook(nullptr);
    EXPECT_EQ(memory.get(kFirst), "first half");
    ASSERT_EQ(memory.close(writer), kOk);
    ASSERT_EQ(run(false), JobCycle::Step::Show);
    memory.put(kFirst, "first half, second half");  // rewritten while it was shown
    cycle.previewClosed();
    EXPECT_EQ(memory.get(kFirst), "first half, second half");
    EXPECT_EQ(run(true), JobCycle::Step::Print);  // the whole new job, once
    EXPECT_EQ(memory.get(kWork), mapped("first half, second half"));
}

TEST_F(Cycle, AFailedPrintOrCopyLeavesTheJobForTheNextRun) {
    memory.put(kFirst, "job");
    ASSERT_EQ(run(true), JobCycle::Step::Print);
    // The print failed, so printed() never came; closing a preview of the last job
    // meanwhile must not take the unprinted job with it.
    cycle.previewClosed();
    EXPECT_EQ(memory.get(kFirst), "job");
    EXPECT_FALSE(cycle.currentJob() == std::nullopt);

    memory.setReadOnly("/c/norvexa/nyomtat1.txt", true);  // the working copy cannot be made
    ASSERT_TRUE(cycle.look());
    const JobCycle::Decision d = cycle.take(true, progress);
    EXPECT_EQ(d.step, JobCycle::Step::Failed);
    EXPECT_EQ(d.code, kAccessDenied);
    EXPECT_EQ(memory.get(kFirst), "job");
    EXPECT_EQ(memory.openHandles(), 0u);
}

}  // namespace
}  // namespace nx
