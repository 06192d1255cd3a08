// The preview image as the preview window and norvexa-print prepare it: one page
// of a document at the screen's resolution, filled with the system window colour.
#pragma once

#include <QColor>
#include <QImage>

#include "platform/document.h"

namespace nx::qt {

// The system window colour that the image is filled with (QPalette::Base).
QColor previewFill();
// One page of `doc` at `dpi`, measured on a painter surface of that resolution.
PageSize pageSizeAt(Document& doc, int dpi);
// A new image of `size`, filled.
QImage newPageImage(const PageSize& size);

}  // namespace nx::qt
