// Rendering one preview page onto the recording surface: origin (8, 8), normal 11
// gives lines 27 apart.
#include "render/preview_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "tests/render/render_fixture.h"

namespace nx {
namespace {

using test::RecordingSurface;
using Drawn = RecordingSurface::TextRun;

constexpr const char* kFile = "c:\\norvexa\\legutobb.txt";

class PreviewPageTest : public ::testing::Test, protected test::RenderFixture {
protected:
    RecordingSurface image;
    int readFailure = 0;

    std::vector<Drawn> page(int n) {
        image.clear();
        readFailure = renderPreviewPage(ctx, kFile, n, image, 640, 480);
        return image.texts();
    }
    std::vector<Drawn> page(std::string_view bytes, int n) {
        drive.write(kFile, bytes);
        return page(n);
    }
};

TEST_F(PreviewPageTest, ClearsThenSetsUpTheFontThenDrawsFromTheOrigin) {
    EXPECT_EQ(page("AB\r\nC", 1),
              (std::vector<Drawn>{{0, 8, 8, "AB", 11, false}, {0, 8, 35, "C", 11, false}}));
    ASSERT_GE(image.ops.size(), 2u);
    EXPECT_EQ(image.ops[0].kind, RecordingSurface::Kind::Fill);
    EXPECT_EQ(image.ops[0].x2, 640);
    EXPECT_EQ(image.ops[0].y2, 480);
    EXPECT_EQ(image.ops[1].kind, RecordingSurface::Kind::Face);
    EXPECT_EQ(image.ops[1].text, "Courier New");
}

TEST_F(PreviewPageTest, PagesAreFoundByCountingFormFeeds) {
    drive.write(kFile, "A\x0c" "B\r\nC\x0c" "D");
    EXPECT_EQ(page(1), (std::vector<Drawn>{{0, 8, 8, "A", 11, false}}));
    EXPECT_EQ(page(2), (std::vector<Drawn>{{0, 8, 8, "B", 11, false}, {0, 8, 35, "C", 11, false}}));
    EXPECT_EQ(page(3), (std::vector<Drawn>{{0, 8, 8, "D", 11, false}}));
    EXPECT_TRUE(page(4).empty());
    EXPECT_TRUE(page(1000).empty());
    // A page number below 1 draws from the first byte.
    EXPECT_EQ(page(0).size(), 1u);
}

TEST_F(PreviewPageTest, FormFeedEndsThePageWhereverItStands) {
    // Start of a line: the page is that line's nothing.
    EXPECT_TRUE(page("\x0c" "AB\r\nCD", 1).empty());
    // Middle: the text before it is drawn, nothing after it.
    EXPECT_EQ(page("AB\x0c" "CD\x14\r\nEF", 1), (std::vector<Drawn>{{0, 8, 8, "AB", 11, false}}));
    EXPECT_TRUE(image.lines().empty());
    // End of a line, followed by CR LF: the next page starts with an empty line.
    drive.write(kFile, "AB\x0c\r\nCD");
    EXPECT_EQ(page(1), (std::vector<Drawn>{{0, 8, 8, "AB", 11, false}}));
    EXPECT_EQ(page(2), (std::vector<Drawn>{{0, 8, 35, "CD", 11, false}}));
    // Last byte of the file: page 2 exists and is blank.
    drive.write(kFile, "AB\r\n\x0c");
    EXPECT_EQ(page(1).size(), 1u);
    EXPECT_TRUE(page(2).empty());
}

TEST_F(PreviewPageTest, EveryPageStartsInTheNormalSizeNotBold) {
    drive.write(kFile, "\x01\x08" "A\x0c" "B\x03\x0c\x04" "C");
    EXPECT_EQ(page(1), (std::vector<Drawn>{{0, 8, 8, "A", 22, true}}));
    EXPECT_EQ(page(2), (std::vector<Drawn>{{0, 8, 8, "B", 11, false}}));
    // The saved size starts again as the normal size too.
    settings.normal = 12;
    EXPECT_EQ(page(3), (std::vector<Drawn>{{0, 8, 8, "C", 12, false}}));
}

TEST_F(PreviewPageTest, LinesKeepOnlyTheir255FirstBytes) {
    // 259 x, a form feed at byte 260, "yy", CR LF; then "Z", a form feed, "P".
    std::string stream = std::string(259, 'x') + "\x0c" "yy\r\nZ\x0c" "P";
    drive.write(kFile, stream);
    EXPECT_EQ(page(1), (std::vector<Drawn>{{0, 8, 8, std::string(255, 'x'), 11, false},
                                           {0, 8, 35, "Z", 11, false}}));
    // The skip still counts the form feed the drawing dropped.
    EXPECT_EQ(page(2), (std::vector<Drawn>{{0, 8, 8, "yy", 11, false}, {0, 8, 35, "Z", 11, false}}));
    EXPECT_EQ(page(3), (std::vector<Drawn>{{0, 8, 8, "P", 11, false}}));
}

TEST_F(PreviewPageTest, ALineCutAtTheLimitLosesItsLineEndButStillEnds) {
    // Exactly 255 bytes with the LF as the 256th: the LF is dropped, the line ends.
    std::string stream = std::string(254, 'a') + "\r\nB";
    std::vector<Drawn> t = page(stream, 1);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1], (Drawn{0, 8, 35, "B", 11, false}));
}

TEST_F(PreviewPageTest, Byte31AndInertBytesAreRemovedWithoutEffect) {
    EXPECT_EQ(page(std::string("A\x1f\x1f" "B\x00\x05\x0e" "C", 8), 1),
              (std::vector<Drawn>{{0, 8, 8, "A", 11, false},
                                  {0, 19, 8, "B", 11, false},
                                  {0, 30, 8, "C", 11, false}}));
}

TEST_F(PreviewPageTest, LineFeedOnlyLinesAndCarriageReturnOverdraw) {
    EXPECT_EQ(page("\n\nAB\rC\n", 1),
              (std::vector<Drawn>{{0, 8, 62, "AB", 11, false}, {0, 8, 62, "C", 11, false}}));
    variable = true;
    EXPECT_EQ(page("\x03\n\nA", 1), (std::vector<Drawn>{{0, 8, 8 + 17 + 17, "A", 6, false}}));
}

TEST_F(PreviewPageTest, ProgressEndsAt100Of100) {
    drive.write(kFile, "AB\r\nC\x0c" "DE\r\nF");
    page(1);
    // The form feed's line was read whole (position 10) before the seek to the end.
    EXPECT_EQ(progress.log, (std::vector<std::string>{"pos 0", "max 11", "step 1", "pos 4", "pos 10",
                                                      "max 100", "pos 100"}));
    progress.log.clear();
    page(2);
    EXPECT_EQ(progress.positions(), (std::vector<std::int64_t>{0, 10, 11, 100}));
    page(9);
    EXPECT_EQ(progress.maximum, 100);
    EXPECT_EQ(progress.position, 100);
}

TEST_F(PreviewPageTest, MissingFileIsCreatedEmptyAndGivesABlankPage) {
    EXPECT_FALSE(drive.exists(kFile));
    EXPECT_TRUE(page(1).empty());
    EXPECT_TRUE(drive.exists(kFile));
    EXPECT_EQ(drive.read(kFile), "");
    EXPECT_EQ(progress.log, (std::vector<std::string>{"pos 0", "max 0", "step 1", "max 100", "pos 100"}));
    EXPECT_EQ(image.ofKind(RecordingSurface::Kind::Fill).size(), 1u);
}

TEST_F(PreviewPageTest, MissingDirectoryIsReportedAndNothingIsCreated) {
    try {
        (void)renderPreviewPage(ctx, "c:\\nincs\\wnyomtat.txt", 1, image, 640, 480);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 3);
    }
    EXPECT_FALSE(drive.exists("c:\\nincs"));
}

TEST_F(PreviewPageTest, TransientOpenFailureIsRetried) {
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Open && nth <= 2 ? 32 : 0; };
    EXPECT_EQ(page("A", 1).size(), 1u);
    EXPECT_EQ(faults.count(FileOp::Open), 3);
}

TEST_F(PreviewPageTest, FileHeldByAnotherProgramIsGivenUpAfterAboutTwoSeconds) {
    drive.write(kFile, "A");
    test::HeldLock lock(drive.host(kFile));
    ASSERT_TRUE(lock.locked());
    const auto start = std::chrono::steady_clock::now();
    try {
        (void)renderPreviewPage(ctx, kFile, 1, image, 640, 480);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 32);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_TRUE(image.ops.empty());
    lock.release();
    EXPECT_EQ(drive.read(kFile), "A");
}

TEST_F(PreviewPageTest, CheckedFailuresRaiseAndLeaveWhatWasDrawn) {
    // The second line's position report fails.
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Position && nth == 2 ? 5 : 0; };
    drive.write(kFile, "A\r\nB\r\nC");
    EXPECT_THROW(page(1), IoError);
    EXPECT_EQ(image.texts().size(), 1u);
    EXPECT_EQ(progress.position, 3);

    // A read failing while skipping is checked too.
    faults.counts.clear();
    faults.plan = [](FileOp op, int) { return op == FileOp::Read ? 5 : 0; };
    EXPECT_THROW(page(2), IoError);
}

TEST_F(PreviewPageTest, FailedReadInALineEndsThePageAndReturnsItsCode) {
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Read && nth == 6 ? 5 : 0; };
    EXPECT_EQ(page("AB\r\nCDE\r\nFG", 1),
              (std::vector<Drawn>{{0, 8, 8, "AB", 11, false}, {0, 8, 35, "C", 11, false}}));
    EXPECT_EQ(readFailure, 5);
    EXPECT_EQ(faults.count(FileOp::Read), 6);
    EXPECT_EQ(progress.position, 100);
}

TEST_F(PreviewPageTest, SkipAcrossLargeFilesMatchesCountingByteByByte) {
    // Form feeds scattered over several read blocks, some on block edges.
    std::string stream(300000, 'a');
    std::mt19937 rng(7);
    std::vector<std::size_t> feeds = {0, 65535, 65536, 131071, 131072, 131073};
    for (int i = 0; i < 40; ++i) feeds.push_back(rng() % stream.size());
    for (std::size_t p : feeds) stream[p] = '\x0c';
    for (std::size_t i = 97; i < stream.size(); i += 97) {
        if (stream[i] != '\x0c') stream[i] = '\n';
    }
    drive.write(kFile, stream);

    std::vector<std::size_t> starts = {0};
    for (std::size_t i = 0; i < stream.size(); ++i)
        if (stream[i] == '\x0c') starts.push_back(i + 1);
    for (std::size_t n : {2u, 3u, 4u, 5u, 6u, 7u, 20u, 30u}) {
        if (n > starts.size()) continue;
        std::size_t from = starts[n - 1];
        std::size_t lineEnd = stream.find_first_of(std::string("\n\x0c", 2), from);
        std::string first = stream.substr(from, lineEnd - from);
        std::vector<Drawn> t = page(static_cast<int>(n));
        if (first.empty()) {
            // The page starts with a line end or a form feed: nothing at the top-left.
            EXPECT_TRUE(t.empty() || t[0].y > 8) << "page " << n;
        } else {
            ASSERT_FALSE(t.empty()) << "page " << n;
            EXPECT_EQ(t[0].text, first.substr(0, 255)) << "page " << n;
            EXPECT_EQ(t[0].y, 8);
        }
    }
}

}  // namespace
}  // namespace nx
