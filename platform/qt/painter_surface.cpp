#include "platform/qt/painter_surface.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/qt/codec.h"

namespace nx::qt {
namespace {

// Pixel sizes beyond this make the font engine allocate without measure; no job
// needs more than a few inches of letter height.
constexpr int kMaxPixelSize = 4096;
// Limits on what is kept pending before it is drawn anyway.
constexpr std::size_t kMaxPendingTexts = 64;
constexpr std::size_t kMaxPendingLines = 4096;
constexpr std::size_t kMaxDrawn = 1 << 20;
// Spaces drawn to join two runs: beyond this a second drawText is cheaper in a PDF,
// where every glyph is written out.
constexpr int kMaxJoinSpaces = 8;

bool overlaps(const QRect& a, const QRect& b) { return a.intersects(b); }

// The text as drawn: every byte one character of one cell. Code page 1250's soft
// hyphen (0xAD) is invisible and has no width in Unicode; a fixed-pitch printer
// font draws it as a hyphen in its cell, so it is drawn as one. It is the only byte
// of 32 to 255 whose character text shaping would hide or join with another (the
// bytes without a character, 0x7F, 0x81, 0x83, 0x88, 0x90 and 0x98, keep a cell).
QString drawnText(std::string_view bytes) {
    QString text = fromCp1250(bytes);
    text.replace(QChar(0x00AD), QLatin1Char('-'));
    return text;
}

// The pixels a one-unit pen may touch for a segment: its square caps reach half a
// unit beyond the ends; one unit is kept on every side.
QRect lineRect(int x1, int y1, int x2, int y2) {
    const int l = std::min(x1, x2) - 1, r = std::max(x1, x2) + 2;
    const int t = std::min(y1, y2) - 1, b = std::max(y1, y2) + 2;
    return QRect(l, t, r - l, b - t);
}

}  // namespace

PainterSurface::PainterSurface(QPainter& painter, int dpiY, QColor fill)
    : painter_(painter), dpiY_(dpiY > 0 ? dpiY : 96), fill_(fill) {
    QPen pen(Qt::black);
    pen.setWidth(1);
    painter_.setPen(pen);
    painter_.setBackground(QBrush(fill_));
    painter_.setBackgroundMode(Qt::OpaqueMode);
    // What the device held before is unknown until a full fill or a new page.
}

PainterSurface::~PainterSurface() {
    if (painter_.isActive()) flush();
}

int PainterSurface::pixelSize(int points) const {
    const long long px = std::llround(static_cast<double>(points) * dpiY_ / 72.0);
    return static_cast<int>(std::clamp<long long>(px, 1, kMaxPixelSize));
}

void PainterSurface::setFontFace(std::string_view face) {
    if (face_ != face) {
        face_ = std::string(face);
        current_ = nullptr;
    }
}

void PainterSurface::setFontSize(int points) {
    if (points_ != points) {
        points_ = points;
        current_ = nullptr;
    }
}

void PainterSurface::setBold(bool bold) {
    if (bold_ != bold) {
        bold_ = bold;
        current_ = nullptr;
    }
}

const PainterSurface::Metrics& PainterSurface::metrics() {
    if (current_) return *current_;
    const int px = pixelSize(points_);
    auto key = std::make_tuple(face_, px, bold_);
    auto it = cache_.find(key);
    if (it == cache_.end()) {
        Metrics m;
        m.font = QFont(QString::fromLatin1(face_.data(), static_cast<qsizetype>(face_.size())));
        m.font.setPixelSize(px);
        m.font.setBold(bold_);
        m.font.setHintingPreference(QFont::PreferFullHinting);
        m.font.setKerning(false);
        const QFontMetrics fm(m.font, painter_.device());
        m.wWidth = fm.horizontalAdvance(QStringLiteral("W"));
        m.height = fm.height();
        m.ascent = fm.ascent();
        m.advance = m.wWidth;
        for (int b = 32; b < 256; ++b) {
            const QString ch = drawnText(std::string(1, static_cast<char>(b)));
            const int adv = fm.horizontalAdvance(ch);
            m.cell[static_cast<std::size_t>(b)] = adv == m.advance;
            // The glyph's own ink, which may reach beyond its cell.
            const QRect ink = ch.size() == 1 ? fm.boundingRect(ch.at(0)) : fm.boundingRect(ch);
            if (!ink.isEmpty()) {
                m.inkLeft = std::min(m.inkLeft, ink.left());
                m.inkRight = std::max(m.inkRight, ink.right() + 1 - adv);
                m.inkTop = std::min(m.inkTop, m.ascent + ink.top());
                m.inkBottom = std::max(m.inkBottom, m.ascent + ink.bottom() + 1 - m.height);
                m.rightBearing[static_cast<std::size_t>(b)] =
                    static_cast<std::int8_t>(std::clamp(adv - (ink.right() + 1), -127, 0));
            }
        }
        m.raw = QRawFont::fromFont(m.font);
        if (m.raw.isValid()) {
            for (int b = 32; b < 256; ++b) {
                const QString ch = drawnText(std::string(1, static_cast<char>(b)));
                const auto ids = m.raw.glyphIndexesForString(ch);
                const auto i = static_cast<std::size_t>(b);
                if (m.cell[i] && ch.size() == 1 && m.raw.supportsCharacter(ch.at(0)) && ids.size() == 1 &&
                    ids.front() != 0) {
                    m.glyph[i] = ids.front();
                    m.direct[i] = true;
                }
            }
        }
        it = cache_.emplace(std::move(key), std::move(m)).first;
    }
    current_ = &it->second;
    return *current_;
}

bool PainterSurface::allDirect(const Metrics& m, std::string_view text) {
    for (char c : text)
        if (!m.direct[static_cast<unsigned char>(c)]) return false;
    return true;
}

bool PainterSurface::allCells(const Metrics& m, std::string_view text) {
    for (char c : text)
        if (!m.cell[static_cast<unsigned char>(c)]) return false;
    return true;
}

int PainterSurface::textWidth(std::string_view text) {
    const Metrics& m = metrics();
    if (allCells(m, text)) return static_cast<int>(text.size()) * m.advance;
    return QFontMetrics(m.font, painter_.device()).horizontalAdvance(drawnText(text));
}

int PainterSurface::textHeight(std::string_view) { return metrics().height; }

// The opaque background and the ink of a run, with one unit to spare for the
// background's fractional edges and for antialiasing.
QRect PainterSurface::textRect(const Metrics& m, int x, int y, int width) const {
    const int l = x + m.inkLeft - 1, r = x + width + m.inkRight + 1;
    const int t = y + m.inkTop - 1, b = y + m.height + m.inkBottom + 1;
    return QRect(l, t, r - l, b - t);
}

void PainterSurface::setBatching(bool on) {
    flush();
    batching_ = on;
    // The PDF engine strokes lines as such only once it has seen the pen set; without
    // that it fills their outlines, which draws the same but less crisply.
    painter_.setPen(Qt::NoPen);
    painter_.setPen(QPen(Qt::black, 1));
}

void PainterSurface::setFill(QColor fill) {
    if (fill == fill_) return;
    flush();
    fill_ = fill;
    painter_.setBackground(QBrush(fill_));
    // Blank areas of the old colour no longer count as blank.
    forgetPage(false);
}

std::size_t PainterSurface::firstReaching(const std::vector<int>& bottoms, int top) {
    // Bottoms are exclusive: an item whose bottom is at most `top` lies above it.
    return static_cast<std::size_t>(std::upper_bound(bottoms.begin(), bottoms.end(), top) -
                                    bottoms.begin());
}

namespace {
void pushBottom(std::vector<int>& bottoms, const QRect& r) {
    const int b = r.y() + r.height();
    bottoms.push_back(bottoms.empty() ? b : std::max(bottoms.back(), b));
}
// After item `from` changed, the running maxima from there on.
void redoBottoms(std::vector<int>& bottoms, std::size_t from, const std::vector<QRect>& rects) {
    for (std::size_t i = from; i < rects.size(); ++i) {
        const int b = rects[i].y() + rects[i].height();
        bottoms[i] = i == 0 ? b : std::max(bottoms[i - 1], b);
    }
}
}  // namespace

// Pending texts other than those from `skipFrom` on.
bool PainterSurface::touchesPendingTexts(const QRect& r, std::size_t skipFrom) const {
    const std::size_t end = std::min(skipFrom, texts_.size());
    for (std::size_t i = firstReaching(textBottoms_, r.y()); i < end; ++i)
        if (overlaps(texts_[i].rect, r)) return true;
    return false;
}

bool PainterSurface::touchesPendingLines(const QRect& r) const {
    for (std::size_t i = firstReaching(lineBottoms_, r.y()); i < lineRects_.size(); ++i)
        if (overlaps(lineRects_[i], r)) return true;
    return false;
}

void PainterSurface::noteDrawn(const QRect& r, int owner) {
    if (!pageKnown_) return;
    if (drawn_.size() >= kMaxDrawn) {
        forgetPage(false);
        return;
    }
    drawn_.push_back(Drawn{r, owner});
    const int b = r.y() + r.height();
    drawnBottoms_.push_back(drawnBottoms_.empty() ? b : std::max(drawnBottoms_.back(), b));
}

void PainterSurface::forgetPage(bool blank) {
    drawn_.clear();
    drawnBottoms_.clear();
    pageKnown_ = blank;
}

// A gap is blank when nothing drawn on this page, other than by `owner`, reaches into it.
bool PainterSurface::gapIsClean(const QRect& gap, int owner) const {
    if (!pageKnown_) return false;
    for (std::size_t i = firstReaching(drawnBottoms_, gap.y()); i < drawn_.size(); ++i)
        if (drawn_[i].owner != owner && overlaps(drawn_[i].rect, gap)) return false;
    return true;
}

void PainterSurface::drawText(int x, int y, std::string_view text) {
    if (text.empty()) return;
    const Metrics& m = metrics();
    const bool plain = allCells(m, text);
    const int width = textWidth(text);

    if (!batching_) {
        painter_.setFont(m.font);
        painter_.drawText(x, y + m.ascent, drawnText(text));
        ++paintCalls_;
        return;
    }

    const QRect rect = textRect(m, x, y, width);
    // Join onto the last batch when the result is pixel for pixel the same: same font
    // and line, the gap whole spaces whose opaque background lands on blank paper, and
    // no glyph of the batch reaching into where this run's own background would go.
    // The batch's background is drawn before all of its glyphs, so its own ink in the
    // gap stays visible either way.
    if (plain && !texts_.empty()) {
        TextBatch& last = texts_.back();
        if (last.joinable && last.metrics == &m && last.y == y && x >= last.end && m.advance > 0) {
            const int gap = x - last.end;
            const bool whole = gap % m.advance == 0 && gap / m.advance <= kMaxJoinSpaces &&
                               gap >= -m.rightBearing[static_cast<unsigned char>(last.lastByte)];
            if (whole && (gap == 0 || gapIsClean(QRect(last.end, y, gap, m.height), last.id)) &&
                !touchesPendingLines(rect) && !touchesPendingTexts(rect, texts_.size() - 1)) {
                if (gap > 0) {
                    last.text.append(QString(gap / m.advance, QLatin1Char(' ')));
                    last.bytes.append(static_cast<std::size_t>(gap / m.advance), ' ');
                }
                last.text.append(drawnText(text));
                last.bytes.append(text);
                last.direct = last.direct && m.direct[' '] && allDirect(m, text);
                last.end = x + width;
                last.lastByte = text.back();
                last.rect = last.rect.united(rect);
                last.opaque = last.opaque || !gapIsClean(rect, last.id);
                const int b = last.rect.y() + last.rect.height();
                textBottoms_.back() =
                    textBottoms_.size() > 1 ? std::max(textBottoms_[textBottoms_.size() - 2], b) : b;
                noteDrawn(rect, last.id);
                return;
            }
        }
    }

    if (touchesPendingLines(rect)) flushLines();
    if (texts_.size() >= kMaxPendingTexts || touchesPendingTexts(rect, texts_.size())) flushTexts();
    const int id = nextBatchId_++;
    texts_.push_back(TextBatch{&m, x, y, x + width, drawnText(text), std::string(text), text.back(), rect,
                               id, plain, !gapIsClean(rect, id), plain && allDirect(m, text)});
    pushBottom(textBottoms_, rect);
    noteDrawn(rect, id);
}

void PainterSurface::moveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void PainterSurface::lineTo(int x, int y) {
    addLine(penX_, penY_, x, y);
    penX_ = x;
    penY_ = y;
}

void PainterSurface::addLine(int x1, int y1, int x2, int y2) {
    if (!batching_) {
        painter_.drawLine(x1, y1, x2, y2);
        ++paintCalls_;
        return;
    }
    const QRect rect = lineRect(x1, y1, x2, y2);
    if (touchesPendingTexts(rect, texts_.size())) flushTexts();
    noteDrawn(rect, -1);

    // Merge with a recent collinear segment that it touches or overlaps.
    if (y1 == y2 || x1 == x2) {
        const std::size_t n = lines_.size();
        for (std::size_t k = 0; k < std::min<std::size_t>(n, 4); ++k) {
            QLine& l = lines_[n - 1 - k];
            if (y1 == y2 && l.y1() == l.y2() && l.y1() == y1) {
                const int a = std::min(x1, x2), b = std::max(x1, x2);
                const int c = std::min(l.x1(), l.x2()), d = std::max(l.x1(), l.x2());
                if (a <= d && c <= b) {
                    l = QLine(std::min(a, c), y1, std::max(b, d), y1);
                    lineRects_[n - 1 - k] = lineRect(l.x1(), l.y1(), l.x2(), l.y2());
                    redoBottoms(lineBottoms_, n - 1 - k, lineRects_);
                    return;
                }
            } else if (x1 == x2 && l.x1() == l.x2() && l.x1() == x1 && y1 != y2 &&
                       l.y1() != l.y2()) {
                const int a = std::min(y1, y2), b = std::max(y1, y2);
                const int c = std::min(l.y1(), l.y2()), d = std::max(l.y1(), l.y2());
                if (a <= d && c <= b) {
                    l = QLine(x1, std::min(a, c), x1, std::max(b, d));
                    lineRects_[n - 1 - k] = lineRect(l.x1(), l.y1(), l.x2(), l.y2());
                    redoBottoms(lineBottoms_, n - 1 - k, lineRects_);
                    return;
                }
            }
        }
    }
    if (lines_.size() >= kMaxPendingLines) flushLines();
    lines_.emplace_back(x1, y1, x2, y2);
    lineRects_.push_back(rect);
    pushBottom(lineBottoms_, rect);
}

void PainterSurface::fillRect(int x1, int y1, int x2, int y2) {
    flush();
    const QRect r(x1, y1, x2 - x1, y2 - y1);
    painter_.fillRect(r, fill_);
    ++paintCalls_;
    const QPaintDevice* dev = painter_.device();
    // Covering the whole device leaves it blank.
    if (dev && r.contains(QRect(0, 0, dev->width(), dev->height()))) forgetPage(true);
}

void PainterSurface::flushTexts() {
    const QFont* set = nullptr;
    for (const TextBatch& t : texts_) {
        const Qt::BGMode mode = t.opaque ? Qt::OpaqueMode : Qt::TransparentMode;
        if (painter_.backgroundMode() != mode) painter_.setBackgroundMode(mode);
        if (set != &t.metrics->font) {
            painter_.setFont(t.metrics->font);
            set = &t.metrics->font;
        }
        if (t.direct && !t.opaque) {
            // The glyphs that drawText would shape, at the same whole-unit positions.
            const Metrics& m = *t.metrics;
            glyphs_.clear();
            positions_.clear();
            const double baseline = t.y + m.ascent;
            for (std::size_t k = 0; k < t.bytes.size(); ++k) {
                glyphs_.push_back(m.glyph[static_cast<unsigned char>(t.bytes[k])]);
                positions_.emplace_back(t.x + static_cast<double>(k) * m.advance, baseline);
            }
            QGlyphRun run;
            run.setRawFont(m.raw);
            run.setGlyphIndexes(glyphs_);
            run.setPositions(positions_);
            painter_.drawGlyphRun(QPointF(0, 0), run);
        } else {
            painter_.drawText(t.x, t.y + t.metrics->ascent, t.text);
        }
        ++paintCalls_;
    }
    // The painter is left as the surface set it up.
    if (painter_.backgroundMode() != Qt::OpaqueMode) painter_.setBackgroundMode(Qt::OpaqueMode);
    texts_.clear();
    textBottoms_.clear();
}

void PainterSurface::flushLines() {
    if (!lines_.empty()) {
        painter_.setPen(Qt::NoPen);
        painter_.setPen(QPen(Qt::black, 1));
        painter_.drawLines(lines_.data(), static_cast<int>(lines_.size()));
        ++paintCalls_;
    }
    lines_.clear();
    lineRects_.clear();
    lineBottoms_.clear();
}

void PainterSurface::flush() {
    flushTexts();
    flushLines();
}

void PainterSurface::discard() {
    texts_.clear();
    textBottoms_.clear();
    lines_.clear();
    lineRects_.clear();
    lineBottoms_.clear();
}

void PainterSurface::beginPage() {
    flush();
    forgetPage(true);
}

}  // namespace nx::qt
