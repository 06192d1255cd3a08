// Recording fakes for tests: a drawing surface, a print job, a progress bar and the
// program services. Each records every call, so that tests assert exact coordinates
// and exact call orders.
//
// Metrics of the recording surface (device units, whatever the face):
//   advance of one character = point size, + 1 when bold  ("W" at 11 pt is 11 wide)
//   height of any text   = 2 * point size + 1           ("W" at 11 pt is 23 high)
//   width of a text      = the sum of its characters' advances (texts are UTF-8);
//                          the empty text is 0 wide.
// Odd widths and heights make the truncating halves of box cells visible. A single
// byte can be given another advance with setAdvance() (e.g. a narrow "u").
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/printjob.h"
#include "platform/progress.h"
#include "platform/surface.h"
#include "platform/utf8.h"

namespace nx::test {

// Bytes as hex pairs ("4142" for "AB").
inline std::string hexBytes(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

class RecordingSurface : public Surface {
public:
    enum class Kind { Face, Size, Bold, Width, Height, Text, Move, Line, Fill, Ink, Italic, Stretch };

    // One recorded call. Drawing calls carry the font state and page they ran in.
    struct Op {
        Kind kind;
        int page = 0;        // the page counter when the call was made (see RecordingPrintJob)
        int x = 0, y = 0;    // Text: top-left; Move: target; Line: from; Fill: x1, y1
        int x2 = 0, y2 = 0;  // Line: to; Fill: x2, y2
        std::string text;    // Face, Width, Height, Text
        int size = 0;        // font size in force (Size: the new size)
        bool bold = false;   // bold in force (Bold: the new state)
        int stretch = 100;   // width in percent in force; Ink: the grey in percent
        bool italic = false;
    };

    struct TextRun {
        int page, x, y;
        std::string text;
        int size;
        bool bold;
        bool operator==(const TextRun&) const = default;
    };
    struct Segment {
        int page, x1, y1, x2, y2;
        bool operator==(const Segment&) const = default;
    };

    std::vector<Op> ops;
    int page = 0;  // stamped on every recorded call; a print job advances it
    // Measurements (textWidth, textHeight) are recorded too unless switched off,
    // which keeps long runs lean where only the drawing is checked (fuzzing).
    bool recordMeasurements = true;

    // --- metrics ---------------------------------------------------------------
    int advance(char32_t c) const {
        const int set = c < advances_.size() ? advances_[c] : kSizeAdvance;
        const int base = set != kSizeAdvance ? set : size_;
        return (base + (bold_ ? 1 : 0)) * stretch_ / 100;
    }
    // Texts are UTF-8: every character advances once.
    int width(std::string_view text) const {
        int w = 0;
        forEachCodePoint(text, [&](char32_t c) { w += advance(c); });
        return w;
    }
    int height() const { return 2 * size_ + 1; }
    // Gives `byte` an advance of `points` (+1 when bold) instead of the point size.
    void setAdvance(unsigned char byte, int points) { advances_[byte] = points; }

    // --- Surface -----------------------------------------------------------------
    void setFontFace(std::string_view face) override {
        face_ = std::string(face);
        record(Kind::Face).text = face_;
    }
    void setFontSize(int points) override {
        size_ = points;
        record(Kind::Size);
    }
    int fontSize() const override { return size_; }
    void setBold(bool bold) override {
        bold_ = bold;
        record(Kind::Bold);
    }
    bool bold() const override { return bold_; }
    int textWidth(std::string_view text) override {
        if (recordMeasurements) record(Kind::Width).text = std::string(text);
        return width(text);
    }
    int textHeight(std::string_view text) override {
        if (recordMeasurements) record(Kind::Height).text = std::string(text);
        return text.empty() ? 0 : height();
    }
    void drawText(int x, int y, std::string_view text) override {
        Op& op = record(Kind::Text);
        op.x = x;
        op.y = y;
        op.text = std::string(text);  // the pen stays where it was
    }
    void moveTo(int x, int y) override {
        Op& op = record(Kind::Move);
        op.x = x;
        op.y = y;
        penX_ = x;
        penY_ = y;
    }
    void lineTo(int x, int y) override {
        Op& op = record(Kind::Line);
        op.x = penX_;
        op.y = penY_;
        op.x2 = x;
        op.y2 = y;
        penX_ = x;
        penY_ = y;
    }
    void fillRect(int x1, int y1, int x2, int y2) override {
        Op& op = record(Kind::Fill);
        op.x = x1;
        op.y = y1;
        op.x2 = x2;
        op.y2 = y2;
    }
    void setItalic(bool italic) override {
        italic_ = italic;
        record(Kind::Italic);
    }
    void setFontStretch(int percent) override {
        stretch_ = percent;
        record(Kind::Stretch);
    }
    void fillInk(int x1, int y1, int x2, int y2, int percent) override {
        Op& op = record(Kind::Ink);
        op.x = x1;
        op.y = y1;
        op.x2 = x2;
        op.y2 = y2;
        op.stretch = percent;
    }

    // --- queries -----------------------------------------------------------------
    const std::string& face() const { return face_; }
    int penX() const { return penX_; }
    int penY() const { return penY_; }

    std::vector<TextRun> texts() const {
        std::vector<TextRun> out;
        for (const Op& op : ops)
            if (op.kind == Kind::Text) out.push_back({op.page, op.x, op.y, op.text, op.size, op.bold});
        return out;
    }
    std::vector<Segment> lines() const {
        std::vector<Segment> out;
        for (const Op& op : ops)
            if (op.kind == Kind::Line) out.push_back({op.page, op.x, op.y, op.x2, op.y2});
        return out;
    }
    std::vector<Op> ofKind(Kind kind) const {
        std::vector<Op> out;
        for (const Op& op : ops)
            if (op.kind == kind) out.push_back(op);
        return out;
    }
    // Drawing calls only (text, move, line, fill), one per line, e.g.
    // "T 8 8 4142" / "M 13 8" / "L 13 8 13 31" / "R 0 0 640 480"; page-prefixed
    // ("2: ...") when `withPage`.
    std::string drawing(bool withPage = false) const {
        std::ostringstream out;
        for (const Op& op : ops) {
            if (op.kind != Kind::Text && op.kind != Kind::Move && op.kind != Kind::Line &&
                op.kind != Kind::Fill)
                continue;
            if (withPage) out << op.page << ": ";
            switch (op.kind) {
                case Kind::Text: out << "T " << op.x << ' ' << op.y << ' ' << hexBytes(op.text); break;
                case Kind::Move: out << "M " << op.x << ' ' << op.y; break;
                case Kind::Line: out << "L " << op.x << ' ' << op.y << ' ' << op.x2 << ' ' << op.y2; break;
                default: out << "R " << op.x << ' ' << op.y << ' ' << op.x2 << ' ' << op.y2; break;
            }
            out << '\n';
        }
        return out.str();
    }
    void clear() { ops.clear(); }

    // Whether `a` and `b` make the same drawing calls (as drawing() lists them), the
    // first `skipA` drawing calls of `a` left out; compared call by call, without text.
    static bool sameDrawing(const RecordingSurface& a, std::size_t skipA, const RecordingSurface& b) {
        auto drawingCall = [](const Op& op) {
            return op.kind == Kind::Text || op.kind == Kind::Move || op.kind == Kind::Line ||
                   op.kind == Kind::Fill;
        };
        auto ia = a.ops.begin(), ib = b.ops.begin();
        for (;;) {
            while (ia != a.ops.end() && (!drawingCall(*ia) || (skipA > 0 && skipA--))) ++ia;
            while (ib != b.ops.end() && !drawingCall(*ib)) ++ib;
            if (ia == a.ops.end() || ib == b.ops.end()) return ia == a.ops.end() && ib == b.ops.end();
            if (ia->kind != ib->kind || ia->x != ib->x || ia->y != ib->y) return false;
            if (ia->kind == Kind::Text && ia->text != ib->text) return false;
            if ((ia->kind == Kind::Line || ia->kind == Kind::Fill) && (ia->x2 != ib->x2 || ia->y2 != ib->y2))
                return false;
            ++ia;
            ++ib;
        }
    }

private:
    Op& record(Kind kind) {
        Op& op = ops.emplace_back();
        op.kind = kind;
        op.page = page;
        op.size = size_;
        op.bold = bold_;
        op.stretch = stretch_;
        op.italic = italic_;
        return op;
    }

    std::string face_;
    int size_ = 10;
    bool bold_ = false;
    bool italic_ = false;
    int stretch_ = 100;
    int penX_ = 0, penY_ = 0;
    static constexpr int kSizeAdvance = -1;  // the byte advances by the point size
    std::array<int, 256> advances_ = [] {
        std::array<int, 256> a{};
        a.fill(kSizeAdvance);
        return a;
    }();
};

inline std::ostream& operator<<(std::ostream& os, const RecordingSurface::TextRun& t) {
    return os << "{page " << t.page << " (" << t.x << ',' << t.y << ") \"" << t.text << "\" "
              << t.size << (t.bold ? " bold" : "") << '}';
}
inline std::ostream& operator<<(std::ostream& os, const RecordingSurface::Segment& s) {
    return os << "{page " << s.page << " (" << s.x1 << ',' << s.y1 << ")-(" << s.x2 << ','
              << s.y2 << ")}";
}

// A print job on one recording surface. Pages count from 1: begin() opens page 1,
// newPage() the next; the surface stamps its calls with the page. `log` holds the
// job calls in order ("title <hex>", "landscape 0|1", "begin", "newPage", "end",
// "abort"); a surface() call outside begin()..end() is logged as "surface outside job".
class RecordingPrintJob : public PrintJob {
public:
    RecordingSurface page;
    std::vector<std::string> log;
    std::string title;
    bool landscape = false;
    bool began = false, ended = false, aborted = false;
    bool beginResult = true;  // what begin() answers
    int pages = 0;            // pages opened

    void setTitle(std::string_view cp1250Title) override {
        title = std::string(cp1250Title);
        log.push_back("title " + hexBytes(title));
    }
    void setLandscape(bool value) override {
        landscape = value;
        log.push_back(std::string("landscape ") + (value ? "1" : "0"));
    }
    bool begin() override {
        log.push_back("begin");
        if (!beginResult) return false;
        began = true;
        pages = 1;
        page.page = 1;
        return true;
    }
    void newPage() override {
        log.push_back("newPage");
        ++pages;
        page.page = pages;
    }
    void end() override {
        log.push_back("end");
        ended = true;
    }
    void abort() override {
        log.push_back("abort");
        aborted = true;
    }
    Surface& surface() override {
        if (!began || ended || aborted) log.push_back("surface outside job");
        return page;
    }
};

// A progress bar that records every call ("max N", "pos N", "step N", "stepIt")
// and keeps the resulting state.
class RecordingProgress : public Progress {
public:
    std::vector<std::string> log;
    std::int64_t maximum = 100;
    std::int64_t position = 0;
    int step = 1;

    void setMaximum(std::int64_t value) override {
        maximum = value;
        log.push_back("max " + std::to_string(value));
    }
    void setPosition(std::int64_t value) override {
        position = value;
        log.push_back("pos " + std::to_string(value));
    }
    void setStep(int value) override {
        step = value;
        log.push_back("step " + std::to_string(value));
    }
    void stepIt() override {
        position += step;
        log.push_back("stepIt");
    }
    // Positions set, in order.
    std::vector<std::int64_t> positions() const {
        std::vector<std::int64_t> out;
        for (const std::string& e : log)
            if (e.rfind("pos ", 0) == 0) out.push_back(std::stoll(e.substr(4)));
        return out;
    }
};

// Program services that record the termination requests and error boxes.

}  // namespace nx::test
