// The calibration page of a watched folder's route: the printable area's frame,
// millimetre rulers along its top and left edges numbered every 10 mm, a cross
// where a job's page begins once moved by the offset, and one line naming the
// folder, the printer, the paper and the offset. A user lays it over a pre-printed
// form and reads off the offset to enter. It is a document like a job, so it goes
// the folder's route: drawn on its sheet, or, for a raw route, as a short ESC/P page
// of its own (the naming line and a ruler of tenths of an inch).
#pragma once

#include <string>

#include "platform/document.h"

namespace nx {

class CalibrationPage final : public Document {
public:
    // `line` (UTF-8) names the route; `rawCopy` is where the ESC/P page is written
    // for a raw route (empty: none is written). Writing it raises IoError.
    CalibrationPage(FileSystem& fs, const Sheet& sheet, std::string line, std::string rawCopy = {});

    const Sheet& sheet() const override { return sheet_; }
    const std::string& file() const override { return rawCopy_; }
    PageSize pageSize(Surface& metrics, int dpi) override;
    int pageCount(Progress&) override { return 1; }
    int lastPage(Progress&) override { return 1; }
    DrawnPage drawPage(int page, Surface& image, const PageSize& size, Progress& progress) override;
    void print(PrintJob& job, const PrintRun& run, Progress& progress) override;
    void exportText(TextFile& target, Progress& progress) override;
    TextBytes textBytes() const override { return TextBytes::Utf8; }
    void writeText(TextFile& target, Progress& progress) override;

    // The title of its print job (code page 1250): "Próbaoldal".
    static constexpr std::string_view kTitle = "Pr\xf3" "baoldal";

private:
    // The page on `s` at `dpi`, within a printable area of `width` by `height` sheet
    // units from its corner, which lies `origin` right of and below the device's.
    void draw(Surface& s, int dpi, std::int64_t origin, std::int64_t width, std::int64_t height) const;

    Sheet sheet_;
    std::string line_;
    std::string rawCopy_;
};

}  // namespace nx
