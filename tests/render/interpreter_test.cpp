// The line interpreter on the recording surface. Metrics (tests/support/recording.h):
// a byte is `points` wide (+1 bold), any text 2 * points + 1 high. Default sizes:
// normal 11 (W 11 x 23), condensed 6 (6 x 13), elite 9 (9 x 19), double 22 (22 x 45).
#include "render/interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/recording.h"

namespace nx {
namespace {

using test::RecordingSurface;
using Seg = RecordingSurface::Segment;
using Drawn = RecordingSurface::TextRun;

class InterpreterTest : public ::testing::Test {
protected:
    Settings settings;
    RecordingSurface surface;
    bool variable = false;
    int variableReads = 0;
    LineInterpreter in{settings, [this] {
                           ++variableReads;
                           return variable;
                       }};
    int x0 = 100, y0 = 50;

    // Splits `stream` into lines (each keeping its LF) and interprets them all, the
    // way a target does; form feeds go to `ff`.
    void run(std::string_view stream, const FormFeedAction& ff = {}) {
        in.startRun(surface, x0, y0);
        more(stream, ff);
    }
    void more(std::string_view stream, const FormFeedAction& ff = {}) {
        while (!stream.empty()) {
            std::size_t end = stream.find('\n');
            end = end == std::string_view::npos ? stream.size() : end + 1;
            in.startLine();
            in.interpretLine(stream.substr(0, end), ff);
            in.endLine();
            stream.remove_prefix(end);
        }
    }
    std::vector<Drawn> texts() const { return surface.texts(); }
};

TEST_F(InterpreterTest, RunStartsInNormalSizeNotBoldAtTheOrigin) {
    settings.normal = 12;
    surface.setBold(true);
    surface.setFontSize(30);
    surface.clear();
    run("AB");
    ASSERT_GE(surface.ops.size(), 3u);
    EXPECT_EQ(surface.ops[0].kind, RecordingSurface::Kind::Face);
    EXPECT_EQ(surface.ops[0].text, "Courier New");
    EXPECT_EQ(surface.ops[1].kind, RecordingSurface::Kind::Size);
    EXPECT_EQ(surface.ops[1].size, 12);
    EXPECT_EQ(surface.ops[2].kind, RecordingSurface::Kind::Bold);
    EXPECT_FALSE(surface.ops[2].bold);
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "AB", 12, false}}));
    EXPECT_EQ(in.cellWidth(), 12);
    EXPECT_EQ(in.cellHeight(), 25);
    EXPECT_EQ(in.savedSize(), 12);
}

// Every row of the box-drawing geometry: cell 11 x 23 at (100, 50), so cx = 105
// (half of 11 truncated), cy = 61; x then advances by the cell width. What is drawn
// is compared as a set of segments, whatever the order or direction of the calls.
struct BoxRow {
    int code;
    std::vector<std::array<int, 4>> segments;  // x1 y1 x2 y2
};

void PrintTo(const BoxRow& row, std::ostream* os) { *os << "code " << row.code; }

std::set<std::array<int, 4>> normalised(const std::vector<std::array<int, 4>>& segments) {
    std::set<std::array<int, 4>> out;
    for (auto [x1, y1, x2, y2] : segments) {
        if (std::tie(x2, y2) < std::tie(x1, y1)) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        if (x1 != x2 || y1 != y2) out.insert({x1, y1, x2, y2});
    }
    return out;
}

class BoxGeometryTest : public InterpreterTest, public ::testing::WithParamInterface<BoxRow> {};

TEST_P(BoxGeometryTest, DrawsTheCellAndAdvancesByItsWidth) {
    const BoxRow row = GetParam();
    std::string line;
    line.push_back(static_cast<char>(row.code));
    line += "Z";
    run(line);
    std::vector<std::array<int, 4>> drawn;
    for (const auto& s : surface.lines()) drawn.push_back({s.x1, s.y1, s.x2, s.y2});
    EXPECT_EQ(normalised(drawn), normalised(row.segments));
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 111, 50, "Z", 11, false}}));
}

INSTANTIATE_TEST_SUITE_P(
    AllCodes, BoxGeometryTest,
    ::testing::Values(BoxRow{20, {{105, 50, 105, 73}}},
                      BoxRow{21, {{105, 50, 105, 73}, {100, 61, 105, 61}}},
                      BoxRow{22, {{100, 61, 105, 61}, {105, 61, 105, 73}}},
                      BoxRow{23, {{105, 50, 105, 61}, {105, 61, 111, 61}}},
                      BoxRow{24, {{105, 50, 105, 61}, {100, 61, 111, 61}}},
                      BoxRow{25, {{105, 61, 105, 73}, {100, 61, 111, 61}}},
                      BoxRow{26, {{105, 50, 105, 73}, {105, 61, 111, 61}}},
                      BoxRow{27, {{100, 61, 111, 61}}},
                      BoxRow{28, {{105, 50, 105, 73}, {100, 61, 111, 61}}},
                      BoxRow{29, {{100, 61, 105, 61}, {105, 50, 105, 61}}},
                      BoxRow{30, {{105, 61, 105, 73}, {105, 61, 111, 61}}}),
    [](const ::testing::TestParamInfo<BoxRow>& p) { return "Code" + std::to_string(p.param.code); });

TEST_F(InterpreterTest, BoxCellsJoinIntoARuleAcrossALine) {
    run("\x1e\x1b\x1b\x19\x1b\x16");  // ┌──┬─┐
    std::vector<Seg> segs = surface.lines();
    ASSERT_FALSE(segs.empty());
    // The horizontal parts are contiguous from the first corner's centre to the last's.
    int reach = 105;
    for (const Seg& s : segs) {
        if (s.y1 != 61 || s.y2 != 61) continue;
        EXPECT_LE(s.x1, reach);
        reach = std::max(reach, s.x2);
    }
    EXPECT_EQ(reach, 100 + 5 * 11 + 5);
    EXPECT_EQ(in.x(), x0);  // line ended
}

TEST_F(InterpreterTest, FixedLineHeightKeepsTheStartCellHeight) {
    // Double size on the first line: the text is drawn double, the line grows to the
    // double "W", box cells take the double width but keep the start's height.
    run("\x08X\x14\nY\n\nZ");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "X", 22, false},
                                         {0, 100, 50 + 45 + 4, "Y", 22, false},
                                         {0, 100, 99 + 45 + 4 + 45 + 4, "Z", 22, false}}));
    // Box cell after X: x = 122, w = 22, h = 23 (start's).
    EXPECT_EQ(surface.lines(), (std::vector<Seg>{{0, 133, 50, 133, 73}}));
    EXPECT_EQ(in.cellHeight(), 23);
}

TEST_F(InterpreterTest, FixedLineHeightNeverGoesBelowTheStartCellHeight) {
    run("\x03" "a\nb\n\x07" "c");
    // Condensed "W" is 13 high, but every line keeps at least 23 + 4.
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "a", 6, false},
                                         {0, 100, 77, "b", 6, false},
                                         {0, 100, 104, "c", 11, false}}));
}

TEST_F(InterpreterTest, VariableLineHeightFollowsTheFontsOfTheLine) {
    variable = true;
    // Line 1 condensed only: 13 + 4. Line 2 condensed then double: 45 + 4.
    // Line 3 is LF only, in condensed again: 13 + 4. Box cells take the height
    // measured after the last code 1 to 9.
    run("\x03" "a\n\x08" "b\x03\x14\n\n" "c");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "a", 6, false},
                                         {0, 100, 67, "b", 22, false},
                                         {0, 100, 67 + 49 + 17, "c", 6, false}}));
    // The box after 3 on line 2: x = 100 + 22, w = 6, h = 13 (condensed).
    EXPECT_EQ(surface.lines(), (std::vector<Seg>{{0, 125, 67, 125, 80}}));
    EXPECT_EQ(in.cellHeight(), 13);
}

TEST_F(InterpreterTest, LineFeedOnlyLinesAdvanceByLineHeightPlusGap) {
    run("\n\nA");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50 + 2 * 27, "A", 11, false}}));

    variable = true;
    surface.clear();
    run("\x06\n\nA");  // elite: 19 + 4 per line
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50 + 2 * 23, "A", 9, false}}));
}

TEST_F(InterpreterTest, VariableLineHeightIsReadAtEveryLineAndStep) {
    run("\x08" "a\n");
    // At the start of the line, at the step of code 8 (with its text) and at the LF.
    EXPECT_EQ(variableReads, 3);
    // Switched on between lines: the next line starts at height 0 and its LF-only
    // step raises it to the current "W" (double, 45).
    variable = true;
    more("\nb");
    EXPECT_EQ(texts().back(), (Drawn{0, 100, 50 + 49 + 49, "b", 22, false}));
}

TEST_F(InterpreterTest, SavedSizeIsOneSlot) {
    settings.condensed = 5;
    run("\x03\x03\x04" "a\n\x04" "b\n\x06\x03\x04" "c\n");
    std::vector<Drawn> t = texts();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].size, 5);   // 3, 3, 4: the second 3 saved the condensed size
    EXPECT_EQ(t[1].size, 5);   // 4 again restores the same slot
    EXPECT_EQ(t[2].size, 9);   // elite, 3, 4: back to elite
}

TEST_F(InterpreterTest, RestoreWithoutCondensedGivesTheNormalSize) {
    settings.normal = 13;
    run("\x08\x04" "a");
    EXPECT_EQ(texts().at(0).size, 13);
}

TEST_F(InterpreterTest, SizesAreReadWhenEachCodeIsActedOn) {
    run("\x08" "a\n");
    settings.dbl = 30;
    settings.elite = 7;
    more("\x08" "b\x06" "c\x03" "d");
    std::vector<Drawn> t = texts();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[1].size, 30);
    EXPECT_EQ(t[2].size, 7);
    EXPECT_EQ(t[3].size, 6);
    EXPECT_EQ(in.savedSize(), 7);
}

TEST_F(InterpreterTest, BoldChangesTheCellWidthAndStaysAcrossLines) {
    run("\x01\x14\nA\n\x02\x14");
    // Bold W is 12 wide: the bar sits at 100 + 6.
    EXPECT_EQ(surface.lines(), (std::vector<Seg>{{0, 106, 50, 106, 73}, {0, 105, 104, 105, 127}}));
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 77, "A", 11, true}}));
}

TEST_F(InterpreterTest, SpaceCodeAdvancesByUAndByte32IsText) {
    surface.setAdvance('u', 7);
    run("A\x0b" "B C");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "A", 11, false}, {0, 118, 50, "B C", 11, false}}));
}

TEST_F(InterpreterTest, InertBytesDrawAndMoveNothing) {
    run(std::string("\x00\x05\x0e\x0f\x10\x11\x12\x13\x1f" "A\x1f" "B\n", 13));
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "A", 11, false}, {0, 111, 50, "B", 11, false}}));
    EXPECT_TRUE(surface.lines().empty());
    EXPECT_TRUE(surface.ofKind(RecordingSurface::Kind::Move).empty());
}

TEST_F(InterpreterTest, CarriageReturnOverdrawsFromTheOrigin) {
    run("ABC\x0d" "XY\x0d\n" "D");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "ABC", 11, false},
                                         {0, 100, 50, "XY", 11, false},
                                         {0, 100, 77, "D", 11, false}}));
    std::vector<RecordingSurface::Op> moves = surface.ofKind(RecordingSurface::Kind::Move);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].x, 100);
    EXPECT_EQ(moves[0].y, 50);
}

TEST_F(InterpreterTest, AStepDrawsItsRunInTheFontItsCodeSet) {
    run("ab\x01" "cd\x08" "e");
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "ab", 11, false},
                                         {0, 122, 50, "cd", 11, true},
                                         {0, 146, 50, "e", 22, true}}));
}

TEST_F(InterpreterTest, NothingWrapsOrStopsAtTheSurfaceEdge) {
    std::string wide(2000, 'x');
    run(wide + "\n" + wide);
    std::vector<Drawn> t = texts();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1].y, 77);
    EXPECT_EQ(in.x(), 100);
}

TEST_F(InterpreterTest, FormFeedActionCanMoveAndDropTheRest) {
    int calls = 0;
    auto toOrigin = [&](LineInterpreter& li) {
        ++calls;
        li.returnToOrigin();
        return false;
    };
    run("ab\x0c" "cd\n", toOrigin);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "ab", 11, false}, {0, 100, 50, "cd", 11, false}}));

    surface.clear();
    auto drop = [](LineInterpreter&) { return true; };
    run("ab\x0c" "cd\x14\nef", drop);
    // The line still ends normally; the next line is drawn one line lower.
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50, "ab", 11, false}, {0, 100, 77, "ef", 11, false}}));
    EXPECT_TRUE(surface.lines().empty());
}

TEST_F(InterpreterTest, FormFeedStepStillRaisesTheLineHeight) {
    variable = true;
    auto drop = [](LineInterpreter&) { return true; };
    run("\x0c" "zz\nA", drop);
    EXPECT_EQ(texts(), (std::vector<Drawn>{{0, 100, 50 + 27, "A", 11, false}}));
}

TEST_F(InterpreterTest, SwitchingSurfacesCarriesTheFontState) {
    RecordingSurface second;
    auto next = [&](LineInterpreter& li) {
        li.setSurface(second);
        li.returnToOrigin();
        return false;
    };
    run("\x01\x08" "a\x0c" "b", next);
    ASSERT_EQ(second.texts().size(), 1u);
    EXPECT_EQ(second.texts()[0], (Drawn{0, 100, 50, "b", 22, true}));
    EXPECT_EQ(second.face(), "Courier New");
}

}  // namespace
}  // namespace nx
