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
};

}  // namespace nx
