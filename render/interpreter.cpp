#include "render/interpreter.h"

#include <utility>

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
            const std::string_view run = line.substr(start, i - start);
            surface_->drawText(x_, y_, run);
            x_ += surface_->textWidth(run);
        }
    }
}

void LineInterpreter::drawBox(Surface& s, std::uint8_t boxCode, int x, int y, int w, int h) {
    const int cx = x + half(w);
    const int cy = y + half(h);
    switch (boxCode) {
        case 20:  // │
            s.moveTo(cx, y);
            s.lineTo(cx, y + h);
            break;
        case 21:  // ┤
            s.moveTo(cx, y);
            s.lineTo(cx, y + h);
            s.moveTo(x, cy);
            s.lineTo(cx, cy);
            break;
        case 22:  // ┐
            s.moveTo(x, cy);
            s.lineTo(cx, cy);
            s.lineTo(cx, y + h);
            break;
        case 23:  // └
            s.moveTo(cx, y);
            s.lineTo(cx, cy);
            s.lineTo(x + w, cy);
            break;
        case 24:  // ┴
            s.moveTo(cx, y);
            s.lineTo(cx, cy);
            s.moveTo(x, cy);
            s.lineTo(x + w, cy);
            break;
        case 25:  // ┬
            s.moveTo(cx, cy);
            s.lineTo(cx, y + h);
            s.moveTo(x, cy);
            s.lineTo(x + w, cy);
            break;
        case 26:  // ├
            s.moveTo(cx, y);
            s.lineTo(cx, y + h);
            s.moveTo(cx, cy);
            s.lineTo(x + w, cy);
            break;
        case 27:  // ─
            s.moveTo(x, cy);
            s.lineTo(x + w, cy);
            break;
        case 28:  // ┼
            s.moveTo(cx, y);
            s.lineTo(cx, y + h);
            s.moveTo(x, cy);
            s.lineTo(x + w, cy);
            break;
        case 29:  // ┘
            s.moveTo(x, cy);
            s.lineTo(cx, cy);
            s.lineTo(cx, y);
            break;
        case 30:  // ┌
            s.moveTo(cx, y + h);
            s.lineTo(cx, cy);
            s.lineTo(x + w, cy);
            break;
        default: break;
    }
}

}  // namespace nx
