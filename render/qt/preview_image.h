// The preview image as the preview window and norvexa-print prepare it: the size of
// one page at the screen's resolution, filled with the system window colour.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace nx::qt {

// The system window colour that the image is filled with (QPalette::Base).
QColor previewFill();
// The page's size at `dpiY` (see previewImageSize in render/preview_page.h).
QSize previewSize(int dpiY);
// A new image of that size, filled.
QImage newPreviewImage(int dpiY);

}  // namespace nx::qt
