// Driving a modal window from the keyboard as a user does: Alt and an access key,
// keys on the focused control, and the window opened by a key of the main window.
#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>

namespace nx::test {

// `k` with `mods` on the focused control of the active window `w`.
inline void press(QWidget& w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    if (!QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == w.windowHandle(); }, 2000)) {
        ADD_FAILURE() << "the window did not get the focus";
        return;
    }
    QWidget* target = w.focusWidget() ? w.focusWidget() : &w;
    QTest::keyClick(target, static_cast<Qt::Key>(k), mods);
    QTest::qWait(250);  // a button pressed by its access key clicks after its animation
}
// Alt and `k`.
inline void alt(QWidget& w, int k) { press(w, k, Qt::AltModifier); }

// Presses Alt and `key` on `main` and runs `steps` in the modal window of type `W`
// that opens; true when the window was shown and has closed.
template <class W>
bool inWindow(QWidget& main, int key, const std::function<void(W&)>& steps) {
    bool shown = false;
    main.activateWindow();
    if (!QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == main.windowHandle(); }, 2000))
        return false;
    // Looked for from inside the window's own loop once it is shown.
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* w = dynamic_cast<W*>(QApplication::activeModalWidget());
        if (!w || shown) return;
        shown = true;
        poll.stop();
        steps(*w);
        if (w->isVisible()) w->reject();  // a failed step leaves no window behind
    });
    poll.start();
    QTest::keyClick(main.focusWidget() ? main.focusWidget() : &main, static_cast<Qt::Key>(key), Qt::AltModifier);
    (void)QTest::qWaitFor([&] { return shown && !QApplication::activeModalWidget(); }, 10000);
    return shown && !QApplication::activeModalWidget();
}

}  // namespace nx::test
