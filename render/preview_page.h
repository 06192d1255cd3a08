// Rendering one page of a print-stream file into the preview image (TextMegnez's work).
#pragma once

#include <string_view>

#include "render/printer_output.h"

namespace nx {

// The preview image's size in the units of `surface`: 80 columns and 66 lines of
// Courier New 11 pt at the line interpreter's spacing, measured as the renderer
// measures. Leaves the surface at that font.
struct ImageSize {
    int width = 0;
    int height = 0;
};
ImageSize previewImageSize(Surface& surface);

// Draws page `page` (1-based) of the file at `dosPath` onto `image`, which is
// `width` by `height` device units and is cleared first. A missing file is created
// empty. Leaves the file closed and the progress at 100 of 100. Checked failures
// raise IoError; the image keeps what was drawn so far. Returns the code of a byte
// that could not be read (the page is drawn up to it), 0 when every byte was read.
[[nodiscard]] int renderPreviewPage(RenderContext& ctx, std::string_view dosPath, int page, Surface& image,
                       int width, int height);

}  // namespace nx
