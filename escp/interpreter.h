// The ESC/P interpreter: a dot-matrix printer's state (print position, margins,
// pitch, line spacing, page length, tabs, character tables, print modes) driven by
// the bytes of a job, drawing on the same surfaces and print jobs as the line
// interpreter. Positions are kept in 1/21600 inch, a unit every ESC/P step divides
// without remainder, and turned into device units only when drawn, so nothing drifts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "escp/codepages.h"
#include "platform/surface.h"

namespace nx::escp {

inline constexpr std::int64_t kUnitsPerInch = 21600;
// The printer's line: its carriage, 80 columns at 10 characters an inch (the 9-pin
// and 24-pin families alike). Nothing wraps before it, whatever the paper.
inline constexpr std::int64_t kCarriage = 8 * kUnitsPerInch;

enum class Pins { Nine = 9, TwentyFour = 24 };

struct Options {
    Pins pins = Pins::TwentyFour;
    CodePage codePage = CodePage::Cp437;
};

// The paper and the device the job is drawn on.
struct Paper {
    int dpiX = 600;
    int dpiY = 600;
    std::int64_t width = 210 * kUnitsPerInch * 10 / 254;   // A4
    std::int64_t height = 297 * kUnitsPerInch * 10 / 254;
    // The length the device prints on, from the job's origin (0: the paper below
    // it). A job page longer than that is scaled down to fit, keeping its
    // proportions; one job page is one sheet.
    std::int64_t printableHeight = 0;
    // The width the device prints on right of the origin (0: the paper right of
    // it). A carriage's line (kCarriage) wider than that is fitted the same way.
    std::int64_t printableWidth = 0;
    // Where the job's origin lies from the device's corner (a PDF page that is the
    // whole sheet keeps a printer's printable area).
    std::int64_t originX = 0;
    std::int64_t originY = 0;
    // How far the page is moved on the sheet, right and down, after fitting: a pure
    // move, never a change of scale; what it moves past the sheet's edge is cut.
    std::int64_t offsetX = 0;
    std::int64_t offsetY = 0;

    static Paper a4(int dpiX, int dpiY) { return Paper{dpiX, dpiY}; }
    // The paper's size in device units.
    int deviceWidth() const { return static_cast<int>(width * dpiX / kUnitsPerInch); }
    int deviceHeight() const { return static_cast<int>(height * dpiY / kUnitsPerInch); }
};

// Where the pages go: a print job, or one page of the preview.
class PageTarget {
public:
    virtual ~PageTarget() = default;
    // The current page's surface.
    virtual Surface& surface() = 0;
    // The next page begins.
    virtual void newPage() = 0;
};

// The job's bytes, read in blocks.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `max` bytes into `out`; 0 at the end of the job.
    virtual std::size_t read(std::uint8_t* out, std::size_t max) = 0;
};

class Interpreter {
public:
    Interpreter(const Options& options, const Paper& paper) : options_(options), paper_(paper) {}

    // Interprets the whole job onto `target`, whose first page has begun. Pages
    // left empty at the end are not begun. Returns the number of pages drawn on
    // (at least 1). A sequence cut short by the end of the job ends it.
    int run(ByteSource& in, PageTarget& target);

private:
    Options options_;
    Paper paper_;
};

}  // namespace nx::escp
