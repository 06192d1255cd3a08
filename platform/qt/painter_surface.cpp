#include "platform/qt/painter_surface.h"

#include <QFontMetrics>
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
constexpr std::size_t kMaxBand = 512;

bool overlaps(const QRect& a, const QRect& b) { return a.intersects(b); }

// The pixels a one-unit pen may touch for a segment, with a unit to spare.
QRect lineRect(int x1, int y1, int x2, int y2) {
    const int l = std::min(x1, x2) - 2, r = std::max(x1, x2) + 2;
    const int t = std::min(y1, y2) - 2, b = std::max(y1, y2) + 2;
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
    doneBottom_ = INT_MAX;
    bandY_ = INT_MIN;
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
            const QString ch = fromCp1250(std::string(1, static_cast<char>(b)));
            const int adv = fm.horizontalAdvance(ch);
            m.cell[static_cast<std::size_t>(b)] = adv == m.advance;
            const QRect ink = fm.boundingRect(ch);
            if (!ink.isEmpty()) {
                m.inkLeft = std::min(m.inkLeft, ink.left());
                m.inkRight = std::max(m.inkRight, ink.right() + 1 - adv);
                m.inkTop = std::min(m.inkTop, m.ascent + ink.top());
                m.inkBottom = std::max(m.inkBottom, m.ascent + ink.bottom() + 1 - m.height);
                m.rightBearing[static_cast<std::size_t>(b)] =
                    static_cast<std::int8_t>(std::clamp(adv - (ink.right() + 1), -127, 0));
            }
        }
        it = cache_.emplace(std::move(key), std::move(m)).first;
    }
    current_ = &it->second;
    return *current_;
}

bool PainterSurface::allCells(const Metrics& m, std::string_view text) {
    for (char c : text)
        if (!m.cell[static_cast<unsigned char>(c)]) return false;
    return true;
}

int PainterSurface::textWidth(std::string_view text) {
    const Metrics& m = metrics();
    if (allCells(m, text)) return static_cast<int>(text.size()) * m.advance;
    return QFontMetrics(m.font, painter_.device()).horizontalAdvance(fromCp1250(text));
}

int PainterSurface::textHeight(std::string_view) { return metrics().height; }

QRect PainterSurface::textRect(const Metrics& m, int x, int y, int width) const {
    const int l = x + m.inkLeft - 2, r = x + width + m.inkRight + 2;
    const int t = y + m.inkTop - 2, b = y + m.height + m.inkBottom + 2;
    return QRect(l, t, r - l, b - t);
}

void PainterSurface::setBatching(bool on) {
    flush();
    batching_ = on;
}

void PainterSurface::setFill(QColor fill) {
    if (fill == fill_) return;
    flush();
    fill_ = fill;
    painter_.setBackground(QBrush(fill_));
    // Blank areas of the old colour no longer look like blank to the new text.
    doneBottom_ = INT_MAX;
}

bool PainterSurface::touchesPending(const QRect& r, bool texts, bool lines) const {
    if (texts)
        for (const TextBatch& t : texts_)
            if (overlaps(t.rect, r)) return true;
    if (lines)
        for (const QRect& l : lineRects_)
            if (overlaps(l, r)) return true;
    return false;
}

void PainterSurface::foldBand() {
    for (const Drawn& d : band_) doneBottom_ = std::max(doneBottom_, d.rect.y() + d.rect.height());
    band_.clear();
}

void PainterSurface::noteDrawn(const QRect& r, int owner) {
    if (band_.size() >= kMaxBand) foldBand();
    band_.push_back(Drawn{r, owner});
}

// A gap is blank when nothing drawn on this page, other than by `owner`, reaches into it.
bool PainterSurface::gapIsClean(const QRect& gap, int owner) const {
    if (doneBottom_ == INT_MAX || gap.y() < doneBottom_) return false;
    for (const Drawn& d : band_)
        if (d.owner != owner && overlaps(d.rect, gap)) return false;
    return true;
}

void PainterSurface::drawText(int x, int y, std::string_view text) {
    if (text.empty()) return;
    const Metrics& m = metrics();
    const bool plain = allCells(m, text);
    const int width = textWidth(text);

    if (!batching_) {
        painter_.setFont(m.font);
        painter_.drawText(x, y + m.ascent, fromCp1250(text));
        ++paintCalls_;
        return;
    }

    const QRect rect = textRect(m, x, y, width);
    if (y != bandY_) {
        // A new line of text: what the previous one drew now lies above.
        foldBand();
        bandY_ = y;
    }

    // Join onto the last batch when the result is pixel for pixel the same: same font
    // and line, the gap whole spaces whose opaque background lands on blank paper, and
    // no glyph of the batch reaching into where this run's own background would go.
    // The batch's background is drawn before all of its glyphs, so its own ink in the
    // gap stays visible either way.
    if (plain && !texts_.empty()) {
        TextBatch& last = texts_.back();
        if (last.joinable && last.metrics == &m && last.y == y && x >= last.end &&
            m.advance > 0) {
            const int gap = x - last.end;
            const bool whole = gap % m.advance == 0 &&
                               gap >= -m.rightBearing[static_cast<unsigned char>(last.lastByte)];
            const bool clean = gap == 0 || gapIsClean(QRect(last.end, y, gap, m.height), last.id);
            bool alone = !touchesPending(rect, false, true);
            for (std::size_t i = 0; alone && i + 1 < texts_.size(); ++i)
                if (overlaps(texts_[i].rect, rect)) alone = false;
            if (whole && clean && alone) {
                if (gap > 0) last.text.append(QString(gap / m.advance, QLatin1Char(' ')));
                last.text.append(fromCp1250(text));
                last.end = x + width;
                last.lastByte = text.back();
                last.rect = last.rect.united(rect);
                noteDrawn(rect, last.id);
                return;
            }
        }
    }

    if (touchesPending(rect, false, true)) flushLines();
    if (touchesPending(rect, true, false) || texts_.size() >= kMaxPendingTexts) flushTexts();
    const int id = nextBatchId_++;
    texts_.push_back(TextBatch{&m, x, y, x + width, fromCp1250(text), text.back(), rect, id, plain});
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
    if (touchesPending(rect, true, false)) flushTexts();
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
                    return;
                }
            } else if (x1 == x2 && l.x1() == l.x2() && l.x1() == x1 && y1 != y2 &&
                       l.y1() != l.y2()) {
                const int a = std::min(y1, y2), b = std::max(y1, y2);
                const int c = std::min(l.y1(), l.y2()), d = std::max(l.y1(), l.y2());
                if (a <= d && c <= b) {
                    l = QLine(x1, std::min(a, c), x1, std::max(b, d));
                    lineRects_[n - 1 - k] = lineRect(l.x1(), l.y1(), l.x2(), l.y2());
                    return;
                }
            }
        }
    }
    if (lines_.size() >= kMaxPendingLines) flushLines();
    lines_.emplace_back(x1, y1, x2, y2);
    lineRects_.push_back(rect);
}

void PainterSurface::fillRect(int x1, int y1, int x2, int y2) {
    flush();
    const QRect r(x1, y1, x2 - x1, y2 - y1);
    painter_.fillRect(r, fill_);
    ++paintCalls_;
    const QPaintDevice* dev = painter_.device();
    if (dev && r.contains(QRect(0, 0, dev->width(), dev->height()))) {
        // The whole device is blank now.
        doneBottom_ = INT_MIN;
        band_.clear();
        bandY_ = INT_MIN;
    }
}

void PainterSurface::flushTexts() {
    const QFont* set = nullptr;
    for (const TextBatch& t : texts_) {
        if (set != &t.metrics->font) {
            painter_.setFont(t.metrics->font);
            set = &t.metrics->font;
        }
        painter_.drawText(t.x, t.y + t.metrics->ascent, t.text);
        ++paintCalls_;
    }
    texts_.clear();
}

void PainterSurface::flushLines() {
    if (!lines_.empty()) {
        painter_.drawLines(lines_.data(), static_cast<int>(lines_.size()));
        ++paintCalls_;
    }
    lines_.clear();
    lineRects_.clear();
}

void PainterSurface::flush() {
    flushTexts();
    flushLines();
}

void PainterSurface::discard() {
    texts_.clear();
    lines_.clear();
    lineRects_.clear();
}

void PainterSurface::beginPage() {
    flush();
    doneBottom_ = INT_MIN;
    band_.clear();
    bandY_ = INT_MIN;
}

}  // namespace nx::qt
