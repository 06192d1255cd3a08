// The drawing surface on a QPainter: the preview image (screen dpi) or the pages of a
// QPrinter (printer dpi).
//
// Fonts are requested by face name with a pixel size of round(points * dpiY / 72) and
// full hinting, so that every advance is a whole device unit as on the printers the
// host programs were made for. Metrics are cached per font state. Text is drawn
// opaque on the fill colour with black ink; lines use a black pen one device unit wide.
//
// Every paint call costs a fixed amount in a PDF, so the surface defers its drawing
// through a DrawBatcher (platform/draw_batch.h), which decides what is joined and
// when; this class measures, and paints what the batcher hands back. Call flush()
// before the painter's device is read or the painter ends, and beginPage() after the
// device has turned to a new page.
#pragma once

#include <QColor>
#include <QFont>
#include <QLine>
#include <QRect>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/draw_batch.h"
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

    // True once a face was asked for that neither the system nor any fixed-pitch face
    // it has can draw the letters with (no scalable font with accented letters): what
    // was drawn shows no text.
    bool lacksFont() const { return lacksFont_; }

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
    void setItalic(bool italic) override;
    void setFontStretch(int percent) override;
    void fillInk(int x1, int y1, int x2, int y2, int percent) override;
    void setTransparentText(bool transparent) override;
    void drawBackground(std::string_view file, int page) override;
    // Where the whole sheet lies in device units (a printer draws from its printable
    // corner, so the sheet begins above and left of it); the device's own rectangle
    // when never set.
    void setSheetRect(QRect sheet) { sheet_ = sheet; }

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
    struct Metrics : CellFont {
        QFont font;
        int wWidth = 0;
        int ascent = 0;
        // The font's own glyphs, for drawing cell runs without shaping them again.
        QRawFont raw;
    };
    // Paints what the batcher hands over.
    class Painting final : public DrawSink {
    public:
        explicit Painting(PainterSurface& surface) : surface_(surface) {}
        void paintTexts(const std::vector<TextBatch>& texts) override;
        void paintLines(const std::vector<Segment>& lines) override;
        void paintInk(const std::vector<Ink>& areas) override;

    private:
        PainterSurface& surface_;
    };

    Metrics& metrics();
    // The current font with every character of `text` measured.
    Metrics& measured(std::string_view text);
    void measure(Metrics& m, char32_t c);
    void addLine(int x1, int y1, int x2, int y2);

    QPainter& painter_;
    int dpiY_;
    QColor fill_;
    std::string face_ = "Courier New";
    int points_ = 0;
    bool bold_ = false;
    bool italic_ = false;
    int stretch_ = 100;
    bool transparentText_ = false;
    Metrics* current_ = nullptr;
    std::map<std::tuple<std::string, int, bool, bool, int>, Metrics> cache_;

    QRect sheet_;
    int penX_ = 0, penY_ = 0;
    bool batching_ = true;
    bool lacksFont_ = false;
    Painting painting_{*this};
    DrawBatcher batcher_{painting_};
    QList<quint32> glyphs_;     // reused by every glyph run
    QList<QPointF> positions_;
    QList<QLine> lines_;        // reused by every batch of lines
    std::int64_t paintCalls_ = 0;
};

}  // namespace nx::qt
