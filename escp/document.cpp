#include "escp/document.h"

#include "escp/job.h"
#include "platform/chosen_pages.h"

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

Paper Document::paperAt(int dpi, std::int64_t printableHeight) const {
    const PaperSize size = sheet_.paperOr(kA4);
    return Paper{dpi, dpi, size.width, size.height, printableHeight, sheet_.offsetX, sheet_.offsetY};
}

PageSize Document::pageSize(Surface&, int dpi) {
    const Paper paper = paperAt(dpi, 0);
    return {paper.deviceWidth(), paper.deviceHeight(), dpi};
}

int Document::pageCount(Progress& progress) { return escp::pageCount(fs_, path_, options_, progress); }

DrawnPage Document::drawPage(int page, Surface& image, const PageSize& size, Progress& progress) {
    // The page shown is the sheet: the whole paper is its printable length.
    const int pages = renderPage(fs_, path_, page, image, options_, paperAt(size.dpi, 0), progress);
    return {0, page > pages};
}

void Document::print(PrintJob& job, const PrintRun& run, Progress& progress) {
    if (run.pages) {
        ChosenPages chosen(job, *run.pages);
        printJob(fs_, path_, chosen, options_, paperAt(run.dpi, run.printableHeight), progress);
    } else {
        printJob(fs_, path_, job, options_, paperAt(run.dpi, run.printableHeight), progress);
    }
}

void Document::exportText(TextFile& target, Progress& progress) {
    writeAll(target, [&] { return escp::exportText(fs_, path_, options_, progress); });
}

void Document::writeText(TextFile& target, Progress& progress) {
    writeAll(target, [&] { return textOf(fs_, path_, options_, progress); });
}

}  // namespace nx::escp
