#include "render/preview_page.h"

#include <cstring>

#include "render/interpreter.h"
#include "render/open_retry.h"

namespace nx {

namespace {

constexpr int kPreviewOriginX = 8;
constexpr int kPreviewOriginY = 8;
constexpr std::size_t kPreviewLineLimit = 255;

// Moves `file` to the byte after its `formFeeds`-th form feed, or to its end when it
// holds fewer. Reads in blocks: the position ends up where reading byte by byte and
// counting would leave it.
void skipFormFeeds(ByteFile& file, std::int64_t formFeeds) {
    if (formFeeds <= 0) return;
    ReadChunk buffer;
    std::int64_t start = 0;
    check(file.position(start));
    for (std::size_t got = 0;;) {
        buffer.prepare(got);
        check(file.readBlock(buffer.data(), buffer.capacity(), got));
        if (got == 0) return;  // end of file: a blank page
        const std::uint8_t* p = buffer.data();
        const std::uint8_t* end = p + got;
        while (p < end) {
            const auto* ff = static_cast<const std::uint8_t*>(
                std::memchr(p, code::kFormFeed, static_cast<std::size_t>(end - p)));
            if (!ff) break;
            p = ff + 1;
            if (--formFeeds == 0) {
                check(file.seek(start + (p - buffer.data())));
                return;
            }
        }
        start += static_cast<std::int64_t>(got);
    }
}

}  // namespace

ImageSize previewImageSize(Surface& surface) {
    surface.setFontFace(kFontFace);
    surface.setFontSize(11);
    surface.setBold(false);
    return {80 * surface.textWidth("W"), 66 * (surface.textHeight("W") + kLineGap)};
}

int renderPreviewPage(RenderContext& ctx, std::string_view dosPath, int page, Surface& image,
                       int width, int height) {
    ByteFile file(ctx.fs);
    file.assign(dosPath);
    openRetrying(file, /*createMissing=*/true);

    ctx.progress.setPosition(0);
    std::int64_t size = 0;
    check(file.size(size));
    ctx.progress.setMaximum(size);
    ctx.progress.setStep(1);

    image.fillRect(0, 0, width, height);

    // Every page starts afresh: normal size, not bold, whatever earlier pages held.
    LineInterpreter in(ctx.settings, ctx.variableLineHeight);
    in.startRun(image, kPreviewOriginX, kPreviewOriginY);

    skipFormFeeds(file, static_cast<std::int64_t>(page) - 1);

    StreamTarget target;
    target.lineLimit = kPreviewLineLimit;
    target.lineRead = [&ctx](std::int64_t position) { ctx.progress.setPosition(position); };
    target.formFeed = [&file](LineInterpreter&) {
        // The page ends here: the input moves to its end and the rest of the line goes.
        std::int64_t end = 0;
        check(file.size(end));
        check(file.seek(end));
        return true;
    };
    const int readFailure = interpretFile(file, in, target);

    check(file.close());
    ctx.progress.setMaximum(100);
    ctx.progress.setPosition(100);
    return readFailure;
}

}  // namespace nx
