#include "platform/qt/painter_surface.h"

#include "platform/qt/background.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QRawFont>
#include <QGlyphRun>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <utility>

#include "platform/cp1250_utf8.h"
#include "platform/utf8.h"

namespace nx::qt {
namespace {

// Pixel sizes beyond this make the font engine allocate without measure; no job
// needs more than a few inches of letter height.
constexpr int kMaxPixelSize = 4096;
// The text as drawn: every character one cell. The soft hyphen (U+00AD) is
// invisible and has no width in Unicode; a fixed-pitch printer font draws it as a
// hyphen in its cell, so it is drawn as one. It is the only character of code page
// 1250 that text shaping would hide or join with another (the positions without a
// character, 0x7F, 0x81, 0x83, 0x88, 0x90 and 0x98, keep a cell).
QString drawnText(std::string_view utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    text.replace(QChar(0x00AD), QLatin1Char('-'));
    return text;
}

// Black, or a grey with `percent` black in it.
QColor inkColour(int percent) {
    const int level = 255 - (255 * percent + 50) / 100;
    return QColor(level, level, level);
}

// Whether `font` is a scalable fixed-pitch face that has the letters of the jobs (a
// bitmap face cannot be embedded in a PDF, a proportional one breaks the columns, and
// a platform without fonts has none).
bool drawsLetters(const QFont& font) {
    const QFontInfo info(font);
    if (!info.fixedPitch() || !QFontDatabase::isSmoothlyScalable(info.family(), info.styleName()))
        return false;
    const QRawFont raw = QRawFont::fromFont(font);
    return raw.isValid() && raw.supportsCharacter(U'A') && raw.supportsCharacter(U'\u0151') &&
           raw.supportsCharacter(U'\u00c1');
}

// The face asked for, or where the system cannot draw the letters with it, the first
// fixed-pitch face it has that can; the flag says whether one could. Decided once
// per face.
std::pair<QFont, bool> usableFont(const QString& face) {
    static std::map<QString, std::pair<QFont, bool>> decided;
    if (const auto it = decided.find(face); it != decided.end()) return it->second;
    std::pair<QFont, bool> choice{QFont(face), true};
    if (!drawsLetters(choice.first)) {
        choice.second = false;
        QStringList candidates = {QStringLiteral("Courier New"),     QStringLiteral("Liberation Mono"),
                                  QStringLiteral("Cousine"),         QStringLiteral("DejaVu Sans Mono"),
                                  QStringLiteral("Consolas"),        QStringLiteral("Lucida Console"),
                                  QStringLiteral("Noto Sans Mono"),  QStringLiteral("FreeMono"),
                                  QStringLiteral("Nimbus Mono PS")};
        candidates << QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        for (const QString& family : candidates) {
            if (!QFontDatabase::hasFamily(family)) continue;
            QFont f(family);
            f.setStyleHint(QFont::TypeWriter);
            if (drawsLetters(f)) {
                choice = {f, true};
                break;
            }
        }
    }
    decided.emplace(face, choice);
    return choice;
}

QString drawnChar(char32_t c) {
    std::string utf8;
    appendUtf8(utf8, c);
    return drawnText(utf8);
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

void PainterSurface::drawBackground(std::string_view file, int page) {
    const BackgroundPage background = backgroundPage(std::string(file), page);
    // Under everything the page draws after it.
    flush();
    QRect sheet = sheet_;
    if (sheet.isNull() && painter_.device()) sheet = QRect(0, 0, painter_.device()->width(), painter_.device()->height());
    QRectF target(sheet);
    if (!background.inches.isEmpty()) {
        // A PDF page at its own size from the sheet's corner.
        target.setSize(QSizeF(background.inches.width() * dpiY_, background.inches.height() * dpiY_));
    }
    painter_.save();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_.drawImage(target, background.image);
    painter_.restore();
    ++paintCalls_;
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

void PainterSurface::setItalic(bool italic) {
    if (italic_ != italic) {
        italic_ = italic;
        current_ = nullptr;
    }
}

void PainterSurface::setFontStretch(int percent) {
    percent = std::clamp(percent, 1, 4000);
    if (stretch_ != percent) {
        stretch_ = percent;
        current_ = nullptr;
    }
}

void PainterSurface::setTransparentText(bool transparent) {
    transparentText_ = transparent;
    batcher_.setOpaqueText(!transparent);
    if (!batching_)
        painter_.setBackgroundMode(transparent ? Qt::TransparentMode : Qt::OpaqueMode);
}

void PainterSurface::fillInk(int x1, int y1, int x2, int y2, int percent) {
    if (x2 <= x1 || y2 <= y1) return;
    percent = std::clamp(percent, 0, 100);
    if (!batching_) {
        painter_.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), inkColour(percent));
        ++paintCalls_;
        return;
    }
    batcher_.addInk(Ink{Box{x1, y1, x2 - x1, y2 - y1}, percent});
}

void PainterSurface::setBold(bool bold) {
    if (bold_ != bold) {
        bold_ = bold;
        current_ = nullptr;
    }
}

void PainterSurface::measure(Metrics& m, char32_t c) {
    CharFacts& f = m.factsFor(c);
    if (f.known) return;
    f.known = true;
    const QFontMetrics fm(m.font, painter_.device());
    const QString ch = drawnChar(c);
    const int adv = fm.horizontalAdvance(ch);
    f.cell = adv == m.advance;
    // The glyph's own ink, which may reach beyond its cell.
    const QRect ink = ch.size() == 1 ? fm.boundingRect(ch.at(0)) : fm.boundingRect(ch);
    if (!ink.isEmpty()) {
        m.inkLeft = std::min(m.inkLeft, ink.left());
        m.inkRight = std::max(m.inkRight, ink.right() + 1 - adv);
        m.inkTop = std::min(m.inkTop, m.ascent + ink.top());
        m.inkBottom = std::max(m.inkBottom, m.ascent + ink.bottom() + 1 - m.height);
        f.rightBearing = static_cast<std::int8_t>(std::clamp(adv - (ink.right() + 1), -127, 0));
    }
    if (f.cell && m.raw.isValid() && ch.size() == 1 && m.raw.supportsCharacter(ch.at(0))) {
        const auto ids = m.raw.glyphIndexesForString(ch);
        if (ids.size() == 1 && ids.front() != 0) {
            f.glyph = ids.front();
            f.direct = true;
        }
    }
}

PainterSurface::Metrics& PainterSurface::measured(std::string_view text) {
    Metrics& m = metrics();
    forEachCodePoint(text, [&](char32_t c) {
        if (!m.facts(c).known) measure(m, c);
    });
    return m;
}

PainterSurface::Metrics& PainterSurface::metrics() {
    if (current_) return *current_;
    const int px = pixelSize(points_);
    auto key = std::make_tuple(face_, px, bold_, italic_, stretch_);
    auto it = cache_.find(key);
    if (it == cache_.end()) {
        Metrics m;
        const auto [font, usable] = usableFont(QString::fromLatin1(face_.data(), static_cast<qsizetype>(face_.size())));
        m.font = font;
        if (!usable) lacksFont_ = true;
        m.font.setPixelSize(px);
        m.font.setBold(bold_);
        m.font.setItalic(italic_);
        if (stretch_ != 100) m.font.setStretch(stretch_);
        m.font.setHintingPreference(QFont::PreferFullHinting);
        m.font.setKerning(false);
        const QFontMetrics fm(m.font, painter_.device());
        m.wWidth = fm.horizontalAdvance(QStringLiteral("W"));
        m.height = fm.height();
        m.ascent = fm.ascent();
        m.advance = m.wWidth;
        m.raw = QRawFont::fromFont(m.font);
        // Code page 1250's characters at once (the line format's), the others when
        // they first come.
        for (int b = 32; b < 256; ++b)
            measure(m, b < 0x80 ? static_cast<char32_t>(b) : cp1250HighCodePoints()[b - 0x80u]);
        it = cache_.emplace(std::move(key), std::move(m)).first;
    }
    current_ = &it->second;
    return *current_;
}

int PainterSurface::textWidth(std::string_view text) {
    const Metrics& m = measured(text);
    if (m.allCells(text)) return static_cast<int>(codePointCount(text)) * m.advance;
    return QFontMetrics(m.font, painter_.device()).horizontalAdvance(drawnText(text));
}

int PainterSurface::textHeight(std::string_view) { return metrics().height; }

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
    batcher_.forgetPage(false);
}

void PainterSurface::drawText(int x, int y, std::string_view text) {
    if (text.empty()) return;
    const Metrics& m = measured(text);
    const int width = textWidth(text);
    if (!batching_) {
        painter_.setFont(m.font);
        painter_.drawText(x, y + m.ascent, drawnText(text));
        ++paintCalls_;
        return;
    }
    batcher_.addText(m, x, y, text, width);
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
    batcher_.addLine(x1, y1, x2, y2);
}

void PainterSurface::fillRect(int x1, int y1, int x2, int y2) {
    flush();
    const QRect r(x1, y1, x2 - x1, y2 - y1);
    painter_.fillRect(r, fill_);
    ++paintCalls_;
    const QPaintDevice* dev = painter_.device();
    // Covering the whole device leaves it blank.
    if (dev && r.contains(QRect(0, 0, dev->width(), dev->height()))) batcher_.forgetPage(true);
}

void PainterSurface::Painting::paintTexts(const std::vector<TextBatch>& texts) {
    QPainter& painter = surface_.painter_;
    const QFont* set = nullptr;
    for (const TextBatch& t : texts) {
        const Metrics& m = static_cast<const Metrics&>(*t.font);
        const Qt::BGMode mode = t.opaque ? Qt::OpaqueMode : Qt::TransparentMode;
        if (painter.backgroundMode() != mode) painter.setBackgroundMode(mode);
        if (set != &m.font) {
            painter.setFont(m.font);
            set = &m.font;
        }
        if (t.direct && !t.opaque) {
            // The glyphs that drawText would shape, at the same whole-unit positions.
            QList<quint32>& glyphs = surface_.glyphs_;
            QList<QPointF>& positions = surface_.positions_;
            glyphs.clear();
            positions.clear();
            const double baseline = t.y + m.ascent;
            double x = t.x;
            forEachCodePoint(t.text, [&](char32_t c) {
                glyphs.push_back(m.facts(c).glyph);
                positions.emplace_back(x, baseline);
                x += m.advance;
            });
            QGlyphRun run;
            run.setRawFont(m.raw);
            run.setGlyphIndexes(glyphs);
            run.setPositions(positions);
            painter.drawGlyphRun(QPointF(0, 0), run);
        } else {
            painter.drawText(t.x, t.y + m.ascent, drawnText(t.text));
        }
        ++surface_.paintCalls_;
    }
    // The painter is left as the surface set it up.
    if (painter.backgroundMode() != Qt::OpaqueMode) painter.setBackgroundMode(Qt::OpaqueMode);
}

void PainterSurface::Painting::paintLines(const std::vector<Segment>& lines) {
    QPainter& painter = surface_.painter_;
    // The PDF engine strokes lines as such only once it has seen the pen set; without
    // that it fills their outlines, which draws the same but less crisply.
    painter.setPen(Qt::NoPen);
    painter.setPen(QPen(Qt::black, 1));
    QList<QLine>& qlines = surface_.lines_;
    qlines.clear();
    for (const Segment& l : lines) qlines.emplace_back(l.x1, l.y1, l.x2, l.y2);
    painter.drawLines(qlines.constData(), static_cast<int>(qlines.size()));
    ++surface_.paintCalls_;
}

void PainterSurface::Painting::paintInk(const std::vector<Ink>& areas) {
    QPainter& painter = surface_.painter_;
    // One call for each run of areas of one grey.
    QList<QRect> rects;
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < areas.size();) {
        const int percent = areas[i].percent;
        rects.clear();
        for (; i < areas.size() && areas[i].percent == percent; ++i)
            rects.emplace_back(areas[i].box.x, areas[i].box.y, areas[i].box.w, areas[i].box.h);
        painter.setBrush(inkColour(percent));
        painter.drawRects(rects.constData(), static_cast<int>(rects.size()));
        ++surface_.paintCalls_;
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1));
}

void PainterSurface::flush() { batcher_.flush(); }

void PainterSurface::discard() { batcher_.discard(); }

void PainterSurface::beginPage() {
    flush();
    batcher_.forgetPage(true);
}

}  // namespace nx::qt
