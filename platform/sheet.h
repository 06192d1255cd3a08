// The sheet a job's pages are laid out on. Every output takes it from the job's
// document: the printer gets its paper, the PDF its page size, the preview its
// image size. Lengths are kept in 1/21600 inch, a unit that millimetres, points
// and every printer step divide into without drift.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nx {

inline constexpr std::int64_t kSheetUnitsPerInch = 21600;

// A paper size in sheet units.
struct PaperSize {
    std::int64_t width = 0;
    std::int64_t height = 0;

    static constexpr PaperSize millimetres(std::int64_t width, std::int64_t height) {
        return {width * kSheetUnitsPerInch * 10 / 254, height * kSheetUnitsPerInch * 10 / 254};
    }
    bool operator==(const PaperSize&) const = default;
};

inline constexpr PaperSize kA4 = PaperSize::millimetres(210, 297);
inline constexpr PaperSize kA5 = PaperSize::millimetres(148, 210);
inline constexpr PaperSize kLetter = {kSheetUnitsPerInch * 17 / 2, kSheetUnitsPerInch * 11};
inline constexpr PaperSize kLegal = {kSheetUnitsPerInch * 17 / 2, kSheetUnitsPerInch * 14};

// The papers a job can be laid out on, by the names users give them ("A4", "A5",
// "Letter", "Legal"), matched without regard to case, or as "WxH" in millimetres
// (each from 50 to 600, a decimal point allowed: "240x305", "216x177.8").
std::optional<PaperSize> paperNamed(std::string_view name);
// The name of a paper: one of the four names, or "WxH" in millimetres.
std::string paperName(const PaperSize& paper);
// The four names, in the order a list offers them.
inline constexpr std::string_view kPaperNames[] = {"A4", "A5", "Letter", "Legal"};
// A paper of its own size: its width and height in millimetres, each from 50 to
// 600. Nothing when out of range.
std::optional<PaperSize> paperOfMillimetres(double width, double height);
inline constexpr double kMinPaperMillimetres = 50;
inline constexpr double kMaxPaperMillimetres = 600;
// A paper's width and height in millimetres (rounded to hundredths).
std::pair<double, double> millimetresOf(const PaperSize& paper);
// A length in millimetres as a folder's keys write it: no locale, at most two
// decimals, no trailing zeros ("240", "177.8").
std::string millimetreText(double mm);

// Where a PDF page and the preview put a job laid out on a paper of its own: an
// office printer's printable area, the job's origin this far from the sheet's top
// and left edges (1/6 inch, 4.23 mm), and the job fitted between it and as far
// above the foot, and right of it to the sheet's right edge.
inline constexpr std::int64_t kSheetMargin = kSheetUnitsPerInch / 6;

// Millimetres as sheet units, rounded.
std::int64_t sheetUnitsOfMillimetres(double mm);

// A length in sheet units as device units at `dpi` (truncated).
constexpr int deviceUnits(std::int64_t length, int dpi) {
    return static_cast<int>(length * dpi / kSheetUnitsPerInch);
}

struct Sheet {
    // The paper the job's pages are laid out on. None: the print job's own paper,
    // as the printer is set up (a PDF is A4), with the job drawn from the
    // printable corner.
    std::optional<PaperSize> paper;
    // How far the job's page is moved on the paper, right and down, in sheet units
    // (a form printed on pre-printed paper).
    std::int64_t offsetX = 0;
    std::int64_t offsetY = 0;
    // Files drawn under the job on every sheet, at the sheet's full size (host
    // paths: images, or PDFs whose page N lies under the job's page N): the whole
    // job is printed once under each, in turn. None: plain paper, one copy.
    std::vector<std::string> backgrounds = {};

    // The paper a print of the job goes on when the output has no paper of its own.
    PaperSize paperOr(PaperSize fallback) const { return paper.value_or(fallback); }
};

}  // namespace nx
