#include "render/preview_page.h"

#include "render/form_feeds.h"
#include "render/interpreter.h"
#include "platform/open_retry.h"

namespace nx {

namespace {

constexpr int kPreviewOriginX = 8;
constexpr int kPreviewOriginY = 8;
constexpr std::size_t kPreviewLineLimit = 255;

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
    check(openRetrying(file, kPreviewOpen, [&file] { createEmpty(file); }));

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
