#include "render/line_document.h"

#include "render/form_feeds.h"
#include "platform/chosen_pages.h"
#include "render/preview_page.h"
#include "render/printer_output.h"
#include "render/text_export.h"

namespace nx {

PageSize LineDocument::pageSize(Surface& metrics, int dpi) {
    const ImageSize size = previewImageSize(metrics);
    return {size.width, size.height, dpi};
}

int LineDocument::pageCount(Progress&) { return pageCountOf(fs_, path_); }

int LineDocument::lastPage(Progress& progress) {
    // The preview's last page is the one its last form feed ends.
    return countFormFeeds(fs_, path_, progress);
}

DrawnPage LineDocument::drawPage(int page, Surface& image, const PageSize& size, Progress& progress) {
    RenderContext ctx{fs_, settings_.settings, settings_.variableLineHeight, progress};
    return {renderPreviewPage(ctx, path_, page, image, size.width, size.height), false};
}

void LineDocument::print(PrintJob& job, const PrintRun& run, Progress& progress) {
    RenderContext ctx{fs_, settings_.settings, settings_.variableLineHeight, progress};
    if (run.pages) {
        ChosenPages chosen(job, *run.pages);
        printStream(ctx, path_, chosen, run.landscape);
    } else {
        printStream(ctx, path_, job, run.landscape);
    }
}

void LineDocument::exportText(TextFile& target, Progress&) {
    TextFile source(fs_);
    source.assign(path_);
    copyLines(source, target);
}

void LineDocument::writeText(TextFile& target, Progress& progress) {
    // The line copy is the format's own text, in its own code page.
    exportText(target, progress);
}

}  // namespace nx
