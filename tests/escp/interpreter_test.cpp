// The ESC/P interpreter on the recording surface at 600 dpi: where each command
// puts the print position, in exact device units, on both printer families.
// Recording metrics: a character advances by its point size (x stretch), so the
// interpreter draws letter by letter at its cells unless that matches the pitch.
#include "escp/interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "escp/box.h"
#include "escp/job.h"
#include "tests/support/recording.h"

namespace nx::escp {
namespace {

using test::RecordingSurface;
using Kind = RecordingSurface::Kind;

// Every page on one recording surface, its calls stamped with their page (0-based).
class Pages final : public PageTarget {
public:
    RecordingSurface page;
    Surface& surface() override { return page; }
    void newPage() override { ++page.page; }
};

struct Outcome {
    int pages = 0;
    Pages out;
    // Letters with their top-left corner, page by page.
    std::vector<RecordingSurface::TextRun> letters() const { return out.page.texts(); }
    std::vector<RecordingSurface::Op> inks() const { return out.page.ofKind(Kind::Ink); }
};

Outcome interpret(std::string_view job, Pins pins, CodePage page) {
    Outcome r;
    MemorySource source(job);
    r.pages = Interpreter(Options{pins, page}, Paper::a4(600, 600)).run(source, r.out);
    return r;
}

// A job written as a literal, zero bytes included.
template <std::size_t N>
Outcome interpret(const char (&job)[N], Pins pins = Pins::TwentyFour,
                  CodePage page = CodePage::Cp437) {
    return interpret(std::string_view(job, N - 1), pins, page);
}
Outcome interpret(const std::string& job, Pins pins = Pins::TwentyFour,
                  CodePage page = CodePage::Cp437) {
    return interpret(std::string_view(job), pins, page);
}

// The top-left corner of the letter `c` (the first one drawn).
std::pair<int, int> at(const Outcome& r, std::string_view c) {
    for (const auto& t : r.letters())
        if (t.text == c) return {t.x, t.y};
    return {-1, -1};
}

TEST(EscpVertical, LineSpacingFollowsTheFamilysUnits) {
    // ESC 3 36: 36/180" on 24-pin, 36/216" on 9-pin; ESC A 10: 10/60" and 10/72";
    // ESC J 90: 90/180" and 90/216" at once.
    const std::string job = "A\x1b" "3\x24\nB\x1b" "A\x0a\nC\x1bJ\x5a" "D";
    const Outcome wide = interpret(job, Pins::TwentyFour);
    const Outcome nine = interpret(job, Pins::Nine);
    EXPECT_EQ(at(wide, "B").second, 120);
    EXPECT_EQ(at(nine, "B").second, 100);
    EXPECT_EQ(at(wide, "C").second, 120 + 100);
    EXPECT_EQ(at(nine, "C").second, 100 + 83);  // 10/72" is 83.3 units: no drift below
    EXPECT_EQ(at(wide, "D").second, 220 + 300);
    EXPECT_EQ(at(nine, "D").second, 183 + 250);
    // ESC 0, ESC 2 and ESC + n: 1/8", 1/6" and n/360" on both.
    const Outcome r = interpret("\x1b" "0a\nb\x1b" "2\nc\x1b+\x48\nd");
    EXPECT_EQ(at(r, "b").second, 75);
    EXPECT_EQ(at(r, "c").second, 175);
    EXPECT_EQ(at(r, "d").second, 295);
}

TEST(EscpVertical, SeventyLinesOfASixthEndWhereTheSeventiethShouldAndTheNextPageBegins) {
    std::string job = "\x1b" "C\x46";  // a page of 70 lines
    for (int i = 0; i < 71; ++i) job += "x\r\n";
    const Outcome r = interpret(job);
    const auto letters = r.letters();
    ASSERT_EQ(letters.size(), 71u);
    EXPECT_EQ(letters[69].page, 0);
    EXPECT_EQ(letters[69].y, 69 * 100);  // 69 sixths of an inch at 600 dpi, exactly
    EXPECT_EQ(letters[70].page, 1);
    EXPECT_EQ(letters[70].y, 0);
    EXPECT_EQ(r.pages, 2);
    // A 1/7" page length in 9-pin units, 216 lines of ESC 3 1: the last line still
    // at 215/216".
    std::string fine = "\x1b" "3\x01";
    for (int i = 0; i < 215; ++i) fine += "\n";
    EXPECT_EQ(at(interpret(fine + "z", Pins::Nine), "z").second, 215 * 600 / 216);
}

TEST(EscpVertical, FormFeedsAndPageEnds) {
    // A trailing form feed opens no empty page; form feeds between pages do.
    EXPECT_EQ(interpret("one\x0c").pages, 1);
    // A page length of nothing (ESC C 0 0, or lines of no height) is not taken.
    EXPECT_EQ(interpret("\x1b" "C\x00\x00a\nb\n\x1b" "3\x00\x1b" "C\x05\x1b" "2c\nd\n").pages, 1);
    const Outcome r = interpret("one\x0c\x0ctwo\x0c\x0c\x0c");
    EXPECT_EQ(r.pages, 3);
    EXPECT_EQ(r.letters().back().page, 2);
    // ESC N 2 on a 10-line page: a skip of two lines at its foot.
    std::string skip = "\x1b" "C\x0a\x1bN\x02";
    for (int i = 0; i < 9; ++i) skip += "x\n";
    const Outcome s = interpret(skip);
    EXPECT_EQ(s.letters()[7].page, 0);
    EXPECT_EQ(s.letters()[8].page, 1);
}

TEST(EscpVertical, APageLongerThanTheSheetIsFittedOntoOneSheetAndAFullPageFeedsNoBlankOne) {
    // Two 12-inch pages (ESC C 72), each line numbered, each page ended by CR LF FF
    // after its 72nd line: two sheets, every line on its own, the lowest inside A4.
    auto pagesOf = [](int lines, int count, const std::string& end) {
        std::string job = "\x1b" "C" + std::string(1, static_cast<char>(lines));
        for (int p = 0; p < count; ++p) {
            for (int i = 1; i <= lines; ++i) job += "L" + std::to_string(i) + "\r\n";
            job += end;
        }
        return job;
    };
    const Outcome twelve = interpret(pagesOf(72, 2, "\x0c"));
    EXPECT_EQ(twelve.pages, 2);
    const int a4Foot = Paper::a4(600, 600).deviceHeight();
    for (int page = 0; page < 2; ++page) {
        // The text of each line, by its place down the page.
        std::map<int, std::string> lines;
        int size = 0;
        for (const auto& t : twelve.letters()) {
            if (t.page != page) continue;
            lines[t.y] += t.text;
            size = t.size;
        }
        ASSERT_EQ(lines.size(), 72u) << page;
        EXPECT_EQ(lines.begin()->second, "L1");
        const auto& [lowestY, lowestText] = *lines.rbegin();
        EXPECT_EQ(lowestText, "L72");
        // Line 72 at 71/6" of 12", fitted into 297 mm: its letters end on the sheet.
        EXPECT_EQ(lowestY, static_cast<int>((71 * 3600 * Paper{}.height / (72 * 3600) * 600 + 10800) / 21600));
        EXPECT_LT(lowestY + 2 * size + 1, a4Foot);
        EXPECT_EQ(size, 11);  // 12 points, fitted
    }
    // An 11-inch page fits: its own size, not fitted.
    const Outcome eleven = interpret(pagesOf(66, 1, ""));
    EXPECT_EQ(eleven.letters().back().y, 65 * 100);
    EXPECT_EQ(eleven.letters().back().size, 12);
    // Two 40-line pages each ending in CR LF FF: two sheets, no blank one between;
    // a second form feed still asks for its blank page.
    EXPECT_EQ(interpret(pagesOf(40, 2, "\x0c")).pages, 2);
    EXPECT_EQ(interpret(pagesOf(40, 2, "\x0c\x0c")).pages, 3);
    // A page length set longer once the page has begun ends that page where its
    // sheet does: nothing is drawn below the paper.
    std::string late = "first\r\n\x1b" "C\x00\x5c";  // then 92 inches
    for (int i = 0; i < 80; ++i) late += "x\r\n";
    const Outcome r = interpret(late);
    EXPECT_EQ(r.pages, 2);
    for (const auto& t : r.letters()) EXPECT_LT(t.y, a4Foot) << t.text;
    // So does a page length set shorter after a move down past the paper's foot
    // (a 30-inch page, ESC ( V to 15 inches, then a page of 10 lines).
    const Outcome moved = interpret("\x1b" "C\x00\x1e\x1b(V\x02\x00\x18\x15\x1b" "C\x0aX");
    ASSERT_EQ(moved.letters().size(), 1u);
    EXPECT_LT(moved.letters()[0].y, a4Foot);
    // A box character's height, the line spacing (ESC A 255: 4.25"), ends at the
    // sheet's foot: its line at 11.5" reaches no further.
    const Outcome tall = interpret("\x1b" "A\xff\x1b(V\x02\x00\x2c\x10\xb3");
    ASSERT_FALSE(tall.out.page.lines().empty());
    for (const auto& l : tall.out.page.lines()) EXPECT_LE(std::max(l.y1, l.y2), a4Foot);
}

TEST(EscpHorizontal, PitchesMarginsAndPositions) {
    // 15 cpi: cells 40 units wide; 12 cpi: 50; condensed pica 17.14 cpi: 35.
    const Outcome r = interpret("\x1bgabc\r\n\x1bMdef\r\n\x1bP\x0fghi");
    EXPECT_EQ(at(r, "b").first, 40);
    EXPECT_EQ(at(r, "c").first, 80);
    EXPECT_EQ(at(r, "f").first, 100);
    EXPECT_EQ(at(r, "i").first, 70);
    // ESC $ 60 0: one inch from the left edge; ESC \ moves by 1/180" or 1/120".
    EXPECT_EQ(at(interpret("\x1b$\x3c\x00X"), "X").first, 600);
    EXPECT_EQ(at(interpret("\x1b\\\x5a\x00X"), "X").first, 300);
    EXPECT_EQ(at(interpret("\x1b\\\x5a\x00X", Pins::Nine), "X").first, 450);
    // ESC l 5: five pica columns; a CR comes back there; HT every 8 columns.
    const Outcome m = interpret("\x1bl\x05" "a\r\tb\x08" "c");
    EXPECT_EQ(at(m, "a").first, 300);
    EXPECT_EQ(at(m, "b").first, 300 + 480);
    EXPECT_EQ(at(m, "c").first, 300 + 480);  // BS: back one cell, struck over
    // ESC D 3 10 NUL: tab stops at columns 3 and 10 of the margin.
    const Outcome t = interpret("\x1b" "D\x03\x0a\x00\tx\ty");
    EXPECT_EQ(at(t, "x").first, 180);
    EXPECT_EQ(at(t, "y").first, 600);
    // Double width: cells of 0.2" and letters twice as wide.
    const Outcome w = interpret("\x1bW\x01" "ab");
    EXPECT_EQ(at(w, "b").first, 120);
    EXPECT_EQ(w.out.page.texts().size(), 2u);
}

TEST(EscpHorizontal, ALineLongerThanTheMarginGoesOnTheNextLine) {
    const Outcome r = interpret("\x1bQ\x03" "abcd");  // right margin after 3 columns
    EXPECT_EQ(at(r, "d").first, 0);
    EXPECT_EQ(at(r, "d").second, 100);
}

TEST(EscpCharacters, TablesNationalSetsAndModes) {
    // 437 (the default), then ESC ( t assigning 852 to table 1.
    const Outcome r = interpret("\x82\x1b(t\x03\x00\x01\x0a\x00\x82", Pins::TwentyFour);
    ASSERT_EQ(r.letters().size(), 2u);
    EXPECT_EQ(r.letters()[0].text, "\xc3\xa9");  // é
    EXPECT_EQ(r.letters()[1].text, "\xc3\xa9");  // é in 852 too
    EXPECT_EQ(interpret("\x8b", Pins::TwentyFour, CodePage::Cp852).letters()[0].text,
              "\xc5\x91");  // ő
    // ESC t 0: the italic table; ESC R 2: Germany's letters for [ \ ].
    const Outcome i = interpret("\x1bt\x00\xc1\x1bR\x02[");
    EXPECT_EQ(i.out.page.ofKind(Kind::Text)[0].italic, true);
    EXPECT_EQ(i.letters()[0].text, "A");
    EXPECT_EQ(i.letters()[1].text, "\xc3\x84");  // Ä
    // Bold and double strike, underline as a pen line under the letters.
    const Outcome b = interpret("\x1b" "Ea\x1b" "F\x1bGb\x1b-\x01" "cd");
    EXPECT_TRUE(b.letters()[0].bold);
    EXPECT_TRUE(b.letters()[1].bold);
    const auto lines = b.out.page.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].x1, 120);
    EXPECT_EQ(lines[0].x2, 240);
    // CAN drops what the line holds; a sequence cut by the end of the job ends it.
    EXPECT_EQ(at(interpret("lost\x18kept"), "k").first, 0);
    EXPECT_EQ(interpret("ok\x1b(C\x02").letters().size(), 2u);
}

// Horizontal and vertical pieces of the lines drawn, joined where they touch.
std::map<int, std::vector<std::pair<int, int>>> spans(const RecordingSurface& s, bool horizontal) {
    std::map<int, std::vector<std::pair<int, int>>> out;
    for (const auto& l : s.lines()) {
        if (horizontal && l.y1 == l.y2)
            out[l.y1].emplace_back(std::min(l.x1, l.x2), std::max(l.x1, l.x2));
        if (!horizontal && l.x1 == l.x2)
            out[l.x1].emplace_back(std::min(l.y1, l.y2), std::max(l.y1, l.y2));
    }
    for (auto& [at, pieces] : out) {
        std::sort(pieces.begin(), pieces.end());
        std::vector<std::pair<int, int>> joined;
        for (const auto& p : pieces) {
            if (!joined.empty() && p.first <= joined.back().second)
                joined.back().second = std::max(joined.back().second, p.second);
            else
                joined.push_back(p);
        }
        pieces = joined;
    }
    return out;
}

TEST(EscpBoxes, GridsOfEveryCodePageDrawUnbrokenLines) {
    // ┌─┬─┐ │ │ │ ├─┼─┤ └─┴─┘ single, then the double ╔═╦═╗ ║ ║ ║ ╠═╬═╣ ╚═╩═╝,
    // in the bytes of 437/850 and of 852 (the same positions for these).
    const std::string single = "\xda\xc4\xc2\xc4\xbf\r\n\xb3 \xb3 \xb3\r\n\xc3\xc4\xc5\xc4\xb4\r\n\xc0\xc4\xc1\xc4\xd9";
    const std::string dbl = "\xc9\xcd\xcb\xcd\xbb\r\n\xba \xba \xba\r\n\xcc\xcd\xce\xcd\xb9\r\n\xc8\xcd\xca\xcd\xbc";
    for (CodePage page : {CodePage::Cp437, CodePage::Cp850, CodePage::Cp852}) {
        for (const std::string* grid : {&single, &dbl}) {
            SCOPED_TRACE(std::to_string(numberOf(page)) + (grid == &dbl ? " double" : " single"));
            const Outcome r = interpret(*grid, Pins::TwentyFour, page);
            EXPECT_TRUE(r.letters().empty());  // nothing printed as letters
            // Cells of 60 x 100 units. A stroke ends only at a junction or corner
            // inside a cell, never at a cell's border: there is no gap between cells.
            const auto rules = spans(r.out.page, true);
            const auto columns = spans(r.out.page, false);
            EXPECT_EQ(rules.size(), grid == &dbl ? 6u : 3u);
            EXPECT_EQ(columns.size(), grid == &dbl ? 6u : 3u);
            for (const auto& [y, pieces] : rules) {
                for (const auto& [from, to] : pieces) {
                    EXPECT_NE(from % 60, 0) << "rule at " << y << " stops at a border";
                    EXPECT_NE(to % 60, 0) << "rule at " << y << " stops at a border";
                }
                // Each rule reaches from the first column of the grid to the last.
                EXPECT_LE(pieces.front().first, 40);
                EXPECT_GE(pieces.back().second, 260);
                if (grid == &single) {
                    EXPECT_EQ(pieces.size(), 1u) << y;
                }
            }
            for (const auto& [x, pieces] : columns) {
                for (const auto& [from, to] : pieces) {
                    EXPECT_NE(from % 100, 0) << "column at " << x << " stops at a border";
                    EXPECT_NE(to % 100, 0) << "column at " << x << " stops at a border";
                }
                EXPECT_LE(pieces.front().first, 60);
                EXPECT_GE(pieces.back().second, 340);
                if (grid == &single) {
                    EXPECT_EQ(pieces.size(), 1u) << x;
                }
            }
        }
    }
}

TEST(EscpBoxes, BlocksAndShadesAreFilledAreas) {
    const Outcome r = interpret("\xdb\xdf\xb0");  // █ ▀ ░
    const auto inks = r.inks();
    ASSERT_EQ(inks.size(), 3u);
    EXPECT_EQ((std::vector<int>{inks[0].x, inks[0].y, inks[0].x2, inks[0].y2}),
              (std::vector<int>{0, 0, 60, 100}));
    EXPECT_EQ((std::vector<int>{inks[1].x, inks[1].y, inks[1].x2, inks[1].y2}),
              (std::vector<int>{60, 0, 120, 50}));
    EXPECT_EQ(inks[2].stretch, 25);  // the grey

    // ESC SP 60: a third of an inch after each character stays blank; the block is
    // as wide as the character, however much space follows it.
    const auto spaced = interpret("\x1b \x3c\xdb\xdb").inks();
    ASSERT_EQ(spaced.size(), 2u);
    EXPECT_EQ((std::vector<int>{spaced[0].x, spaced[0].x2, spaced[1].x, spaced[1].x2}),
              (std::vector<int>{0, 60, 260, 320}));
}

// The dots an image drew at 600 dpi, as a set of (column, row) for columns and rows
// of the given number an inch.
std::set<std::pair<int, int>> dots(const Outcome& r, int columnsPerInch, int rowsPerInch) {
    auto cell = [](int device, int perInch) { return (device * perInch + 300) / 600; };
    std::set<std::pair<int, int>> out;
    for (const auto& i : r.inks())
        for (int c = cell(i.x, columnsPerInch); c < cell(i.x2, columnsPerInch); ++c)
            for (int row = cell(i.y, rowsPerInch); row < cell(i.y2, rowsPerInch); ++row)
                out.insert({c, row});
    return out;
}

TEST(EscpImages, EachDensityDrawsExactlyItsDots) {
    // Two columns: 0x81 (top and bottom dot), 0x40 (second dot).
    const std::set<std::pair<int, int>> expected = {{0, 0}, {0, 7}, {1, 1}};
    // ESC K at 60 dpi, 8 dots of 1/60" on 24-pin and of 1/72" on 9-pin.
    EXPECT_EQ(dots(interpret("\x1bK\x02\x00\x81\x40"), 60, 60), expected);
    EXPECT_EQ(dots(interpret("\x1bK\x02\x00\x81\x40", Pins::Nine), 60, 72), expected);
    // ESC * 3 at 240 columns an inch, ESC * 1 at 120 (and ESC ? remapping K to it).
    EXPECT_EQ(dots(interpret("\x1b*\x03\x02\x00\x81\x40"), 240, 60), expected);
    EXPECT_EQ(dots(interpret("\x1b?K\x01\x1bK\x02\x00\x81\x40"), 120, 60), expected);
    // ESC * 39: 24 dots of 1/180" at 180 dpi; three bytes a column.
    const Outcome t = interpret("\x1b*\x27\x01\x00\x80\x00\x01");
    ASSERT_EQ(t.inks().size(), 2u);
    EXPECT_EQ(t.inks()[0].y, 0);
    EXPECT_EQ(t.inks()[1].y, (23 * 600 + 90) / 180);
    // After the image the print position is past it: 2 columns of 1/60".
    EXPECT_EQ(at(interpret("\x1bK\x02\x00\x00\x00X"), "X").first, 20);
    // ESC ^ (9-pin): nine dots, the ninth from the second byte's top bit.
    EXPECT_EQ(dots(interpret("\x1b^\x00\x01\x00\x01\x80", Pins::Nine), 60, 72),
              (std::set<std::pair<int, int>>{{0, 7}, {0, 8}}));
    // ESC . 1: run-length raster of 1/360" dots, 8 columns and 2 rows: two bytes as
    // they stand (0xF0, 0x0F); then ESC . 0 the same uncompressed.
    const std::set<std::pair<int, int>> raster = {{0, 0}, {1, 0}, {2, 0}, {3, 0},
                                                  {4, 1}, {5, 1}, {6, 1}, {7, 1}};
    EXPECT_EQ(dots(interpret("\x1b.\x01\x0a\x0a\x02\x08\x00\x01\xf0\x0f"), 360, 360), raster);
    EXPECT_EQ(dots(interpret("\x1b.\x00\x0a\x0a\x02\x08\x00\xf0\x0f"), 360, 360), raster);
    // A repeat count: 0xFE repeats the next byte three times (24 columns, 1 row).
    EXPECT_EQ(dots(interpret("\x1b.\x01\x0a\x0a\x01\x18\x00\xfe\x81"), 360, 360),
              (std::set<std::pair<int, int>>{{0, 0}, {7, 0}, {8, 0}, {15, 0}, {16, 0}, {23, 0}}));
}

TEST(EscpImages, DataCutShortEndsTheJobCleanly) {
    EXPECT_EQ(interpret("a\x1bK\xff\xff\x01\x02").letters().size(), 1u);
    EXPECT_EQ(interpret("a\x1b.\x01\x0a\x0a\x18\xff\x0f\x80").letters().size(), 1u);
}

}  // namespace
}  // namespace nx::escp
