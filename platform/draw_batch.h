// Deferred drawing for surfaces on which every paint call costs (a PDF): text runs of
// one line at one font are joined into one run where the result is the same (the gap
// between them is whole spaces over nothing drawn yet), collinear touching segments
// are merged, all pending lines go out together, and the opaque background of text
// is left out where it would only cover blank paper. Pending text and pending lines
// never overlap one another, so the order in which the two batches are painted does
// not matter; anything that would overlap is painted first.
//
// The batcher decides; a sink of the surface's own paints. It knows a font only by
// its cell metrics (CellFont) and a text by its characters (UTF-8).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace nx {

// A rectangle in device units; right and bottom are exclusive.
struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
    bool empty() const { return w <= 0 || h <= 0; }
    bool intersects(const Box& o) const;
    Box united(const Box& o) const;
    bool contains(const Box& o) const;
};

struct Segment {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// A filled area of ink: black, or grey at `percent` black.
struct Ink {
    Box box;
    int percent = 100;
};

// What batching needs to know of one character of a font.
struct CharFacts {
    bool known = false;   // measured; the others are false until then
    bool cell = false;    // its glyph is exactly one cell wide
    bool direct = false;  // a cell whose glyph the font itself holds
    std::int8_t rightBearing = 0;  // negative = overhang
    std::uint32_t glyph = 0;       // the font's glyph, where direct
};

// What batching needs to know of a font, measured by the surface: its cell, the
// ink of its glyphs beyond their cells, and the facts of every character measured.
struct CellFont {
    int advance = 0;    // the cell of every ordinary letter
    int height = 0;
    int inkLeft = 0;    // ink beyond the cell: left of x (<= 0)
    int inkRight = 0;   // right of the advance end (>= 0)
    int inkTop = 0;     // above y (<= 0)
    int inkBottom = 0;  // below y + height (>= 0)

    // Latin, the box-drawing and block characters and everything between them are
    // kept in a table; the rest by code point.
    static constexpr char32_t kTableEnd = 0x2600;

    const CharFacts& facts(char32_t c) const;
    CharFacts& factsFor(char32_t c);
    bool allCells(std::string_view text) const;
    bool allDirect(std::string_view text) const;

private:
    std::vector<CharFacts> table_ = std::vector<CharFacts>(kTableEnd);
    std::map<char32_t, CharFacts> others_;
};

// One pending text run, as the sink paints it.
struct TextBatch {
    const CellFont* font;
    int x, y, end;      // end: x + advance width so far
    std::string text;   // UTF-8, spaces of joined gaps included
    char32_t lastChar;
    Box rect;           // everything the batch may paint
    int id;
    bool joinable;      // measured as whole cells; runs measured by the shaper are not
    bool opaque;        // its background covers something; over blank paper it is skipped
    bool direct;        // every byte a cell of the font's own glyphs
};

class DrawSink {
public:
    virtual ~DrawSink() = default;
    virtual void paintTexts(const std::vector<TextBatch>& texts) = 0;
    virtual void paintLines(const std::vector<Segment>& lines) = 0;
    virtual void paintInk(const std::vector<Ink>& areas) = 0;
};

class DrawBatcher {
public:
    explicit DrawBatcher(DrawSink& sink) : sink_(sink) {}

    // A text run of `width` units at (x, y) in `font`, which outlives the batcher's
    // pending drawing.
    // Every character of `text` has been measured (CellFont::factsFor).
    void addText(const CellFont& font, int x, int y, std::string_view text, int width);
    void addLine(int x1, int y1, int x2, int y2);
    // Ink is painted with the lines: never over pending text, and never under it.
    void addInk(const Ink& area);

    void flushTexts();
    void flushLines();
    void flush() {
        flushTexts();
        flushLines();
    }
    // Drops what is pending without painting it.
    void discard();
    // What the page holds is no longer known (false), or it is blank (true).
    void forgetPage(bool blank);
    // Text over ink leaves the ink (false), or covers it with its background (true,
    // the default).
    void setOpaqueText(bool opaque) {
        flush();
        opaqueText_ = opaque;
    }

    // The rectangle a text run or a one-unit segment may paint.
    static Box textRect(const CellFont& font, int x, int y, int width);
    static Box lineRect(int x1, int y1, int x2, int y2);

private:
    struct Drawn {
        Box rect;
        int owner;  // the text batch that drew it, or -1
    };
    bool joinLast(const CellFont& font, int x, int y, std::string_view text, int width,
                  const Box& rect);
    bool mergeLine(const Segment& s);
    void dropLines();  // the pending lines and ink, unpainted
    bool touchesPendingTexts(const Box& r, std::size_t skipFrom) const;
    bool touchesPendingLines(const Box& r) const;
    bool gapIsClean(const Box& gap, int owner) const;
    void noteDrawn(const Box& r, int owner);

    DrawSink& sink_;
    int nextBatchId_ = 0;
    // Pending drawing, with the running maximum of the rectangles' bottoms, so that a
    // search finds the first item that can reach down to a given top; the items before
    // it lie wholly above. The interpreter draws downwards, so that is nearly all.
    std::vector<TextBatch> texts_;
    std::vector<int> textBottoms_;
    std::vector<Segment> lines_;
    std::vector<Ink> inks_;
    std::vector<Box> inkRects_;     // every area added, joined or not
    std::vector<int> inkBottoms_;
    std::vector<Box> lineRects_;
    std::vector<int> lineBottoms_;
    // Everything drawn on this page, for deciding whether a gap is still blank paper.
    std::vector<Drawn> drawn_;
    std::vector<int> drawnBottoms_;
    bool pageKnown_ = false;  // false: the device may hold anything (not cleared yet)
    bool opaqueText_ = true;
};

}  // namespace nx
