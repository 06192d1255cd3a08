#include "escp/document.h"

#include "escp/job.h"

namespace nx::escp {

static_assert(kUnitsPerInch == kSheetUnitsPerInch, "the interpreter's unit is the sheet's");

namespace {

// Writes the text `make` gives into the open `target` and closes it; closed on a
// failure too, so that a later export to it works, and the first failure is what
// is raised.
template <class MakeText>
void writeAll(TextFile& target, MakeText make) {
    try {
        check(target.write(make()));
    } catch (...) {
        (void)target.close();
        throw;
    }
    check(target.close());
}

}  // namespace

Paper Document::paperAt(int dpi, const PrintRun& run) const {
    const PaperSize size = sheet_.paperOr(kA4);
    Paper paper{dpi, dpi, size.width, size.height};
    paper.offsetX = sheet_.offsetX;
    paper.offsetY = sheet_.offsetY;
    if (run.wholeSheet) {
        // An office printer's printable area on the sheet.
        paper.originX = paper.originY = kSheetMargin;
        paper.printableHeight = size.height - 2 * kSheetMargin;
        paper.printableWidth = size.width - kSheetMargin;
    } else {
        paper.printableHeight = run.printableHeight;
        paper.printableWidth = run.printableWidth;
    }
    return paper;
}

PageSize Document::pageSize(Surface&, int dpi) {
    const Paper paper = paperAt(dpi, PrintRun{});
    return {paper.deviceWidth(), paper.deviceHeight(), dpi};
}

int Document::pageCount(Progress& progress) { return escp::pageCount(fs_, path_, options_, progress); }

DrawnPage Document::drawPage(int page, Surface& image, const PageSize& size, Progress& progress) {
    // The page shown is the sheet, as a PDF page of it: what is seen is what a PDF
    // holds, the first background under it.
    PrintRun whole;
    whole.wholeSheet = true;
    const std::string_view background = sheet_.backgrounds.empty() ? std::string_view() : sheet_.backgrounds.front();
    const int pages = renderPage(fs_, path_, page, image, options_, paperAt(size.dpi, whole), background, progress);
    return {0, page > pages};
}

void Document::print(PrintJob& job, const PrintRun& run, Progress& progress) {
    printJob(fs_, path_, job, options_, paperAt(run.dpi, run), {sheet_.backgrounds, run.pages}, progress);
}

void Document::exportText(TextFile& target, Progress& progress) {
    writeAll(target, [&] { return escp::exportText(fs_, path_, options_, progress); });
}

void Document::writeText(TextFile& target, Progress& progress) {
    writeAll(target, [&] { return textOf(fs_, path_, options_, progress); });
}

}  // namespace nx::escp
