// The drawing surface that the interpreters draw on: a printer page or the preview
// image. Texts are UTF-8 (each interpreter converts its own code page at this
// boundary); coordinates are device units.
#pragma once

#include <string_view>

namespace nx {

class Surface {
public:
    virtual ~Surface() = default;

    virtual void setFontFace(std::string_view face) = 0;
    // Point size; the surface turns it into device units as round(points * dpiY / 72).
    virtual void setFontSize(int points) = 0;
    virtual int fontSize() const = 0;
    virtual void setBold(bool bold) = 0;
    virtual bool bold() const = 0;

    virtual int textWidth(std::string_view text) = 0;
    virtual int textHeight(std::string_view text) = 0;

    // Draws text with its top-left corner at (x, y).
    virtual void drawText(int x, int y, std::string_view text) = 0;
    virtual void moveTo(int x, int y) = 0;
    // Draws a line from the pen to (x, y); the pen ends there.
    virtual void lineTo(int x, int y) = 0;

    // Image surfaces only: fill the rectangle [x1, x2) x [y1, y2) with the current fill.
    virtual void fillRect(int x1, int y1, int x2, int y2) = 0;

    // What the ESC/P interpreter adds; the line format uses none of it, and a surface
    // that only serves the line format may keep these defaults.
    // Italic letters.
    virtual void setItalic(bool) {}
    // The letters' width in percent of their normal width (200: double width).
    virtual void setFontStretch(int) {}
    // Ink over the rectangle [x1, x2) x [y1, y2): black, or a grey of `percent` black.
    virtual void fillInk(int, int, int, int, int /*percent*/ = 100) {}
    // Text leaves what lies under it (true), as a printer's ribbon does, instead of
    // covering it with the fill colour (false, the line format's way).
    virtual void setTransparentText(bool) {}
    // Draws page `page` (1-based; a file of fewer pages gives its last) of the
    // background file `file` (a host path: an image or a PDF) over the whole sheet,
    // under what is drawn after it. A surface that draws no pages ignores it; one
    // that cannot read the file raises IoError naming it and why.
    virtual void drawBackground(std::string_view /*file*/, int /*page*/) {}
};

}  // namespace nx
