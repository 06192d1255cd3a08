// The drawing surface on a QPainter: the preview image (screen dpi) or the pages of a
// QPrinter (printer dpi).
//
// Fonts are requested by face name with a pixel size of round(points * dpiY / 72) and
// full hinting, so that every advance is a whole device unit as on the printers the
// host programs were made for. Metrics are cached per font state. Text is drawn
// opaque on the fill colour with black ink; lines use a black pen one device unit wide.
//
// Every paint call costs a fixed amount in a PDF, so the surface defers its drawing:
// text runs of one line at one font are joined into one drawText where the result is
// the same (the gap between them is whole spaces over nothing drawn yet), collinear
// touching segments are merged, all pending lines go out in one drawLines, and the
// opaque background of text is left out where it would only cover blank paper. Pending
// text and pending lines never overlap one another, so the order in which the two
// batches are drawn does not matter; anything that would overlap flushes first.
// Call flush() before the painter's device is read or the painter ends, and
// beginPage() after the device has turned to a new page.
#pragma once

#include <QColor>
#include <QFont>
#include <QLine>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/surface.h"

class QPainter;

namespace nx::qt {

class PainterSurface : public nx::Surface {
public:
    // `painter` must be active. The surface sets the painter's pen, background and
    // background mode; `fill` is the fill colour for fillRect and behind text.
    PainterSurface(QPainter& painter, int dpiY, QColor fill);
    ~PainterSurface() override;
    PainterSurface(const PainterSurface&) = delete;
    PainterSurface& operator=(const PainterSurface&) = delete;

    void setFontFace(std::string_view face) override;
    void setFontSize(int points) override;
    int fontSize() const override { return points_; }
    void setBold(bool bold) override;
    bool bold() const override { return bold_; }

    int textWidth(std::string_view text) override;
    int textHeight(std::string_view text) override;

    void drawText(int x, int y, std::string_view text) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void fillRect(int x1, int y1, int x2, int y2) override;

    // Draws everything pending.
    void flush();
    // Flushes, then forgets what the previous page held.
    void beginPage();
    // Drops what is pending without drawing it (an abandoned job).
    void discard();

    void setFill(QColor fill);
    QColor fill() const { return fill_; }
    int dpiY() const { return dpiY_; }
    // The device pixel size that `points` is requested with.
    int pixelSize(int points) const;

    // Paint calls made on the painter so far (drawText, drawLines, fillRect).
    std::int64_t paintCalls() const { return paintCalls_; }
    // Batching can be switched off to compare its output with the plain drawing.
    void setBatching(bool on);

private:
    struct Metrics {
        QFont font;
        int advance = 0;      // width of "W": the cell of every ordinary letter
        std::array<bool, 256> cell{};  // the byte's glyph is exactly one cell wide
        int wWidth = 0;
        int height = 0;
        int ascent = 0;
        int inkLeft = 0;      // ink beyond the cell: left of x (<= 0)
        int inkRight = 0;     // right of the advance end (>= 0)
        int inkTop = 0;       // above y (<= 0)
        int inkBottom = 0;    // below y + height (>= 0)
        std::array<std::int8_t, 256> rightBearing{};  // per byte, negative = overhang
        // The font's own glyphs, for drawing cell runs without shaping them again.
        QRawFont raw;
        std::array<quint32, 256> glyph{};
        std::array<bool, 256> direct{};  // a cell whose glyph the font itself holds
    };
    struct TextBatch {
        const Metrics* metrics;
        int x, y, end;  // end: x + advance width so far
        QString text;
        std::string bytes;  // the same text in code page 1250, spaces included
        char lastByte;
        QRect rect;     // everything the batch may paint
        int id;
        bool joinable;  // measured as whole cells; runs measured by the shaper are not
        bool opaque;    // its background covers something; over blank paper it is skipped
        bool direct;    // every byte a cell of the font's own glyphs
    };
    struct Drawn {
        QRect rect;
        int owner;      // the text batch that drew it, or -1
    };
    // Index of the first item whose running bottom maximum passes `top`.
    static std::size_t firstReaching(const std::vector<int>& bottoms, int top);

    const Metrics& metrics();
    static bool allCells(const Metrics& m, std::string_view text);
    static bool allDirect(const Metrics& m, std::string_view text);
    QRect textRect(const Metrics& m, int x, int y, int width) const;
    bool touchesPendingTexts(const QRect& r, std::size_t skipFrom) const;
    bool touchesPendingLines(const QRect& r) const;
    bool gapIsClean(const QRect& gap, int owner) const;
    void noteDrawn(const QRect& r, int owner);
    void forgetPage(bool blank);
    void flushTexts();
    void flushLines();
    void addLine(int x1, int y1, int x2, int y2);

    QPainter& painter_;
    int dpiY_;
    QColor fill_;
    std::string face_ = "Courier New";
    int points_ = 0;
    bool bold_ = false;
    const Metrics* current_ = nullptr;
    std::map<std::tuple<std::string, int, bool>, Metrics> cache_;

    int penX_ = 0, penY_ = 0;
    bool batching_ = true;
    int nextBatchId_ = 0;
    // Pending drawing, with the running maximum of the rectangles' bottoms, so that a
    // search finds the first item that can reach down to a given top; the items before
    // it lie wholly above. The interpreter draws downwards, so that is nearly all.
    std::vector<TextBatch> texts_;
    std::vector<int> textBottoms_;
    std::vector<QLine> lines_;
    std::vector<QRect> lineRects_;
    std::vector<int> lineBottoms_;
    // Everything drawn on this page, for deciding whether a gap is still blank paper.
    std::vector<Drawn> drawn_;
    std::vector<int> drawnBottoms_;
    bool pageKnown_ = false;
    QList<quint32> glyphs_;
    QList<QPointF> positions_;  // false: the device may hold anything (not cleared yet)
    std::int64_t paintCalls_ = 0;
};

}  // namespace nx::qt
