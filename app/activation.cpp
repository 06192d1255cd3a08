#include "app/activation.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include "forms/Globals.h"

namespace nx::app {

ActivationTracker::ActivationTracker(nx::qt::Dispatcher& dispatcher) : dispatcher_(dispatcher) {
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &ActivationTracker::focusWindowChanged);
}

ActivationTracker::~ActivationTracker() {
    for (auto& e : entries_) {
        if (e.window) e.window->removeEventFilter(this);
    }
}

void ActivationTracker::track(QWidget* window, std::function<void()> activate) {
    entries_.push_back({window, std::move(activate), false, nullptr});
    window->installEventFilter(this);
}

ActivationTracker::Entry* ActivationTracker::find(const QObject* window) {
    for (auto& e : entries_) {
        if (e.window && e.window == window) return &e;
    }
    return nullptr;
}

ActivationTracker::Entry* ActivationTracker::findByHandle(const QWindow* handle) {
    for (auto& e : entries_) {
        if (e.window && e.window->windowHandle() == handle) return &e;
    }
    return nullptr;
}

void ActivationTracker::activate(Entry& entry) {
    active_ = entry.window;
    // The entry may go away while the handler runs (a window destroyed in it).
    auto handler = entry.activate;
    dispatcher_.run(handler);
}

bool ActivationTracker::eventFilter(QObject* watched, QEvent* event) {
    // ShowToParent arrives once the window is really shown, so a message box that the
    // activation opens appears over it.
    if (event->type() == QEvent::ShowToParent) {
        if (Entry* e = find(watched); e && e->window->isWindow()) {
            e->shownModal = e->window->isModal();
            e->returnTo = e->shownModal ? active_ : nullptr;
            activate(*e);
        }
    } else if (event->type() == QEvent::HideToParent) {
        if (Entry* e = find(watched); e && e->shownModal) {
            e->shownModal = false;
            if (active_ == e->window) active_ = e->returnTo;
            e->returnTo = nullptr;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ActivationTracker::focusWindowChanged(QWindow* window) {
    // Null: the focus went to another application; coming back is no activation.
    if (!window) return;
    Entry* e = findByHandle(window);
    // An untracked window (message box, dialog) is modal over a tracked one: the
    // return from it finds the same window active and so activates nothing.
    if (!e || e->window == active_) return;
    // The window system may report a window's focus late, after the program has
    // hidden it again (a modal window closed at once): a hidden window is not active.
    if (!e->window->isVisible()) return;
    // While a tracked window is shown modally, no other window can take the focus
    // from it except its own dialogs.
    for (auto& m : entries_) {
        if (m.shownModal && m.window && m.window->isVisible() && m.window != e->window) return;
    }
    activate(*e);
}

}  // namespace nx::app
