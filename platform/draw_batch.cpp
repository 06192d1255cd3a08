#include "platform/draw_batch.h"

#include <algorithm>

#include "platform/utf8.h"

namespace nx {
namespace {

// Limits on what is kept pending before it is painted anyway.
constexpr std::size_t kMaxPendingTexts = 64;
constexpr std::size_t kMaxPendingLines = 4096;
constexpr std::size_t kMaxDrawn = 1 << 20;
// Spaces drawn to join two runs: beyond this a second run is cheaper in a PDF, where
// every glyph is written out.
constexpr int kMaxJoinSpaces = 8;
// Merging looks this far back among the pending segments.
constexpr std::size_t kMergeReach = 4;

// Index of the first item whose running bottom maximum passes `top`. Bottoms are
// exclusive: an item whose bottom is at most `top` lies above it.
std::size_t firstReaching(const std::vector<int>& bottoms, int top) {
    return static_cast<std::size_t>(std::upper_bound(bottoms.begin(), bottoms.end(), top) -
                                    bottoms.begin());
}

void pushBottom(std::vector<int>& bottoms, const Box& r) {
    bottoms.push_back(bottoms.empty() ? r.bottom() : std::max(bottoms.back(), r.bottom()));
}

// After item `from` changed, the running maxima from there on.
void redoBottoms(std::vector<int>& bottoms, std::size_t from, const std::vector<Box>& rects) {
    for (std::size_t i = from; i < rects.size(); ++i)
        bottoms[i] = i == 0 ? rects[i].bottom() : std::max(bottoms[i - 1], rects[i].bottom());
}

char32_t lastCodePoint(std::string_view text) {
    char32_t last = 0;
    forEachCodePoint(text, [&last](char32_t c) { last = c; });
    return last;
}

// The span [a, b] of one axis and whether it meets [c, d]; the union when it does.
bool meets(int a1, int a2, int b1, int b2, int& lo, int& hi) {
    const int a = std::min(a1, a2), b = std::max(a1, a2);
    const int c = std::min(b1, b2), d = std::max(b1, b2);
    if (a > d || c > b) return false;
    lo = std::min(a, c);
    hi = std::max(b, d);
    return true;
}

}  // namespace

bool Box::intersects(const Box& o) const {
    return !empty() && !o.empty() && x < o.right() && o.x < right() && y < o.bottom() &&
           o.y < bottom();
}

Box Box::united(const Box& o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    const int l = std::min(x, o.x), t = std::min(y, o.y);
    return {l, t, std::max(right(), o.right()) - l, std::max(bottom(), o.bottom()) - t};
}

bool Box::contains(const Box& o) const {
    return !empty() && !o.empty() && x <= o.x && y <= o.y && o.right() <= right() &&
           o.bottom() <= bottom();
}

const CharFacts& CellFont::facts(char32_t c) const {
    static const CharFacts unknown;
    if (c < kTableEnd) return table_[c];
    const auto it = others_.find(c);
    return it == others_.end() ? unknown : it->second;
}

CharFacts& CellFont::factsFor(char32_t c) { return c < kTableEnd ? table_[c] : others_[c]; }

bool CellFont::allCells(std::string_view text) const {
    bool all = true;
    forEachCodePoint(text, [&](char32_t c) { all = all && facts(c).cell; });
    return all;
}

bool CellFont::allDirect(std::string_view text) const {
    bool all = true;
    forEachCodePoint(text, [&](char32_t c) { all = all && facts(c).direct; });
    return all;
}

// The opaque background and the ink of a run, with one unit to spare for the
// background's fractional edges and for antialiasing.
Box DrawBatcher::textRect(const CellFont& f, int x, int y, int width) {
    const int l = x + f.inkLeft - 1, r = x + width + f.inkRight + 1;
    const int t = y + f.inkTop - 1, b = y + f.height + f.inkBottom + 1;
    return {l, t, r - l, b - t};
}

// The pixels a one-unit pen may touch for a segment: its square caps reach half a
// unit beyond the ends; one unit is kept on every side.
Box DrawBatcher::lineRect(int x1, int y1, int x2, int y2) {
    const int l = std::min(x1, x2) - 1, r = std::max(x1, x2) + 2;
    const int t = std::min(y1, y2) - 1, b = std::max(y1, y2) + 2;
    return {l, t, r - l, b - t};
}

// Pending texts other than those from `skipFrom` on.
bool DrawBatcher::touchesPendingTexts(const Box& r, std::size_t skipFrom) const {
    const std::size_t end = std::min(skipFrom, texts_.size());
    for (std::size_t i = firstReaching(textBottoms_, r.y); i < end; ++i)
        if (texts_[i].rect.intersects(r)) return true;
    return false;
}

bool DrawBatcher::touchesPendingLines(const Box& r) const {
    for (std::size_t i = firstReaching(lineBottoms_, r.y); i < lineRects_.size(); ++i)
        if (lineRects_[i].intersects(r)) return true;
    for (std::size_t i = firstReaching(inkBottoms_, r.y); i < inkRects_.size(); ++i)
        if (inkRects_[i].intersects(r)) return true;
    return false;
}

void DrawBatcher::noteDrawn(const Box& r, int owner) {
    if (!pageKnown_) return;
    if (drawn_.size() >= kMaxDrawn) {
        forgetPage(false);
        return;
    }
    drawn_.push_back(Drawn{r, owner});
    pushBottom(drawnBottoms_, r);
}

void DrawBatcher::forgetPage(bool blank) {
    drawn_.clear();
    drawnBottoms_.clear();
    pageKnown_ = blank;
}

// A gap is blank when nothing drawn on this page, other than by `owner`, reaches into it.
bool DrawBatcher::gapIsClean(const Box& gap, int owner) const {
    if (!pageKnown_) return false;
    for (std::size_t i = firstReaching(drawnBottoms_, gap.y); i < drawn_.size(); ++i)
        if (drawn_[i].owner != owner && drawn_[i].rect.intersects(gap)) return false;
    return true;
}

// Joins the run onto the last batch when the result is pixel for pixel the same: same
// font and line, the gap whole spaces whose opaque background lands on blank paper,
// and no glyph of the batch reaching into where this run's own background would go.
// The batch's background is painted before all of its glyphs, so its own ink in the
// gap stays visible either way.
bool DrawBatcher::joinLast(const CellFont& f, int x, int y, std::string_view text, int width,
                           const Box& rect) {
    if (texts_.empty()) return false;
    TextBatch& last = texts_.back();
    if (!last.joinable || last.font != &f || last.y != y || x < last.end || f.advance <= 0)
        return false;
    const int gap = x - last.end;
    const bool whole = gap % f.advance == 0 && gap / f.advance <= kMaxJoinSpaces &&
                       gap >= -f.facts(last.lastChar).rightBearing;
    if (!whole || (gap > 0 && opaqueText_ && !gapIsClean(Box{last.end, y, gap, f.height}, last.id)) ||
        touchesPendingLines(rect) || touchesPendingTexts(rect, texts_.size() - 1))
        return false;
    if (gap > 0) last.text.append(static_cast<std::size_t>(gap / f.advance), ' ');
    last.text.append(text);
    last.direct = last.direct && f.facts(U' ').direct && f.allDirect(text);
    last.end = x + width;
    last.lastChar = lastCodePoint(text);
    last.rect = last.rect.united(rect);
    last.opaque = last.opaque || (opaqueText_ && !gapIsClean(rect, last.id));
    const int b = last.rect.bottom();
    textBottoms_.back() =
        textBottoms_.size() > 1 ? std::max(textBottoms_[textBottoms_.size() - 2], b) : b;
    noteDrawn(rect, last.id);
    return true;
}

void DrawBatcher::addText(const CellFont& f, int x, int y, std::string_view text, int width) {
    if (text.empty()) return;
    const bool plain = f.allCells(text);
    const Box rect = textRect(f, x, y, width);
    if (plain && joinLast(f, x, y, text, width, rect)) return;

    if (touchesPendingLines(rect)) flushLines();
    if (texts_.size() >= kMaxPendingTexts || touchesPendingTexts(rect, texts_.size())) flushTexts();
    const int id = nextBatchId_++;
    texts_.push_back(TextBatch{&f, x, y, x + width, std::string(text), lastCodePoint(text), rect,
                               id, plain, opaqueText_ && !gapIsClean(rect, id),
                               plain && f.allDirect(text)});
    pushBottom(textBottoms_, rect);
    noteDrawn(rect, id);
}

// Merges a horizontal or vertical segment into a recent collinear one that it
// touches or overlaps.
bool DrawBatcher::mergeLine(const Segment& s) {
    const bool horizontal = s.y1 == s.y2;
    const bool vertical = s.x1 == s.x2 && s.y1 != s.y2;
    if (!horizontal && !vertical) return false;
    const std::size_t n = lines_.size();
    for (std::size_t k = 0; k < std::min(n, kMergeReach); ++k) {
        Segment& l = lines_[n - 1 - k];
        int lo = 0, hi = 0;
        if (horizontal && l.y1 == l.y2 && l.y1 == s.y1 && meets(s.x1, s.x2, l.x1, l.x2, lo, hi)) {
            l = Segment{lo, s.y1, hi, s.y1};
        } else if (vertical && l.x1 == l.x2 && l.x1 == s.x1 && l.y1 != l.y2 &&
                   meets(s.y1, s.y2, l.y1, l.y2, lo, hi)) {
            l = Segment{s.x1, lo, s.x1, hi};
        } else {
            continue;
        }
        lineRects_[n - 1 - k] = lineRect(l.x1, l.y1, l.x2, l.y2);
        redoBottoms(lineBottoms_, n - 1 - k, lineRects_);
        return true;
    }
    return false;
}

void DrawBatcher::addLine(int x1, int y1, int x2, int y2) {
    const Box rect = lineRect(x1, y1, x2, y2);
    if (touchesPendingTexts(rect, texts_.size())) flushTexts();
    noteDrawn(rect, -1);
    if (mergeLine(Segment{x1, y1, x2, y2})) return;
    if (lines_.size() >= kMaxPendingLines) flushLines();
    lines_.push_back(Segment{x1, y1, x2, y2});
    lineRects_.push_back(rect);
    pushBottom(lineBottoms_, rect);
}

void DrawBatcher::addInk(const Ink& area) {
    if (area.box.empty()) return;
    if (touchesPendingTexts(area.box, texts_.size())) flushTexts();
    noteDrawn(area.box, -1);
    // Runs of dots side by side on one row join into one area.
    if (!inks_.empty()) {
        Ink& last = inks_.back();
        if (last.percent == area.percent && last.box.y == area.box.y && last.box.h == area.box.h &&
            last.box.right() == area.box.x) {
            last.box.w += area.box.w;
            inkRects_.push_back(area.box);
            pushBottom(inkBottoms_, area.box);
            return;
        }
    }
    if (inks_.size() + lines_.size() >= kMaxPendingLines) flushLines();
    inks_.push_back(area);
    inkRects_.push_back(area.box);
    pushBottom(inkBottoms_, area.box);
}

void DrawBatcher::flushTexts() {
    if (!texts_.empty()) sink_.paintTexts(texts_);
    texts_.clear();
    textBottoms_.clear();
}

void DrawBatcher::flushLines() {
    // Ink first: a grey area never lightens a line drawn over it.
    if (!inks_.empty()) sink_.paintInk(inks_);
    if (!lines_.empty()) sink_.paintLines(lines_);
    dropLines();
}

void DrawBatcher::dropLines() {
    lines_.clear();
    inks_.clear();
    lineRects_.clear();
    lineBottoms_.clear();
    inkRects_.clear();
    inkBottoms_.clear();
}

void DrawBatcher::discard() {
    texts_.clear();
    textBottoms_.clear();
    dropLines();
}

}  // namespace nx
