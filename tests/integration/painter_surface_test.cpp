// The QPainter surface on real images: metrics of the resolved "Courier New", and the
// batching of text runs and segments giving the very pixels of unbatched drawing.
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "intake/settings.h"
#include "platform/qt/painter_surface.h"
#include "render/interpreter.h"

namespace {

using nx::qt::PainterSurface;

const QColor kWindow(0xf0, 0xf0, 0xf0);

// Interprets `stream` from (8, 8); a form feed returns to the origin and goes on, so
// later text lands on what is already drawn.
void interpret(PainterSurface& s, std::string_view stream, bool variable) {
    nx::Settings settings;
    nx::LineInterpreter in(settings, [variable] { return variable; });
    in.startRun(s, 8, 8);
    std::size_t pos = 0;
    const nx::FormFeedAction ff = [](nx::LineInterpreter& i) {
        i.returnToOrigin();
        return false;
    };
    while (pos < stream.size()) {
        std::size_t end = stream.find('\n', pos);
        end = end == std::string_view::npos ? stream.size() : end + 1;
        in.startLine();
        in.interpretLine(stream.substr(pos, end - pos), ff);
        in.endLine();
        pos = end;
    }
}

struct Drawn {
    QImage image;
    std::int64_t calls = 0;
};

Drawn draw(std::string_view stream, bool batching, int dpi, bool variable, QSize size) {
    Drawn d{QImage(size, QImage::Format_RGB32)};
    QPainter p(&d.image);
    PainterSurface s(p, dpi, kWindow);
    s.setBatching(batching);
    s.fillRect(0, 0, size.width(), size.height());
    interpret(s, stream, variable);
    s.flush();
    d.calls = s.paintCalls();
    return d;
}

// Print-stream text: spaces become the space code, as the character map makes them.
std::string text(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == ' ') c = 11;
    return out;
}

std::string invoice() {
    const std::string top = "\x1e\x1b\x1b\x1b\x1b\x19\x1b\x1b\x1b\x1b\x1b\x1b\x16\n";
    const std::string sep = "\x1a\x1b\x1b\x1b\x1b\x1c\x1b\x1b\x1b\x1b\x1b\x1b\x15\n";
    const std::string bot = "\x17\x1b\x1b\x1b\x1b\x18\x1b\x1b\x1b\x1b\x1b\x1b\x1d\n";
    std::string s = text("\x01Sz\xe1mla  \xe9s  sz\xe1ll\xedt\xf3lev\xe9l\x02 2024/117\r\n");
    s += top;
    s += "\x14" + text("T\xe9tel") + "\x14" + text(" \xd5sszeg") + "\x14\n";
    s += sep;
    for (int i = 0; i < 6; ++i) {
        s += "\x14" + text("\xfcr\xedt\xe9s") + "\x14" + text(" " + std::to_string(1000 + 37 * i)) +
             "\x14\r\n";
    }
    s += bot;
    s += text("  Fizetend\xf5:  \x08\x01" "12 345 Ft\x02\x07  (\xe1" "fa  27%)") + "\n";
    s += "\x03" + text("kisbet\xfbs  megjegyz\xe9s ") + "\x03\x04" + text("vissza ") + "\x04" + text(" norm\xe1l\n");
    s += "\x06" + text("elit sor, ") + "\x09" + text("norm\xe1l, 32: a b") + "\x1f" + "\x0e\n";
    return s;
}

TEST(PainterSurface, CourierNewResolvesToWholeUnitCells) {
    QImage img(10, 10, QImage::Format_RGB32);
    QPainter p(&img);
    PainterSurface s(p, 96, kWindow);
    s.setFontFace("Courier New");
    s.setFontSize(11);
    EXPECT_EQ(s.textWidth("W"), 9);
    EXPECT_EQ(s.textHeight("W"), 17);
    EXPECT_EQ(s.textWidth("u"), 9);
    EXPECT_EQ(s.textWidth("\xc1rv\xedzt\xfbr\xf5t\xfck\xf6rf\xfar\xf3g\xe9p"), 9 * 21);
    s.setBold(true);
    EXPECT_EQ(s.textWidth("W"), 9);
    EXPECT_TRUE(s.bold());
    EXPECT_EQ(s.fontSize(), 11);

    PainterSurface printer(p, 600, Qt::white);
    EXPECT_EQ(printer.pixelSize(11), 92);  // round(11 * 600 / 72) = round(91.67)
    EXPECT_EQ(printer.pixelSize(6), 50);
    printer.setFontFace("Courier New");
    printer.setFontSize(11);
    EXPECT_EQ(printer.textWidth("W"), 55);
    EXPECT_EQ(printer.textWidth("WWWWWWWWWW"), 550);  // whole-unit advances, no drift
    // A size from a damaged settings record still gives a usable font.
    EXPECT_EQ(printer.pixelSize(0), 1);
    EXPECT_EQ(printer.pixelSize(-5), 1);
    EXPECT_LE(printer.pixelSize(100000), 4096);
}

TEST(PainterSurface, TextIsOpaqueOnTheFillAndLinesAreOneUnit) {
    QImage img(200, 60, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    PainterSurface s(p, 96, kWindow);
    s.setFontFace("Courier New");
    s.setFontSize(11);
    s.drawText(10, 10, "W");
    s.moveTo(100, 20);
    s.lineTo(150, 20);
    s.flush();
    p.end();
    // The text cell's background is the fill colour, over the red beneath.
    EXPECT_EQ(img.pixelColor(10, 10), kWindow);
    EXPECT_EQ(img.pixelColor(18, 26), kWindow);
    // Black ink inside the cell.
    bool ink = false;
    for (int y = 10; y < 27; ++y)
        for (int x = 10; x < 19; ++x) ink |= img.pixelColor(x, y).value() < 60;
    EXPECT_TRUE(ink);
    EXPECT_EQ(img.pixelColor(125, 20), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(125, 19), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(125, 21), QColor(Qt::red));
}

TEST(PainterSurface, BatchedDrawingMatchesPlainDrawingPixelForPixel) {
    const std::string inv = invoice();
    struct Case {
        const char* name;
        std::string stream;
    };
    const std::vector<Case> cases = {
        {"invoice", inv},
        // Carriage return: a later run and its spaces over an earlier one.
        {"overdraw", text("ABCDEFGHIJ KLMNO") + "\r" + text("x   y") + "\r" + "\x1b\x1b\x1b\n"},
        // Form feed back to the origin: the second page lands over the first.
        {"form feed", inv + "\x0c" + text("fel\xfcl  \xedrva  is") + "\x14\x1b\x1b" + text("ok") + "\n" + inv},
        // Box cells between runs, and runs that touch.
        {"cells", text("a") + "\x1b" + text("b") + "\x14\x14" + text("c") + "\x0e" + text("d") + "\x00" +
                      text("e") + "\x01" + text("f") + "\x02" + text("g") + "\x1c" + text(" h") + "\n"},
    };
    for (const Case& c : cases) {
        for (int dpi : {96, 300}) {
            for (bool variable : {false, true}) {
                SCOPED_TRACE(std::string(c.name) + " dpi " + std::to_string(dpi) +
                             (variable ? " variable" : " fixed"));
                const QSize size = dpi == 96 ? QSize(720, 700) : QSize(2000, 2400);
                const Drawn plain = draw(c.stream, false, dpi, variable, size);
                const Drawn batched = draw(c.stream, true, dpi, variable, size);
                EXPECT_TRUE(plain.image == batched.image);
                EXPECT_LE(batched.calls, plain.calls);
            }
        }
    }
    // A ledger of plain text lines: one call per line, however many words.
    std::string ledger;
    for (int i = 0; i < 40; ++i) ledger += text("2024.03.01  Bev\xe9tel  p\xe9nzt\xe1r  12 000  Ft  \xf6sszesen") + "\r\n";
    const Drawn plain = draw(ledger, false, 96, false, QSize(720, 1400));
    const Drawn batched = draw(ledger, true, 96, false, QSize(720, 1400));
    EXPECT_TRUE(plain.image == batched.image);
    EXPECT_LE(batched.calls, 40 + 2);
    EXPECT_GE(plain.calls, 40 * 7);
}

TEST(PainterSurface, RandomStreamsDrawTheSameBatchedOrNot) {
    // Words, spaces, box cells, size and bold codes, carriage returns and form feeds
    // in random order: the batched surface must never change a pixel.
    const std::string alphabet =
        "abcWXY\xe1\xe9\xf5\xfb\xd5\xdb" "0123"
        "\x0b\x0b\x0b\x0b\x0b\x0b \x14\x15\x16\x17\x18\x19\x1a\x1b\x1b\x1b\x1c\x1d\x1e"
        "\x01\x02\x03\x04\x06\x07\x08\x09\x0d\x0a\x0a\x0a\x0c\x1f\x00\x05";
    std::mt19937 rng(20240601);
    for (int round = 0; round < 40; ++round) {
        std::string s;
        const int n = 200 + static_cast<int>(rng() % 400);
        for (int i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
        const bool variable = round % 2 == 1;
        SCOPED_TRACE("round " + std::to_string(round));
        const Drawn plain = draw(s, false, 96, variable, QSize(720, 900));
        const Drawn batched = draw(s, true, 96, variable, QSize(720, 900));
        ASSERT_TRUE(plain.image == batched.image);
    }
}

// The rightmost column holding ink in rows [top, bottom), or -1.
int rightmostInk(const QImage& img, int top, int bottom) {
    for (int x = img.width() - 1; x >= 0; --x)
        for (int y = std::max(top, 0); y < std::min(bottom, img.height()); ++y)
            if (img.pixelColor(x, y).value() < 128) return x;
    return -1;
}

// Every byte the interpreter draws as text takes one cell, so the columns of a form
// never shift: each byte from 32 to 255 between two letters measures three cells,
// and the letter after it stands where the third column begins, on the printer's
// resolution and on the preview's.
TEST(PainterSurface, EveryTextByteTakesOneCell) {
    for (int dpi : {600, 96}) {
        QImage probe(10, 10, QImage::Format_RGB32);
        QPainter pp(&probe);
        PainterSurface measure(pp, dpi, Qt::white);
        measure.setFontSize(11);
        const int cell = measure.textWidth("W");
        const int h = measure.textHeight("W");
        pp.end();
        // Where the ink of an "H" in the third column ends.
        QImage ref(4 * cell, h, QImage::Format_RGB32);
        {
            QPainter p(&ref);
            PainterSurface s(p, dpi, Qt::white);
            s.setFontSize(11);
            s.fillRect(0, 0, ref.width(), ref.height());
            s.drawText(2 * cell, 0, "H");
            s.flush();
        }
        const int expected = rightmostInk(ref, 0, h);
        ASSERT_GT(expected, 2 * cell);
        for (int b = 32; b < 256; ++b) {
            SCOPED_TRACE("dpi " + std::to_string(dpi) + " byte " + std::to_string(b));
            const std::string run = std::string("H") + static_cast<char>(b) + "H";
            QImage img(4 * cell, h, QImage::Format_RGB32);
            QPainter p(&img);
            PainterSurface s(p, dpi, Qt::white);
            s.setFontSize(11);
            s.fillRect(0, 0, img.width(), img.height());
            EXPECT_EQ(s.textWidth(run), 3 * cell);
            s.drawText(0, 0, run);
            s.flush();
            p.end();
            EXPECT_EQ(rightmostInk(img, 0, h), expected);
        }
    }
}

// A boxed line holding a soft hyphen (0xAD) keeps its right border under the
// corners above and below it, and the hyphen shows.
TEST(PainterSurface, ASoftHyphenInABoxedLineKeepsTheBorderInLine) {
    const std::string box = "\x1e\x1b\x1b\x1b\x1b\x1b\x16\n"
                            "\x14" + text("ab\xad" "cd") + "\x14\n"
                            "\x17\x1b\x1b\x1b\x1b\x1b\x1d\n";
    const Drawn d = draw(box, true, 96, false, QSize(200, 100));
    const QImage& img = d.image;
    // Rows 8..25 the first line, 25..42 the second, 42..59 the third (17 pixels each).
    const int top = rightmostInk(img, 8, 8 + 17);
    const int middle = rightmostInk(img, 8 + 17 + 4, 8 + 34 - 4);
    const int bottom = rightmostInk(img, 8 + 34, 8 + 51);
    EXPECT_GT(top, 8 + 6 * 9);
    EXPECT_EQ(middle, top);
    EXPECT_EQ(bottom, top);
    // The hyphen's ink: the fourth cell of the middle line holds some.
    bool ink = false;
    for (int x = 8 + 3 * 9; x < 8 + 4 * 9; ++x)
        for (int y = 8 + 17; y < 8 + 34; ++y) ink |= img.pixelColor(x, y).value() < 128;
    EXPECT_TRUE(ink);
}

}  // namespace
