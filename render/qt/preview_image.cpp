#include "render/qt/preview_image.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include "platform/qt/painter_surface.h"
#include "render/preview_page.h"

namespace nx::qt {

QColor previewFill() { return QGuiApplication::palette().color(QPalette::Base); }

QSize previewSize(int dpiY) {
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    PainterSurface surface(painter, dpiY, previewFill());
    const ImageSize size = previewImageSize(surface);
    surface.flush();
    return {size.width, size.height};
}

QImage newPreviewImage(int dpiY) {
    QImage image(previewSize(dpiY), QImage::Format_RGB32);
    image.fill(previewFill());
    return image;
}

}  // namespace nx::qt
