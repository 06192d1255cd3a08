// The plain-text line copy on real files of a temporary drive.
#include "render/text_export.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/render/render_fixture.h"

namespace nx {
namespace {

constexpr const char* kSource = "c:\\norvexa\\nyomtat1.txt";
constexpr const char* kTarget = "c:\\norvexa\\eredmeny.txt";

class TextExportTest : public ::testing::Test, protected test::RenderFixture {
protected:
    TextFile source{drive.fs()};

    TextExportTest() { source.assign(kSource); }

    // Copies `bytes` through a freshly created target and returns the target's bytes.
    std::string exported(std::string_view bytes) {
        drive.write(kSource, bytes);
        TextFile target(drive.fs());
        target.assign(kTarget);
        check(target.rewrite());
        copyLines(source, target);
        EXPECT_FALSE(source.isOpen());
        EXPECT_FALSE(target.isOpen());
        return drive.read(kTarget);
    }
};

TEST_F(TextExportTest, EmptySourceGivesAnEmptyTarget) { EXPECT_EQ(exported(""), ""); }

TEST_F(TextExportTest, EveryLineEndsWithCrLf) {
    EXPECT_EQ(exported("ab\r\ncd\nef"), "ab\r\ncd\r\nef\r\n");
    // A final line end gives no extra empty line; a line of control codes gives CR LF.
    EXPECT_EQ(exported("ab\r\n\x01\x14\x1b\r\n"), "ab\r\n\r\n");
}

TEST_F(TextExportTest, SpaceCodesBecomeSpacesAndFormFeedsStay) {
    EXPECT_EQ(exported("\x0c" "Oldal\x0b" "2\r\nA B\r\n"), "\x0cOldal 2\r\nA B\r\n");
    EXPECT_EQ(exported("x\x0cy\x0c"), "x\x0cy\x0c\r\n");
}

TEST_F(TextExportTest, EveryOtherControlByteIsDropped) {
    std::string line;
    for (int b = 0; b < 32; ++b)
        if (b != 10) line.push_back(static_cast<char>(b));
    line += "end";
    // CR inside a line goes; only 11 (as a space) and 12 survive.
    EXPECT_EQ(exported(line + "\r\nab\rcd\r\n"), " \x0c" "end\r\nabcd\r\n");
}

TEST_F(TextExportTest, BoxCode26DoesNotEndTheInput) {
    EXPECT_EQ(exported("\x1e\x1b\x16\r\n\x1a" "Sor\x1a\r\nutolso\r\n"), "\r\nSor\r\nutolso\r\n");
}

TEST_F(TextExportTest, LongLinesAndHighBytesComeOutWhole) {
    std::string high;
    for (int b = 128; b < 256; ++b) high.push_back(static_cast<char>(b));
    const std::string longLine(300, 'x');
    EXPECT_EQ(exported(longLine + "\r\n" + high), longLine + "\r\n" + high + "\r\n");
    const std::string huge(200000, 'y');
    EXPECT_EQ(exported(huge), huge + "\r\n");
}

TEST_F(TextExportTest, SourceLeftOpenIsReadAgainFromItsStart) {
    drive.write(kSource, "first\r\nsecond\r\n");
    check(source.reset());
    std::string line;
    check(source.readLine(line));
    EXPECT_EQ(exported("first\r\nsecond\r\n"), "first\r\nsecond\r\n");
    // And a second export of the same file reads it again.
    EXPECT_EQ(exported("first\r\nsecond\r\n"), "first\r\nsecond\r\n");
}

TEST_F(TextExportTest, FailureMidCopyClosesBothFilesAndRaises) {
    std::string lines;
    for (int i = 0; i < 10; ++i) lines += "line\r\n";
    drive.write(kSource, lines);
    faults.plan = [](FileOp op, int nth) { return op == FileOp::Write && nth == 4 ? 101 : 0; };
    TextFile target(drive.fs());
    target.assign(kTarget);
    check(target.rewrite());
    try {
        copyLines(source, target);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 101);
    }
    EXPECT_FALSE(target.isOpen());
    EXPECT_FALSE(source.isOpen());
    // The lines written so far reached the file, and a later export to it works.
    EXPECT_EQ(drive.read(kTarget), "line\r\nline\r\nline\r\n");
    faults.plan = nullptr;
    EXPECT_EQ(exported("again"), "again\r\n");
}

TEST_F(TextExportTest, MissingSourceRaisesAndClosesTheTarget) {
    TextFile target(drive.fs());
    target.assign(kTarget);
    check(target.rewrite());
    try {
        copyLines(source, target);
        FAIL() << "no error raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 2);
    }
    EXPECT_FALSE(target.isOpen());
    EXPECT_TRUE(drive.exists(kTarget));
}

}  // namespace
}  // namespace nx
