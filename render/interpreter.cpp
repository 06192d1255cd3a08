#include "render/interpreter.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/cp1250_utf8.h"

namespace nx {

namespace {
constexpr std::string_view kW = "W";
constexpr std::string_view kU = "u";
}  // namespace

LineInterpreter::LineInterpreter(const Settings& settings, std::function<bool()> variableLineHeight)
    : settings_(settings), variableLineHeight_(std::move(variableLineHeight)) {}

void LineInterpreter::startRun(Surface& surface, int x0, int y0) {
    surface_ = &surface;
    surface.setFontFace(kFontFace);
    surface.setFontSize(settings_.normal);
    surface.setBold(false);
    cellW_ = surface.textWidth(kW);
    cellH_ = surface.textHeight(kW);
    savedSize_ = settings_.normal;
    x0_ = x0;
    y0_ = y0;
    x_ = x0;
    y_ = y0;
    lineH_ = 0;
}

void LineInterpreter::setSurface(Surface& surface) {
    if (&surface == surface_) return;
    if (surface_) {
        const int size = surface_->fontSize();
        const bool bold = surface_->bold();
        surface.setFontFace(kFontFace);
        surface.setFontSize(size);
        surface.setBold(bold);
    }
    surface_ = &surface;
}

void LineInterpreter::startLine() { lineH_ = variable() ? 0 : cellH_; }

void LineInterpreter::endLine() {
    y_ += lineH_ + kLineGap;
    x_ = x0_;
}

bool LineInterpreter::act(std::uint8_t b, const FormFeedAction& formFeed) {
    Surface& s = *surface_;
    switch (b) {
        case code::kBoldOn: s.setBold(true); break;
        case code::kBoldOff: s.setBold(false); break;
        case code::kCondensed:
            savedSize_ = s.fontSize();
            s.setFontSize(settings_.condensed);
            break;
        case code::kRestoreSize: s.setFontSize(savedSize_); break;
        case code::kElite: s.setFontSize(settings_.elite); break;
        case code::kNormal:
        case code::kNormal2: s.setFontSize(settings_.normal); break;
        case code::kDouble: s.setFontSize(settings_.dbl); break;
        case code::kSpace: x_ += s.textWidth(kU); break;
        case code::kFormFeed: return formFeed ? formFeed(*this) : false;
        case code::kCarriageReturn:
            x_ = x0_;
            s.moveTo(x0_, y_);
            break;
        default:
            if (b >= code::kBoxFirst && b <= code::kBoxLast) {
                drawBox(s, b, x_, y_, cellW_, cellH_);
                x_ += cellW_;
            }
            // 0, 5, 10, 14..19 and 31: nothing.
            break;
    }
    return false;
}

void LineInterpreter::interpretLine(std::string_view line, const FormFeedAction& formFeed) {
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        const auto b = static_cast<std::uint8_t>(line[i]);
        bool dropRest = false;
        if (b < code::kTextFirst) dropRest = act(b, formFeed);
        // The check box is read afresh at every step. The form-feed action may have
        // moved to another surface.
        const bool variableNow = variable();
        if (b < 10) cellW_ = surface_->textWidth(kW);
        if (variableNow && b >= 1 && b <= 9) cellH_ = surface_->textHeight(kW);
        const int h = surface_->textHeight(kW);
        if (h > lineH_) lineH_ = h;
        if (dropRest) {
            i = n;
        } else if (b < code::kTextFirst) {
            ++i;  // every control byte, 31 included, is used up by its step
        }
        const std::size_t start = i;
        while (i < n && static_cast<std::uint8_t>(line[i]) >= code::kTextFirst) ++i;
        if (i > start) {
            // The surface takes UTF-8: the code page 1250 run is converted here,
            // unless it is plain ASCII already.
            std::string_view run = line.substr(start, i - start);
            if (std::any_of(run.begin(), run.end(), [](char c) { return (c & 0x80) != 0; })) {
                utf8_.clear();
                appendCp1250AsUtf8(utf8_, run);
                run = utf8_;
            }
            surface_->drawText(x_, y_, run);
            x_ += surface_->textWidth(run);
        }
    }
}

namespace {

// The points a box cell's pen lines join: the middles of its four edges and its
// centre.
enum class BoxPoint : std::uint8_t { None, Top, Bottom, Left, Right, Centre };

// Each box code (20 to 30) as up to two pen strokes: move to the first point, draw
// to the next ones.
using Stroke = std::array<BoxPoint, 3>;
struct BoxShape {
    std::array<Stroke, 2> strokes;
};
constexpr BoxPoint T = BoxPoint::Top, B = BoxPoint::Bottom, L = BoxPoint::Left,
                   R = BoxPoint::Right, C = BoxPoint::Centre, N = BoxPoint::None;
constexpr std::array<BoxShape, 11> kBoxShapes = {{
    {{{{T, B, N}, {N, N, N}}}},  // 20 │
    {{{{T, B, N}, {L, C, N}}}},  // 21 ┤
    {{{{L, C, B}, {N, N, N}}}},  // 22 ┐
    {{{{T, C, R}, {N, N, N}}}},  // 23 └
    {{{{T, C, N}, {L, R, N}}}},  // 24 ┴
    {{{{C, B, N}, {L, R, N}}}},  // 25 ┬
    {{{{T, B, N}, {C, R, N}}}},  // 26 ├
    {{{{L, R, N}, {N, N, N}}}},  // 27 ─
    {{{{T, B, N}, {L, R, N}}}},  // 28 ┼
    {{{{L, C, T}, {N, N, N}}}},  // 29 ┘
    {{{{B, C, R}, {N, N, N}}}},  // 30 ┌
}};

}  // namespace

void LineInterpreter::drawBox(Surface& s, std::uint8_t boxCode, int x, int y, int w, int h) {
    if (boxCode < 20 || boxCode > 30) return;
    const int cx = x + half(w);
    const int cy = y + half(h);
    auto at = [&](BoxPoint p) -> std::pair<int, int> {
        switch (p) {
            case BoxPoint::Top: return {cx, y};
            case BoxPoint::Bottom: return {cx, y + h};
            case BoxPoint::Left: return {x, cy};
            case BoxPoint::Right: return {x + w, cy};
            case BoxPoint::Centre:
            case BoxPoint::None: break;
        }
        return {cx, cy};
    };
    for (const Stroke& stroke : kBoxShapes[static_cast<std::size_t>(boxCode - 20)].strokes) {
        if (stroke[0] == BoxPoint::None) continue;
        const auto [mx, my] = at(stroke[0]);
        s.moveTo(mx, my);
        for (std::size_t k = 1; k < stroke.size() && stroke[k] != BoxPoint::None; ++k) {
            const auto [lx, ly] = at(stroke[k]);
            s.lineTo(lx, ly);
        }
    }
}

}  // namespace nx
