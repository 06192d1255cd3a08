// The sheet a job's pages are laid out on. Every output takes it from the job's
// document: the printer gets its paper, the PDF its page size, the preview its
// image size. Lengths are kept in 1/21600 inch, a unit that millimetres, points
// and every printer step divide into without drift.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

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
// "Letter", "Legal"), matched without regard to case.
std::optional<PaperSize> paperNamed(std::string_view name);
// The name of one of those papers ("A4" for any other).
std::string_view paperName(const PaperSize& paper);
// Their names, in the order a list offers them.
inline constexpr std::string_view kPaperNames[] = {"A4", "A5", "Letter", "Legal"};

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

    // The paper a print of the job goes on when the output has no paper of its own.
    PaperSize paperOr(PaperSize fallback) const { return paper.value_or(fallback); }
};

}  // namespace nx
