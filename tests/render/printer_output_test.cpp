// Printing a print-stream file onto the recording print job. Surface metrics: a byte
// is `points` wide (+1 bold), text 2 * points + 1 high; normal 11 gives lines 27 apart.
#include "render/printer_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/render/render_fixture.h"

namespace nx {
namespace {

using test::RecordingSurface;
using Drawn = RecordingSurface::TextRun;

constexpr const char* kJob = "c:\\norvexa\\nyomtat1.txt";

class PrinterOutputTest : public ::testing::Test, protected test::RenderFixture {
protected:
    test::RecordingPrintJob job;

    void print(std::string_view bytes, bool landscape = false) {
        drive.write(kJob, bytes);
        printStream(ctx, kJob, job, landscape);
    }
    std::vector<Drawn> texts() const { return job.page.texts(); }
};

TEST_F(PrinterOutputTest, JobIsTitledOrientedAndBegunInOrder) {
    print("A\r\nB", /*landscape=*/true);
    EXPECT_EQ(job.title, "Nyomtat\xe1si eredm\xe9ny");
    EXPECT_EQ(job.log, (std::vector<std::string>{
                           "title " + test::hexBytes(kPrintJobTitle), "landscape 1", "begin", "end"}));
    EXPECT_TRUE(job.landscape);

    test::RecordingPrintJob portrait;
    printStream(ctx, kJob, portrait, false);
    EXPECT_EQ(portrait.log.at(1), "landscape 0");
}

TEST_F(PrinterOutputTest, EmptyFileGivesOneEmptyPage) {
    print("");
    EXPECT_EQ(job.log, (std::vector<std::string>{"title " + test::hexBytes(kPrintJobTitle),
                                                 "landscape 0", "begin", "end"}));
    EXPECT_EQ(job.pages, 1);
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(progress.log,
              (std::vector<std::string>{"pos 0", "max 0", "step 1", "max 100", "pos 0"}));
}

TEST_F(PrinterOutputTest, ProgressFollowsTheFilePositionAfterEachLine) {
    print("AB\r\nCDE\r\nF");
    EXPECT_EQ(progress.log, (std::vector<std::string>{"pos 0", "max 10", "step 1", "pos 4", "pos 9",
                                                      "pos 10", "max 100", "pos 0"}));
    EXPECT_EQ(progress.maximum, 100);
    EXPECT_EQ(progress.position, 0);
}

TEST_F(PrinterOutputTest, OriginIsTheMargins) {
    settings.leftMargin = 30;
    settings.topMargin = 40;
    print("A\r\nB");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 30, 40, "A", 11, false}, {1, 30, 67, "B", 11, false}}));

    settings.leftMargin = 0;
    settings.topMargin = 0;
    job.page.clear();
    print("A");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 0, 0, "A", 11, false}}));
}

TEST_F(PrinterOutputTest, FormFeedAtTheStartOfALineBeginsANewPage) {
    print("A\r\n\x0c" "B\r\nC");
    EXPECT_EQ(job.pages, 2);
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 0, 0, "A", 11, false},
                                           {2, 0, 0, "B", 11, false},
                                           {2, 0, 27, "C", 11, false}}));
    EXPECT_EQ(job.log.back(), "end");
}

TEST_F(PrinterOutputTest, FormFeedInTheMiddleOfALineSplitsIt) {
    settings.leftMargin = 5;
    print("AB\x0c" "CD\r\nE");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 5, 0, "AB", 11, false},
                                           {2, 5, 0, "CD", 11, false},
                                           {2, 5, 27, "E", 11, false}}));
}

TEST_F(PrinterOutputTest, FormFeedAtTheEndOfALineLeavesAnEmptyLineAtTheTop) {
    print("AB\x0c\r\nCD");
    EXPECT_EQ(job.pages, 2);
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 0, 0, "AB", 11, false}, {2, 0, 27, "CD", 11, false}}));
}

TEST_F(PrinterOutputTest, FormFeedOnTheLastLineOpensNoPage) {
    for (std::string_view tail : {std::string_view("\x0c"), std::string_view("\x0c\r\n")}) {
        test::RecordingPrintJob one;
        drive.write(kJob, std::string("AB\r\n") + std::string(tail));
        printStream(ctx, kJob, one, false);
        EXPECT_EQ(one.pages, 1);
        EXPECT_EQ(std::count(one.log.begin(), one.log.end(), "newPage"), 0);
    }
    // Text after it is drawn over the top of the last page.
    print("AB\r\nX\x0c" "YZ");
    EXPECT_EQ(job.pages, 1);
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 0, 0, "AB", 11, false},
                                           {1, 0, 27, "X", 11, false},
                                           {1, 0, 0, "YZ", 11, false}}));
}

TEST_F(PrinterOutputTest, FontStateRunsOnAcrossPages) {
    settings.condensed = 5;
    print("\x01\x03" "A\x0c" "B\r\n\x04" "C");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 0, 0, "A", 5, true},
                                           {2, 0, 0, "B", 5, true},
                                           {2, 0, 27, "C", 11, true}}));
    // The run started once: one font setup in the whole job.
    EXPECT_EQ(job.page.ofKind(RecordingSurface::Kind::Face).size(), 1u);
}

TEST_F(PrinterOutputTest, BoxesKeepTheirGeometryOnEveryPage) {
    print("\x1e\x1b\x16\x0c\x17\x1b\x1d\r\nX");
    std::vector<RecordingSurface::Segment> segs = job.page.lines();
    ASSERT_EQ(segs.size(), 10u);
    // ┌ on page 1 and └ on page 2 share the vertical at x = 5.
    EXPECT_EQ(segs[0], (RecordingSurface::Segment{1, 5, 23, 5, 11}));
    EXPECT_EQ(segs[5], (RecordingSurface::Segment{2, 5, 0, 5, 11}));
}

TEST_F(PrinterOutputTest, LinesBelowThePageAreNotBrokenOff) {
    std::string many;
    for (int i = 0; i < 200; ++i) many += "x\r\n";
    print(many);
    EXPECT_EQ(job.pages, 1);
    EXPECT_EQ(texts().back().y, 199 * 27);
}

TEST_F(PrinterOutputTest, TransientOpenFailureIsRetried) {
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Open && nth <= 3 ? 32 : 0; };
    print("A");
    EXPECT_EQ(faults.count(FileOp::Open), 4);
    EXPECT_EQ(texts().size(), 1u);
}

TEST_F(PrinterOutputTest, OpenThatKeepsFailingRaisesBeforeTheJobBegins) {
    const auto start = std::chrono::steady_clock::now();
    try {
        printStream(ctx, kJob, job, false);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 2);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_FALSE(drive.exists(kJob));  // never created here
    EXPECT_TRUE(job.log.empty());
    EXPECT_GT(faults.count(FileOp::Open), 5);
}

TEST_F(PrinterOutputTest, LockedFileIsReportedAsSharingViolation) {
    drive.write(kJob, "A");
    test::HeldLock lock(drive.host(kJob));
    ASSERT_TRUE(lock.locked());
    try {
        printStream(ctx, kJob, job, false);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 32);
    }
    EXPECT_TRUE(job.log.empty());
    lock.release();
    EXPECT_EQ(drive.read(kJob), "A");
}

TEST_F(PrinterOutputTest, ErrorWhilePrintingAbortsTheJobAndClosesTheFile) {
    // The second line's position report fails.
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Position && nth == 2 ? 5 : 0; };
    drive.write(kJob, "A\r\nB\r\nC");
    try {
        printStream(ctx, kJob, job, false);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 5);
    }
    EXPECT_TRUE(job.aborted);
    EXPECT_FALSE(job.ended);
    EXPECT_EQ(faults.count(FileOp::Close), 1);
    EXPECT_EQ(texts().size(), 1u);
    // The progress is left where it stood.
    EXPECT_EQ(progress.position, 3);
}

TEST_F(PrinterOutputTest, FailedFormFeedTestAbortsTheJob) {
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Eof && nth == 2 ? 5 : 0; };
    drive.write(kJob, "A\x0c" "B");
    EXPECT_THROW(printStream(ctx, kJob, job, false), IoError);
    EXPECT_TRUE(job.aborted);
    EXPECT_EQ(std::count(job.log.begin(), job.log.end(), "newPage"), 0);
}

TEST_F(PrinterOutputTest, FailedByteReadEndsTheInputAbortsTheJobAndSaysSo) {
    // Reads 1..5 succeed ("AB\r\n" and "C"); the sixth fails and is not tried again.
    // The job is incomplete: it is abandoned and the read's error raised, so that
    // the caller keeps the file instead of consuming a half-printed job.
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Read && nth == 6 ? 5 : 0; };
    drive.write(kJob, "AB\r\nCDE\r\nFG");
    try {
        printStream(ctx, kJob, job, false);
        FAIL() << "no error raised";
    } catch (const StreamReadError& e) {
        EXPECT_EQ(e.code(), 5);
    }
    EXPECT_EQ(faults.count(FileOp::Read), 6);
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 0, 0, "AB", 11, false}, {1, 0, 27, "C", 11, false}}));
    EXPECT_TRUE(job.aborted);
    EXPECT_FALSE(job.ended);
}

TEST_F(PrinterOutputTest, JobThatCannotBeginIsReported) {
    job.beginResult = false;
    drive.write(kJob, "A");
    try {
        printStream(ctx, kJob, job, false);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), kDeviceWriteFault);
    }
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(faults.count(FileOp::Close), 1);
}

TEST_F(PrinterOutputTest, VariableLineHeightIsReadFromTheCheckBoxWhilePrinting) {
    variable = true;
    print("\x03" "a\r\nb");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{1, 0, 0, "a", 6, false}, {1, 0, 17, "b", 6, false}}));
}

}  // namespace
}  // namespace nx
