#include "forms/WindowKit.h"

#include <QAbstractButton>
#include <QFont>
#include <QPalette>
#include <QProgressBar>
#include <algorithm>

namespace nx::qt {

void BarProgress::setMaximum(std::int64_t maximum) {
    max_ = std::max<std::int64_t>(maximum, 0);
    scale_ = max_ > INT_MAX ? (max_ / INT_MAX) + 1 : 1;
    bar_.setRange(0, std::max(1, static_cast<int>(max_ / scale_)));
    show(true);
}

void BarProgress::setPosition(std::int64_t position) {
    pos_ = position;
    show(true);
}

void BarProgress::stepIt() {
    pos_ += step_;
    show(false);
}

void BarProgress::show(bool always) {
    const std::int64_t v = std::clamp<std::int64_t>(pos_, 0, max_) / scale_;
    const std::int64_t grain = std::max<std::int64_t>(1, (max_ / scale_) / 200);
    if (always || v - shown_ >= grain || v < shown_ || pos_ >= max_) {
        shown_ = v;
        bar_.setValue(static_cast<int>(v));
    }
}

void styleWindow(QWidget& window, bool buttonFace) {
    QFont face(QStringLiteral("MS Sans Serif"));
    face.setPointSize(8);
    window.setFont(face);
    if (buttonFace) {
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Button));
        window.setPalette(pal);
        window.setAutoFillBackground(true);
    }
}

void fitWidth(QWidget* w, int right) {
    const int want = w->sizeHint().width();
    if (want > w->width())
        w->resize(std::min(want, std::max(w->width(), right - w->x())), w->height());
}

QWidget* pressedControl(QWidget& window) {
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>())
        if (b->isDown() && b->isVisible() && b->isEnabled()) return b;
    return nullptr;
}

}  // namespace nx::qt
