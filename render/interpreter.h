// The line interpreter: draws a print stream, one line at a time, onto a drawing
// surface. Both the printer output and the preview page use it; each supplies its
// own origin, form-feed action, stored-line limit and progress display.
//
// Print stream bytes: 1/2 bold on/off, 3 condensed (saving the current size), 4
// restore the saved size, 6 elite, 7 and 9 normal, 8 double, 11 space (advance by
// "u"), 12 form feed (the target's action), 13 carriage return, 20..30 box-drawing
// cells, 32..255 text. Every other byte below 32 does nothing and is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "intake/settings.h"
#include "platform/surface.h"

namespace nx {

class ByteFile;

inline constexpr std::string_view kFontFace = "Courier New";
inline constexpr int kLineGap = 4;  // device units between lines, not scaled
inline constexpr std::size_t kNoLineLimit = std::numeric_limits<std::size_t>::max();

// Print-stream codes.
namespace code {
inline constexpr std::uint8_t kBoldOn = 1;
inline constexpr std::uint8_t kBoldOff = 2;
inline constexpr std::uint8_t kCondensed = 3;
inline constexpr std::uint8_t kRestoreSize = 4;
inline constexpr std::uint8_t kElite = 6;
inline constexpr std::uint8_t kNormal = 7;
inline constexpr std::uint8_t kDouble = 8;
inline constexpr std::uint8_t kNormal2 = 9;
inline constexpr std::uint8_t kLineFeed = 10;
inline constexpr std::uint8_t kSpace = 11;
inline constexpr std::uint8_t kFormFeed = 12;
inline constexpr std::uint8_t kCarriageReturn = 13;
inline constexpr std::uint8_t kBoxFirst = 20;  // vertical bar
inline constexpr std::uint8_t kBoxLast = 30;   // corner down and right
inline constexpr std::uint8_t kTextFirst = 32;
}  // namespace code

// Integer half, truncated toward zero.
constexpr int half(int n) { return n / 2; }

class LineInterpreter;

// Called when a form feed is acted on. May move the position (setPosition) and
// change the surface (setSurface). Returns true to drop the rest of the line.
using FormFeedAction = std::function<bool(LineInterpreter&)>;

class LineInterpreter {
public:
    // `variableLineHeight` is asked at the start of every line and at every step;
    // the sizes are read from `settings` when each code is acted on.
    LineInterpreter(const Settings& settings, std::function<bool()> variableLineHeight);

    // Start of a run: font "Courier New" in the normal size, not bold; cell sizes
    // from "W"; saved size := normal size; position := origin.
    void startRun(Surface& surface, int x0, int y0);

    // Line height := 0 with variable line height on, else the cell height.
    void startLine();
    // Interprets the stored bytes of one line (its LF included, if stored).
    void interpretLine(std::string_view line, const FormFeedAction& formFeed);
    // y += line height + 4; x := x0.
    void endLine();

    // Draws one box-drawing cell (codes 20..30) at (x, y) with cell w by h. No advance.
    static void drawBox(Surface& s, std::uint8_t boxCode, int x, int y, int w, int h);

    Surface& surface() { return *surface_; }
    // Switches to another surface (a new printer page on a different object); the
    // font state is carried over onto it.
    void setSurface(Surface& surface);

    int x() const { return x_; }
    int y() const { return y_; }
    int originX() const { return x0_; }
    int originY() const { return y0_; }
    int cellWidth() const { return cellW_; }
    int cellHeight() const { return cellH_; }
    int lineHeight() const { return lineH_; }
    int savedSize() const { return savedSize_; }
    void setPosition(int x, int y) {
        x_ = x;
        y_ = y;
    }
    void returnToOrigin() { setPosition(x0_, y0_); }

private:
    bool variable() const { return variableLineHeight_ && variableLineHeight_(); }
    // Acts on control byte b (0..31); returns true when the rest of the line is dropped.
    bool act(std::uint8_t b, const FormFeedAction& formFeed);

    const Settings& settings_;
    std::function<bool()> variableLineHeight_;
    Surface* surface_ = nullptr;
    int x0_ = 0, y0_ = 0;
    int x_ = 0, y_ = 0;
    int cellW_ = 0, cellH_ = 0;
    int lineH_ = 0;
    int savedSize_ = 0;
    std::string utf8_;  // a run in UTF-8, reused
};

// What a target adds to the interpreter when it runs over a file.
struct StreamTarget {
    std::size_t lineLimit = kNoLineLimit;               // bytes kept of one line
    std::function<void(std::int64_t position)> lineRead;  // file position after each line
    FormFeedAction formFeed;
};

// Interprets `file` from its current position to its end, one line at a time:
// start the line, read it (bytes beyond the limit are dropped; reading goes on to
// the LF), report the position, interpret it, end it. End of file and position are
// checked (IoError). A byte read that fails ends the input there (what was read
// of the line is still drawn) and its code is returned; 0 when every byte was read.
// startRun() must have been called.
[[nodiscard]] int interpretFile(ByteFile& file, LineInterpreter& in, const StreamTarget& target);

}  // namespace nx
