#include "render/qt/preview_image.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include "platform/qt/painter_surface.h"

namespace nx::qt {

QColor previewFill() { return QGuiApplication::palette().color(QPalette::Base); }

PageSize pageSizeAt(Document& doc, int dpi) {
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    PainterSurface surface(painter, dpi, previewFill());
    const PageSize size = doc.pageSize(surface, dpi);
    surface.flush();
    return size;
}

QImage newPageImage(const PageSize& size) {
    QImage image(size.width, size.height, QImage::Format_RGB32);
    image.fill(previewFill());
    return image;
}

}  // namespace nx::qt
