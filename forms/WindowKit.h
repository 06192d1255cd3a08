// What the three windows share: the core's progress on a progress bar, the window
// font and colours, captions that grow to their text, and the control a click that
// activates a window is pressing.
#pragma once

#include <QWidget>
#include <climits>
#include <cstdint>

#include "platform/progress.h"

class QProgressBar;

namespace nx::qt {

// The core's progress on a QProgressBar. The bar holds ints, so a larger maximum is
// shown scaled; a maximum of 0 (an empty file) is an empty bar, not Qt's busy
// indicator. Since the copy steps once per byte, the bar is repainted only when the
// shown value moves by a visible step (about 200 to the whole bar; the last always).
class BarProgress final : public nx::Progress {
public:
    explicit BarProgress(QProgressBar& bar) : bar_(bar) {}

    void setMaximum(std::int64_t maximum) override;
    void setPosition(std::int64_t position) override;
    void setStep(int step) override { step_ = step; }
    void stepIt() override;

private:
    void show(bool always);

    QProgressBar& bar_;
    std::int64_t max_ = 100;
    std::int64_t scale_ = 1;
    std::int64_t pos_ = 0;
    std::int64_t shown_ = -1;
    int step_ = 1;
};

// The windows' font, "MS Sans Serif" 8 pt; with `buttonFace` the background is the
// colour of button faces, as the preview and the mail window have it.
void styleWindow(QWidget& window, bool buttonFace);

// Grows a caption control to its text where the requested font is substituted by a
// wider one, keeping its place and never past `right`.
void fitWidth(QWidget* w, int right = INT_MAX);

// The button of `window` held down by the mouse, or null. A click that activates a
// window presses the control under it: the activation leaves the focus there.
QWidget* pressedControl(QWidget& window);

}  // namespace nx::qt
