#include "escp/interpreter.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "escp/box.h"
#include "platform/utf8.h"

namespace nx::escp {
namespace {

using Units = std::int64_t;
constexpr Units kInch = kUnitsPerInch;

// Horizontal pitches, as the width of one character.
constexpr Units kPica = kInch / 10;
constexpr Units kElite = kInch / 12;
constexpr Units kFifteen = kInch / 15;
constexpr Units kCondensedPica = kInch * 7 / 120;  // 17.14 characters an inch
constexpr Units kCondensedElite = kInch / 20;

// The typeface every letter is drawn in: fixed pitch, 0.6 em wide, so a size of
// (cell / 180) points fills the cell.
constexpr std::string_view kFace = "Courier New";
// Where the underline runs below the top of a letter.
constexpr Units kUnderlineDrop = kInch * 3 / 20;
// Lines kept for one print line before it is drawn anyway (a line struck over and
// over with backspaces).
constexpr std::size_t kMaxLineGlyphs = 4096;
constexpr std::size_t kMaxTabs = 32;
constexpr std::size_t kMaxVerticalTabs = 16;

// The print modes that change how a letter looks.
struct Look {
    Units cell = kPica;       // the pitch's own cell, before double width
    bool doubleWidth = false;
    bool doubleHeight = false;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const Look&) const = default;
};

// What a character of the line buffer is drawn as.
enum class Shape : std::uint8_t { Letter, Box, Block };

// One character waiting in the line buffer, or a box cell.
struct Glyph {
    Units x, y, width, height;  // its cell: the advance, space added after it included
    Units drawn;                // the character's own width, without that space
    char32_t c;
    Look look;
    Shape shape;
};

Shape shapeOf(char32_t c) {
    if (c < 0x2500) return Shape::Letter;  // nearly every character: no table to search
    if (boxArms(c)) return Shape::Box;
    return blockOf(c) ? Shape::Block : Shape::Letter;
}

// Reads the job in blocks.
class Reader {
public:
    explicit Reader(ByteSource& in) : in_(in) {}
    bool get(std::uint8_t& b) {
        if (pos_ == end_) {
            end_ = in_.read(buffer_.data(), buffer_.size());
            pos_ = 0;
            if (end_ == 0) return false;
        }
        b = buffer_[pos_++];
        return true;
    }
    // `n` bytes into `out`; false when the job ends first.
    bool take(std::size_t n, std::vector<std::uint8_t>& out) {
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            if (!get(out[i])) return false;
        return true;
    }
    bool skip(std::size_t n) {
        std::uint8_t b = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (!get(b)) return false;
        return true;
    }

private:
    ByteSource& in_;
    std::array<std::uint8_t, 16384> buffer_;  // read into before it is read from
    std::size_t pos_ = 0, end_ = 0;
};

// The density of a bit-image mode: columns an inch, dots a column, their pitch.
struct Density {
    int perInch = 0;      // 0: not a mode of this printer
    int dots = 8;         // 8 or 24 dots a column
    Units dotHeight = 0;  // between two dots of a column
};

Density densityOf(Pins pins, int m) {
    if (pins == Pins::Nine) {
        constexpr Units v = kInch / 72;
        switch (m) {
            case 0: return {60, 8, v};
            case 1: case 2: return {120, 8, v};
            case 3: return {240, 8, v};
            case 4: return {80, 8, v};
            case 5: return {72, 8, v};
            case 6: return {90, 8, v};
            case 7: return {144, 8, v};
            default: return {};
        }
    }
    constexpr Units v8 = kInch / 60, v24 = kInch / 180;
    switch (m) {
        case 0: return {60, 8, v8};
        case 1: case 2: return {120, 8, v8};
        case 3: return {240, 8, v8};
        case 4: return {80, 8, v8};
        case 6: return {90, 8, v8};
        case 32: return {60, 24, v24};
        case 33: return {120, 24, v24};
        case 38: return {90, 24, v24};
        case 39: return {180, 24, v24};
        case 40: return {360, 24, v24};
        default: return {};
    }
}

// Parameter bytes of the ESC commands that are only skipped (every ESC command the
// interpreter acts on reads its own); commands with data of their own length are
// read by their handlers.
int fixedParameters(std::uint8_t cmd) {
    switch (cmd) {
        case 'U': case 's': case 'i': case 'r': case '/': case 'q': case 'S': case 'h':
        case 'I': case 'm': case '%': case 'x': case 'k': case 'p': case 'a': case 25:
        case 'j':
            return 1;
        case 'e': case 'f': case 'c':
            return 2;
        case 'X': case ':':
            return 3;
        default:
            return 0;
    }
}

class Machine {
public:
    Machine(const Options& o, const Paper& p, ByteSource& in, PageTarget& target)
        : options_(o), paper_(p), in_(in), target_(target) {
        reset();
        startPage();
    }

    int run() {
        std::uint8_t b = 0;
        while (in_.get(b)) {
            if (!step(b)) break;
        }
        printLine();
        return pages_;
    }

private:
    bool nine() const { return options_.pins == Pins::Nine; }

    // --- state ----------------------------------------------------------------
    void reset() {
        printLine();
        look_ = Look{};
        pitch_ = kPica;
        condensed_ = false;
        soWidth_ = false;
        doubleStrike_ = false;
        extraSpace_ = 0;
        lineSpacing_ = kInch / 6;
        pageLength_ = paper_.height;
        topMargin_ = 0;
        bottomMargin_ = paper_.height;
        skip_ = 0;
        leftMargin_ = 0;
        rightMargin_ = kCarriage;
        tabs_.clear();
        tabsSet_ = false;
        verticalTabs_.clear();
        slots_ = {std::nullopt, options_.codePage, options_.codePage, options_.codePage};
        table_ = 1;
        national_ = 0;
        printUpper_ = true;
        remap_ = {0, 1, 2, 3};
        commandUnit_ = kInch / 360;
        x_ = leftMargin_;
    }

    Units cellWidth() const {
        Units cell = pitch_;
        if (condensed_) cell = pitch_ == kPica ? kCondensedPica : pitch_ == kElite ? kCondensedElite : pitch_;
        return cell;
    }
    bool wide() const { return look_.doubleWidth || soWidth_; }
    Units advance() const {
        const Units cell = cellWidth();
        return (wide() ? 2 * cell : cell) + (wide() ? 2 * extraSpace_ : extraSpace_);
    }
    Look currentLook() const {
        Look l = look_;
        l.cell = cellWidth();
        l.doubleWidth = wide();
        l.bold = look_.bold || doubleStrike_;
        return l;
    }

    // A place on the job page as device units on the sheet: fitted, then moved.
    int devX(Units u) const { return toDevice(fitted(u) + paper_.originX + paper_.offsetX, paper_.dpiX); }
    int devY(Units u) const { return toDevice(fitted(u) + paper_.originY + paper_.offsetY, paper_.dpiY); }
    Units fitted(Units u) const {
        if (fitNum_ == fitDen_) return u;
        // Places stay below 2^40 and a fitted page's printable length below 2^21.
        return u / fitDen_ * fitNum_ + u % fitDen_ * fitNum_ / fitDen_;
    }
    static int toDevice(Units u, int dpi) {
        // Rounded to the nearest unit, halves up, on both sides of the origin.
        const Units scaled = u * dpi + kInch / 2;
        return static_cast<int>(scaled >= 0 ? scaled / kInch : -((-scaled + kInch - 1) / kInch));
    }
    // The page being begun is fitted to the printable area: a job page longer than
    // its length, or a carriage line wider than its width (by more than the point a
    // device's rounding may take), is drawn smaller, every place and letter alike,
    // so that no line falls off the sheet. An offset moves the fitted page and
    // never changes its scale.
    void fitPage() {
        const Units high = std::max<Units>(
            kInch, paper_.printableHeight > 0 ? paper_.printableHeight : paper_.height - paper_.originY);
        const Units wide = std::max<Units>(
            kInch, paper_.printableWidth > 0 ? paper_.printableWidth : paper_.width - paper_.originX);
        // The page as long as it is set, or as far down as the job moved before
        // drawing on it (a page length set shorter after a move down).
        const Units length = std::max(pageLength_, y_ + lineSpacing_);
        const Units slack = kInch / 72;
        const bool fitsDown = length <= high + slack;
        const bool fitsAcross = kCarriage <= wide + slack;
        if (fitsDown && fitsAcross) {
            fitNum_ = fitDen_ = 1;
        } else if (!fitsAcross && (fitsDown || wide * length < high * kCarriage)) {
            fitNum_ = wide;  // the line is what does not fit, or fits worse
            fitDen_ = kCarriage;
        } else {
            fitNum_ = high;
            fitDen_ = length;
        }
        // What the sheet holds of the job page at that scale: a page length set
        // longer once the page has begun ends the page where the sheet does.
        sheetHolds_ = fitNum_ == fitDen_ ? std::max(length, high + slack)
                                         : std::max(length, high / fitNum_ * fitDen_ + high % fitNum_ * fitDen_ / fitNum_);
    }

    // --- pages and lines ------------------------------------------------------
    // Where the sheet ends for the job's page: the paper's foot, or the job page's
    // when it is longer (and fitted onto the paper).
    Units sheetFoot() const { return std::min(std::max(pageLength_, paper_.height), sheetHolds_); }
    void startPage() {
        y_ = topMargin_;
        x_ = leftMargin_;
    }
    Surface& surface() {
        // A page that something is drawn on begins now, after the empty pages that
        // form feeds asked for before it.
        for (; pendingPages_ > 0; --pendingPages_) {
            target_.newPage();
            ++pages_;
            fresh_ = true;
        }
        Surface& s = target_.surface();
        if (fresh_) {
            fitPage();
            s.setTransparentText(true);
            fresh_ = false;
        }
        endedByItself_ = false;
        return s;
    }
    void formFeed() {
        printLine();
        ++pendingPages_;
        sheetHolds_ = kUnbounded;  // the next page is fitted when it begins
        endedByItself_ = false;
        soWidth_ = false;
        startPage();
    }
    // The form feed byte. Right after a page that ended by itself (filled to its
    // length, with nothing drawn on the next one yet) it feeds no blank sheet: a
    // dot-matrix printer would feed an empty form there.
    void formFeedByte() {
        if (endedByItself_ && pendingPages_ > 0 && line_.empty()) {
            endedByItself_ = false;
            soWidth_ = false;
            startPage();
            return;
        }
        formFeed();
    }
    // The bottom of the printable part of the job page.
    Units pageBottom() const {
        const Units length = std::min(pageLength_, sheetHolds_);
        const Units bottom = std::min(bottomMargin_, length);
        return skip_ > 0 ? std::max<Units>(topMargin_, length - skip_) : bottom;
    }
    void moveDown(Units by) {
        printLine();
        y_ += by;
        // A line that no longer fits above the bottom goes on the next page.
        if (y_ > topMargin_ && y_ + lineSpacing_ > pageBottom()) {
            formFeed();
            endedByItself_ = true;
        }
    }
    void lineFeed() {
        soWidth_ = false;
        moveDown(lineSpacing_);
    }

    // --- text -----------------------------------------------------------------
    void put(char32_t c, bool italicTable) {
        const Units step = advance();
        if (x_ + step > rightMargin_ && x_ > leftMargin_) {
            x_ = leftMargin_;
            lineFeed();
        }
        Look l = currentLook();
        if (italicTable) l.italic = true;
        if (line_.size() >= kMaxLineGlyphs) printLine();
        const Units drawn = wide() ? 2 * cellWidth() : cellWidth();
        line_.push_back(Glyph{x_, y_, step, lineSpacing_, drawn, c, l, shapeOf(c)});
        x_ += step;
    }

    // Draws the line buffer: box cells as lines and areas, letters in runs.
    void printLine() {
        if (line_.empty()) return;
        Surface& s = surface();
        std::size_t i = 0;
        while (i < line_.size()) {
            const Glyph& g = line_[i];
            // A box or block character fills its own width; the space ESC SP adds
            // after each character stays blank, as on the printer. Its height, the
            // line spacing, ends at the sheet's foot (a spacing of inches would
            // reach past the paper).
            const Units foot = std::max(g.y, std::min(g.y + g.height, sheetFoot()));
            const Cell cell{devX(g.x), devY(g.y), devX(g.x + g.drawn) - devX(g.x), devY(foot) - devY(g.y)};
            if (g.shape == Shape::Box) {
                drawArms(s, *boxArms(g.c), cell);
                ++i;
                continue;
            }
            if (g.shape == Shape::Block) {
                drawBlock(s, *blockOf(g.c), cell);
                ++i;
                continue;
            }
            // A run: one look, one line, cell after cell.
            std::size_t j = i + 1;
            while (j < line_.size() && line_[j].shape == Shape::Letter && line_[j].look == g.look &&
                   line_[j].y == g.y && line_[j].x == line_[j - 1].x + line_[j - 1].width)
                ++j;
            drawRun(s, i, j);
            i = j;
        }
        line_.clear();
    }

    void setFont(Surface& s, const Look& l) {
        const int points = static_cast<int>(std::max<Units>(1, fitted(l.cell) / 180));
        s.setFontFace(kFace);
        s.setFontSize(l.doubleHeight ? 2 * points : points);
        s.setBold(l.bold);
        s.setItalic(l.italic);
        s.setFontStretch(l.doubleWidth == l.doubleHeight ? 100 : l.doubleWidth ? 200 : 50);
    }

    void drawRun(Surface& s, std::size_t from, std::size_t to) {
        // Blanks at either end draw nothing (unless underlined).
        if (!line_[from].look.underline) {
            while (from < to && line_[from].c == U' ') ++from;
            while (to > from && line_[to - 1].c == U' ') --to;
            if (from == to) return;
        }
        const Glyph& first = line_[from];
        setFont(s, first.look);
        run_.clear();
        for (std::size_t k = from; k < to; ++k) appendUtf8(run_, line_[k].c);
        // Letter k stands at its own cell: the run is drawn whole where the font's
        // advance keeps every letter there, else letter by letter.
        const int x0 = devX(first.x);
        const int y = devY(first.y);
        const int step = s.textWidth(std::string_view(run_.data(), utf8Length(line_[from].c)));
        bool even = s.textWidth(run_) == static_cast<int>(to - from) * step;
        for (std::size_t k = from; k < to && even; ++k)
            even = devX(line_[k].x) == x0 + static_cast<int>(k - from) * step;
        if (even) {
            s.drawText(x0, y, run_);
        } else {
            std::string one;
            for (std::size_t k = from; k < to; ++k) {
                one.clear();
                appendUtf8(one, line_[k].c);
                s.drawText(devX(line_[k].x), y, one);
            }
        }
        if (first.look.underline) {
            const Units drop = first.look.doubleHeight ? 2 * kUnderlineDrop : kUnderlineDrop;
            const Glyph& last = line_[to - 1];
            s.moveTo(x0, devY(first.y + drop));
            s.lineTo(devX(last.x + last.width), devY(first.y + drop));
        }
    }
    static std::size_t utf8Length(char32_t c) {
        return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    }

    // A printable byte through the character table in force.
    void character(std::uint8_t b) {
        if (b < 0x80) {
            put(nationalCharacter(national_, b), false);
            return;
        }
        const std::optional<CodePage> page = slots_[table_];
        if (!page) {
            // The italic table: the upper half is the lower half in italics.
            put(nationalCharacter(national_, static_cast<std::uint8_t>(b - 0x80)), true);
            return;
        }
        put(toUnicode(*page, b), false);
    }

    // --- bytes ----------------------------------------------------------------
    // Returns false when the job ends inside a sequence.
    bool step(std::uint8_t b) {
        if (b >= 0x20 && b < 0x7F) {
            character(b);
            return true;
        }
        if (b == 0x7F) {
            // DEL: the last letter of the line goes.
            if (!line_.empty()) {
                x_ = line_.back().x;
                line_.pop_back();
            }
            return true;
        }
        if (b >= 0xA0 || (b >= 0x80 && printUpper_ && slots_[table_])) {
            character(b);
            return true;
        }
        if (b >= 0x80) return control(static_cast<std::uint8_t>(b - 0x80));
        return control(b);
    }

    bool control(std::uint8_t b) {
        switch (b) {
            case 0x08: {  // BS
                const Units back = advance();
                if (x_ - back >= leftMargin_) x_ -= back;
                return true;
            }
            case 0x09: horizontalTab(); return true;
            case 0x0A: lineFeed(); return true;
            case 0x0B: verticalTab(); return true;
            case 0x0C: formFeedByte(); return true;
            case 0x0D:
                printLine();
                x_ = leftMargin_;
                return true;
            case 0x0E: soWidth_ = true; return true;
            case 0x0F: condensed_ = true; return true;
            case 0x12: condensed_ = false; return true;
            case 0x14: soWidth_ = false; return true;
            case 0x18:  // CAN: the line buffer is dropped
                line_.clear();
                x_ = leftMargin_;
                return true;
            case 0x1B: return escape();
            default: return true;  // NUL, BEL, DC1, DC3 and the rest: ignored
        }
    }

    void horizontalTab() {
        const Units step = cellWidth() * 8;
        Units target = -1;
        if (tabsSet_) {
            for (Units t : tabs_) {
                if (leftMargin_ + t > x_) {
                    target = leftMargin_ + t;
                    break;
                }
            }
        } else if (step > 0) {
            target = leftMargin_ + ((x_ - leftMargin_) / step + 1) * step;
        }
        if (target > x_ && target < rightMargin_) x_ = target;
    }

    void verticalTab() {
        soWidth_ = false;
        if (verticalTabs_.empty()) {
            lineFeed();
            return;
        }
        for (Units t : verticalTabs_) {
            if (topMargin_ + t > y_ && topMargin_ + t < pageBottom()) {
                printLine();
                y_ = topMargin_ + t;
                x_ = leftMargin_;
                return;
            }
        }
        formFeed();
    }

    bool read1(std::uint8_t& n) { return in_.get(n); }
    bool read2(int& n) {
        std::uint8_t lo = 0, hi = 0;
        if (!in_.get(lo) || !in_.get(hi)) return false;
        n = lo | (hi << 8);
        return true;
    }

    // ESC and its command: the print modes and character tables here, the rest in
    // motion() and images. Returns false when the job ends inside the sequence.
    bool escape() {
        std::uint8_t cmd = 0;
        if (!in_.get(cmd)) return false;
        std::uint8_t n = 0;
        switch (cmd) {
            case '@': reset(); return true;
            case 'E': look_.bold = true; return true;
            case 'F': look_.bold = false; return true;
            case 'G': doubleStrike_ = true; return true;
            case 'H': doubleStrike_ = false; return true;
            case '4': look_.italic = true; return true;
            case '5': look_.italic = false; return true;
            case '-':
                if (!read1(n)) return false;
                look_.underline = n == 1 || n == '1';
                return true;
            case 'W':
                if (!read1(n)) return false;
                look_.doubleWidth = n == 1 || n == '1';
                return true;
            case 'w':
                if (!read1(n)) return false;
                look_.doubleHeight = n == 1 || n == '1';
                return true;
            case '!': if (!read1(n)) return false; masterSelect(n); return true;
            case 'P': pitch_ = kPica; return true;
            case 'M': pitch_ = kElite; return true;
            case 'g': pitch_ = kFifteen; return true;
            case 0x0F: condensed_ = true; return true;
            case 0x0E: soWidth_ = true; return true;
            case ' ':
                if (!read1(n)) return false;
                extraSpace_ = n * (nine() ? kInch / 120 : kInch / 180);
                return true;
            default: {
                bool ok = true;
                if (motion(cmd, ok) || tablesAndImages(cmd, ok)) return ok;
                return in_.skip(static_cast<std::size_t>(fixedParameters(cmd)));
            }
        }
    }

    // The character tables and the images: true when `cmd` is one of them (`ok`
    // false when the job ends inside it).
    bool tablesAndImages(std::uint8_t cmd, bool& ok) {
        std::uint8_t n = 0;
        int w = 0;
        ok = true;
        switch (cmd) {
            case 't':
                if (!read1(n)) return ended(ok);
                if (n >= '0') n = static_cast<std::uint8_t>(n - '0');
                if (n < 4) table_ = nine() ? (n == 0 ? 0 : 1) : n;
                return true;
            case 'R': if (!read1(n)) return ended(ok); national_ = n; return true;
            case '6': printUpper_ = true; return true;
            case '7': printUpper_ = false; return true;
            case 'K': case 'L': case 'Y': case 'Z': {
                if (!read2(w)) return ended(ok);
                const int slot = cmd == 'K' ? 0 : cmd == 'L' ? 1 : cmd == 'Y' ? 2 : 3;
                ok = bitImage(remap_[static_cast<std::size_t>(slot)], w); return true;
            }
            case '*': {
                if (!read1(n) || !read2(w)) return ended(ok);
                ok = bitImage(n, w); return true;
            }
            case '^': ok = nineDotImage(); return true;
            case '?': {
                std::uint8_t which = 0;
                if (!read1(which) || !read1(n)) return ended(ok);
                const std::string_view slots = "KLYZ";
                if (const auto k = slots.find(static_cast<char>(which)); k != std::string_view::npos)
                    remap_[k] = n;
                return true;
            }
            case '.': ok = rasterImage(); return true;
            case '(': ok = extended(); return true;
            case '&': ok = userCharacters(); return true;
            case 'b': {  // a vertical tab channel: the channel, then stops to NUL
                if (!read1(n)) return ended(ok);
                for (std::size_t k = 0; k <= kMaxVerticalTabs; ++k) {
                    if (!read1(n)) return ended(ok);
                    if (n == 0) break;
                }
                return true;
            }
            default: return false;
        }
    }

    // A command cut short by the end of the job: it was this one's, and the job ends.
    static bool ended(bool& ok) {
        ok = false;
        return true;
    }

    // The spacing, page, margin and position commands: true when `cmd` is one of
    // them (`ok` false when the job ends inside it).
    bool motion(std::uint8_t cmd, bool& ok) {
        std::uint8_t n = 0;
        int w = 0;
        ok = true;
        switch (cmd) {
            case '0': lineSpacing_ = kInch / 8; return true;
            case '1': lineSpacing_ = kInch * 7 / 72; return true;
            case '2': lineSpacing_ = kInch / 6; return true;
            case '3':
                if (!read1(n)) return ended(ok);
                lineSpacing_ = n * (nine() ? kInch / 216 : kInch / 180);
                return true;
            case '+': if (!read1(n)) return ended(ok); lineSpacing_ = n * (kInch / 360); return true;
            case 'A':
                if (!read1(n)) return ended(ok);
                lineSpacing_ = n * (nine() ? kInch / 72 : kInch / 60);
                return true;
            case 'J':
                if (!read1(n)) return ended(ok);
                moveDown(n * (nine() ? kInch / 216 : kInch / 180));
                return true;
            case 'j':
                if (!read1(n)) return ended(ok);
                printLine();
                y_ = std::max(topMargin_, y_ - n * (kInch / 216));
                return true;
            case 'C': ok = pageLengthCommand(); return true;
            case 'N':
                if (!read1(n)) return ended(ok);
                if (n > 0) skip_ = n * lineSpacing_;
                return true;
            case 'O': skip_ = 0; return true;
            case 'B': ok = verticalTabsCommand(); return true;
            case 'D': ok = tabsCommand(); return true;
            case 'l': if (!read1(n)) return ended(ok); setLeftMargin(n * cellWidth()); return true;
            case 'Q': if (!read1(n)) return ended(ok); setRightMargin(n * cellWidth()); return true;
            case '$':
                if (!read2(w)) return ended(ok);
                moveTo(leftMargin_ + w * (kInch / 60));
                return true;
            case '\\':
                if (!read2(w)) return ended(ok);
                moveTo(x_ + static_cast<std::int16_t>(w) * (nine() ? kInch / 120 : kInch / 180));
                return true;
            default: return false;
        }
    }

    void masterSelect(std::uint8_t n) {
        pitch_ = (n & 1) ? kElite : kPica;
        condensed_ = (n & 4) != 0;
        look_.bold = (n & 8) != 0;
        doubleStrike_ = (n & 16) != 0;
        look_.doubleWidth = (n & 32) != 0;
        look_.italic = (n & 64) != 0;
        look_.underline = (n & 128) != 0;
    }

    void moveTo(Units x) {
        if (x >= leftMargin_ && x < rightMargin_) x_ = x;
    }
    void setLeftMargin(Units m) {
        if (m < rightMargin_ && m < kCarriage) {
            leftMargin_ = m;
            if (x_ < leftMargin_) x_ = leftMargin_;
        }
    }
    void setRightMargin(Units m) {
        m = std::min(m, kCarriage);
        if (m > leftMargin_) rightMargin_ = m;
    }

    bool pageLengthCommand() {
        std::uint8_t n = 0;
        if (!read1(n)) return false;
        Units length = 0;
        if (n == 0) {
            if (!read1(n)) return false;
            length = n * kInch;  // inches
        } else {
            length = n * lineSpacing_;  // lines
        }
        // A page of no length (0 inches, or lines of no spacing) is not taken.
        if (length <= 0) return true;
        pageLength_ = bottomMargin_ = length;
        skip_ = 0;
        return true;
    }

    bool verticalTabsCommand() {
        verticalTabs_.clear();
        std::uint8_t n = 0;
        for (std::size_t k = 0;; ++k) {
            if (!read1(n)) return false;
            if (n == 0) return true;
            const Units at = n * lineSpacing_;
            // Stops beyond the sixteenth, or not ascending, are read and left out.
            if (k < kMaxVerticalTabs && (verticalTabs_.empty() || at > verticalTabs_.back()))
                verticalTabs_.push_back(at);
        }
    }

    bool tabsCommand() {
        tabs_.clear();
        tabsSet_ = true;
        std::uint8_t n = 0;
        for (std::size_t k = 0;; ++k) {
            if (!read1(n)) return false;
            if (n == 0) return true;
            const Units at = n * cellWidth();
            if (k < kMaxTabs && (tabs_.empty() || at > tabs_.back())) tabs_.push_back(at);
        }
    }

    // ESC ( c nL nH data: the ESC/P 2 commands of their own length.
    bool extended() {
        std::uint8_t c = 0;
        int len = 0;
        if (!read1(c) || !read2(len)) return false;
        if (!in_.take(static_cast<std::size_t>(len), data_)) return false;
        const auto at = [this](std::size_t k) -> int { return k < data_.size() ? data_[k] : 0; };
        const auto word = [&](std::size_t k) { return at(k) | (at(k + 1) << 8); };
        switch (c) {
            case 'U':
                if (len == 1 && at(0) > 0) commandUnit_ = at(0) * (kInch / 3600);
                if (len >= 5 && word(3) > 0 && at(1) > 0) commandUnit_ = at(1) * kInch / word(3);
                break;
            case 'C':
                if (len >= 2 && word(0) > 0) {
                    pageLength_ = word(0) * commandUnit_;
                    bottomMargin_ = pageLength_;
                }
                break;
            case 'c':
                if (len >= 4 && word(0) < word(2) && word(0) * commandUnit_ < paper_.height) {
                    topMargin_ = word(0) * commandUnit_;
                    bottomMargin_ = word(2) * commandUnit_;
                    if (y_ < topMargin_) y_ = topMargin_;
                }
                break;
            case 'V':
                if (len >= 2) {
                    printLine();
                    const Units to = topMargin_ + word(0) * commandUnit_;
                    if (to < pageBottom()) y_ = to;
                }
                break;
            case 'v':
                if (len >= 2) {
                    printLine();
                    const Units to = y_ + static_cast<std::int16_t>(word(0)) * commandUnit_;
                    if (to >= topMargin_ && to < pageBottom()) y_ = to;
                }
                break;
            case 't':
                if (len >= 3) {
                    int slot = at(0) >= '0' ? at(0) - '0' : at(0);
                    if (slot >= 0 && slot < 4) {
                        const auto d2 = static_cast<std::uint8_t>(at(1));
                        const auto d3 = static_cast<std::uint8_t>(at(2));
                        slots_[static_cast<std::size_t>(slot)] =
                            d2 == 0 && d3 == 0 ? std::nullopt
                                               : std::optional<CodePage>(
                                                     registeredTable(d2, d3).value_or(options_.codePage));
                    }
                }
                break;
            default: break;
        }
        return true;
    }

    bool userCharacters() {
        // ESC & NUL n m, then each character's attributes and columns: left out.
        std::uint8_t zero = 0, first = 0, last = 0;
        if (!read1(zero) || !read1(first) || !read1(last)) return false;
        for (int c = first; c <= last; ++c) {
            if (nine()) {
                if (!in_.skip(12)) return false;
            } else {
                std::uint8_t a0 = 0, a1 = 0, a2 = 0;
                if (!read1(a0) || !read1(a1) || !read1(a2)) return false;
                if (!in_.skip(static_cast<std::size_t>(a1) * 3)) return false;
            }
        }
        return true;
    }

    // --- images ---------------------------------------------------------------
    // A run of dots from `from` to `to` across, at least one device unit each way:
    // no dot vanishes on a coarse device.
    void ink(Surface& s, Units from, Units to, int top, int bottom) {
        const int left = devX(from);
        s.fillInk(left, top, std::max(left + 1, devX(to)), bottom);
    }

    // Draws a column-wise image at the print position: `columns` columns of
    // `bytesPerColumn` bytes (top dot in the high bit of the first), each column
    // `columnWidth` wide and each dot `dotHeight` high; then moves past it.
    void drawColumns(const std::vector<std::uint8_t>& data, int columns, int bytesPerColumn,
                     int bitsUsed, Units columnWidth, Units dotHeight) {
        printLine();
        const Units left = x_;
        Surface& s = surface();
        const int rows = bytesPerColumn * 8;
        // Rows below the sheet's foot are lost, as off a sheet.
        for (int r = 0; r < rows && y_ + r * dotHeight < sheetFoot(); ++r) {
            const int byteIndex = r / 8;
            if (r % 8 >= bitsUsed && byteIndex == bytesPerColumn - 1 && bitsUsed < 8) continue;
            const int mask = 0x80 >> (r % 8);
            const int top = devY(y_ + r * dotHeight);
            const int bottom = std::max(top + 1, devY(y_ + (r + 1) * dotHeight));
            for (int c = 0; c < columns;) {
                if (!(data[static_cast<std::size_t>(c * bytesPerColumn + byteIndex)] & mask)) {
                    ++c;
                    continue;
                }
                int e = c + 1;
                while (e < columns && (data[static_cast<std::size_t>(e * bytesPerColumn + byteIndex)] & mask)) ++e;
                const Units from = left + c * columnWidth, to = left + e * columnWidth;
                if (from < rightMargin_) ink(s, from, std::min(to, rightMargin_), top, bottom);
                c = e;
            }
        }
        x_ = std::min(rightMargin_, left + columns * columnWidth);
    }

    bool bitImage(int mode, int columns) {
        const Density d = densityOf(options_.pins, mode);
        const int bytes = d.dots == 24 ? 3 : 1;
        if (d.perInch == 0) {
            // A mode this printer lacks: its data is passed over.
            const bool wideData = mode >= 32 && mode < 64;
            const bool doubleWide = mode >= 64;
            return in_.skip(static_cast<std::size_t>(columns) * (doubleWide ? 6 : wideData ? 3 : 1));
        }
        if (!in_.take(static_cast<std::size_t>(columns) * static_cast<std::size_t>(bytes), data_)) return false;
        drawColumns(data_, columns, bytes, 8, kInch / d.perInch, d.dotHeight);
        return true;
    }

    bool nineDotImage() {
        std::uint8_t m = 0;
        int columns = 0;
        if (!read1(m) || !read2(columns)) return false;
        if (!in_.take(static_cast<std::size_t>(columns) * 2, data_)) return false;
        if (!nine()) return true;  // a 9-pin command: a 24-pin printer passes it over
        // Nine dots a column: the eighth byte's bits and the top bit of the second.
        drawColumns(data_, columns, 2, 1, kInch / (m == 0 ? 60 : 120), kInch / 72);
        return true;
    }

    bool rasterImage() {
        std::uint8_t c = 0, v = 0, h = 0, m = 0;
        int columns = 0;
        if (!read1(c) || !read1(v) || !read1(h) || !read1(m) || !read2(columns)) return false;
        const std::size_t perRow = (static_cast<std::size_t>(columns) + 7) / 8;
        const std::size_t size = perRow * m;
        if (c == 1) {
            // Run-length: a count below 128 takes that many bytes plus one as they
            // stand, one above repeats the next byte 257 minus the count times.
            data_.clear();
            while (data_.size() < size) {
                std::uint8_t count = 0, byte = 0;
                if (!read1(count)) return false;
                if (count < 128) {
                    for (int k = 0; k <= count; ++k) {
                        if (!read1(byte)) return false;
                        data_.push_back(byte);
                    }
                } else {
                    if (!read1(byte)) return false;
                    data_.insert(data_.end(), static_cast<std::size_t>(257 - count), byte);
                }
            }
            data_.resize(size);
        } else if (!in_.take(size, data_)) {
            return false;
        }
        if (v == 0 || h == 0) return true;
        printLine();
        Surface& s = surface();
        const Units dotW = h * (kInch / 3600), dotH = v * (kInch / 3600);
        const Units left = x_;
        for (int r = 0; r < m && y_ + r * dotH < sheetFoot(); ++r) {
            const std::uint8_t* row = data_.data() + static_cast<std::size_t>(r) * perRow;
            const int top = devY(y_ + r * dotH);
            const int bottom = std::max(top + 1, devY(y_ + (r + 1) * dotH));
            for (int k = 0; k < columns;) {
                if (!(row[k / 8] & (0x80 >> (k % 8)))) {
                    ++k;
                    continue;
                }
                int e = k + 1;
                while (e < columns && (row[e / 8] & (0x80 >> (e % 8)))) ++e;
                const Units from = left + k * dotW, to = left + e * dotW;
                if (from < rightMargin_) ink(s, from, std::min(to, rightMargin_), top, bottom);
                k = e;
            }
        }
        x_ = std::min(rightMargin_, left + columns * dotW);
        return true;
    }

    const Options options_;
    const Paper paper_;
    Reader in_;
    PageTarget& target_;

    int pages_ = 1;
    std::int64_t pendingPages_ = 0;
    bool fresh_ = true;
    bool endedByItself_ = false;  // the last page ended at its length; nothing drawn since
    Units fitNum_ = 1, fitDen_ = 1;  // the current page's scale onto the sheet
    static constexpr Units kUnbounded = std::numeric_limits<Units>::max() / 4;
    Units sheetHolds_ = kUnbounded;  // the job page's length the current sheet holds

    Units x_ = 0, y_ = 0;
    Units leftMargin_ = 0, rightMargin_ = 0, topMargin_ = 0, bottomMargin_ = 0;
    Units pageLength_ = 0, skip_ = 0, lineSpacing_ = 0, extraSpace_ = 0;
    Units pitch_ = kPica;
    Units commandUnit_ = kInch / 360;
    bool condensed_ = false, soWidth_ = false, doubleStrike_ = false;
    Look look_;
    std::vector<Units> tabs_;
    bool tabsSet_ = false;
    std::vector<Units> verticalTabs_;
    std::array<std::optional<CodePage>, 4> slots_{};
    std::size_t table_ = 1;
    int national_ = 0;
    bool printUpper_ = true;
    std::array<int, 4> remap_{0, 1, 2, 3};

    std::vector<Glyph> line_;
    std::string run_;
    std::vector<std::uint8_t> data_;
};

}  // namespace

int Interpreter::run(ByteSource& in, PageTarget& target) {
    Machine machine(options_, paper_, in, target);
    return machine.run();
}

}  // namespace nx::escp
