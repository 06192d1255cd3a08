#include "render/calibration_page.h"

#include "render/interpreter.h"

namespace nx {

namespace {

std::int64_t mm(double millimetres) { return sheetUnitsOfMillimetres(millimetres); }

}  // namespace

CalibrationPage::CalibrationPage(FileSystem& fs, const Sheet& sheet, std::string line, std::string rawCopy)
    : sheet_(sheet), line_(std::move(line)), rawCopy_(std::move(rawCopy)) {
    if (rawCopy_.empty()) return;
    // The printer's own page: reset, the naming line, a ruler of tenths of an inch
    // numbered every inch, a form feed.
    std::string bytes = "\x1b@";
    for (unsigned char c : line_) bytes += c < 0x80 ? static_cast<char>(c) : '?';
    bytes += "\r\n\r\n";
    for (int inch = 0; inch < 8; ++inch) bytes += std::to_string(inch) + std::string(9, ' ');
    bytes += "\r\n";
    for (int tenth = 0; tenth < 80; ++tenth) bytes += tenth % 10 == 0 ? '|' : tenth % 5 == 0 ? '+' : '-';
    bytes += "\r\n\x0c";
    ByteFile out(fs);
    out.assign(rawCopy_);
    check(out.rewrite());
    try {
        check(out.writeBlock(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    } catch (...) {
        (void)out.close();
        throw;
    }
    check(out.close());
}

PageSize CalibrationPage::pageSize(Surface&, int dpi) {
    const PaperSize paper = sheet_.paperOr(kA4);
    return {deviceUnits(paper.width, dpi), deviceUnits(paper.height, dpi), dpi};
}

DrawnPage CalibrationPage::drawPage(int page, Surface& image, const PageSize& size, Progress& progress) {
    image.fillRect(0, 0, size.width, size.height);
    const PaperSize paper = sheet_.paperOr(kA4);
    if (page == 1) {
        // As a PDF page of the sheet shows it: the printable area 1/6 inch in.
        if (!sheet_.backgrounds.empty()) image.drawBackground(sheet_.backgrounds.front(), 1);
        draw(image, size.dpi, kSheetMargin, paper.width - kSheetMargin, paper.height - 2 * kSheetMargin);
    }
    progress.setMaximum(100);
    progress.setPosition(100);
    return {0, page > 1};
}

void CalibrationPage::print(PrintJob& job, const PrintRun& run, Progress&) {
    job.setTitle(kTitle);
    job.setLandscape(false);
    if (!job.begin()) throw IoError(160);
    try {
        const PaperSize paper = sheet_.paperOr(kA4);
        if (!sheet_.backgrounds.empty()) job.surface().drawBackground(sheet_.backgrounds.front(), 1);
        if (run.wholeSheet && sheet_.paper)
            draw(job.surface(), run.dpi, kSheetMargin, paper.width - kSheetMargin, paper.height - 2 * kSheetMargin);
        else
            draw(job.surface(), run.dpi, 0, run.printableWidth > 0 ? run.printableWidth : paper.width,
                 run.printableHeight > 0 ? run.printableHeight : paper.height);
        job.end();
    } catch (...) {
        job.abort();
        throw;
    }
}

void CalibrationPage::draw(Surface& s, int dpi, std::int64_t origin, std::int64_t width, std::int64_t height) const {
    auto dev = [dpi, origin](std::int64_t units) { return deviceUnits(units + origin, dpi); };  // a place
    auto len = [dpi](std::int64_t units) { return deviceUnits(units, dpi); };                  // a length
    const int right = dev(width) - 1, bottom = dev(height) - 1, left = dev(0), top = dev(0);
    // The printable area's frame.
    s.moveTo(left, top);
    s.lineTo(right, top);
    s.lineTo(right, bottom);
    s.lineTo(left, bottom);
    s.lineTo(left, top);
    // Rulers from the printable corner: a tick every millimetre, longer every 5,
    // numbered every 10.
    s.setFontFace(kFontFace);
    s.setFontSize(7);
    s.setBold(false);
    for (int m = 1; mm(m) < width; ++m) {
        const int x = dev(mm(m)), length = len(mm(m % 10 == 0 ? 4 : m % 5 == 0 ? 2.5 : 1.5));
        s.moveTo(x, top);
        s.lineTo(x, top + length);
        if (m % 10 == 0) s.drawText(x + 2, top + length, std::to_string(m));
    }
    for (int m = 1; mm(m) < height; ++m) {
        const int y = dev(mm(m)), length = len(mm(m % 10 == 0 ? 4 : m % 5 == 0 ? 2.5 : 1.5));
        s.moveTo(left, y);
        s.lineTo(left + length, y);
        if (m % 10 == 0) s.drawText(left + length + 2, y - s.textHeight("0") / 2, std::to_string(m));
    }
    // The cross where a job's page begins, moved by the offset.
    const int x = dev(sheet_.offsetX), y = dev(sheet_.offsetY), arm = len(mm(6));
    s.moveTo(x - arm, y);
    s.lineTo(x + arm, y);
    s.moveTo(x, y - arm);
    s.lineTo(x, y + arm);
    // The naming line, below the rulers.
    s.setFontSize(10);
    s.drawText(dev(mm(20)), dev(mm(20)), line_);
}

void CalibrationPage::exportText(TextFile& target, Progress&) {
    try {
        check(target.writeLine(line_));
    } catch (...) {
        (void)target.close();
        throw;
    }
    check(target.close());
}

void CalibrationPage::writeText(TextFile& target, Progress& progress) { exportText(target, progress); }

}  // namespace nx
