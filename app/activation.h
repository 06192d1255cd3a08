// Decides when a window's activation handler runs.
//
// A tracked window is activated when it is shown, and when it becomes the
// program's focused window after another of the program's non-modal windows had
// been the active one. Returning from a modal window (a message box, the input or
// printer dialog, a tracked window shown modally) and returning from another
// application are not activations. A tracked window shown modally is activated on
// show; when it hides, the window that was active before becomes the active one
// again without an activation.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QWindow;

namespace nx::qt {
class Dispatcher;
}

namespace nx::app {

class ActivationTracker final : public QObject {
    Q_OBJECT
public:
    explicit ActivationTracker(nx::qt::Dispatcher& dispatcher);
    ~ActivationTracker() override;

    // `activate` runs through the dispatcher at each activation of `window`.
    void track(QWidget* window, std::function<void()> activate);

    // The tracked window that is currently the active one (null before any).
    QWidget* active() const { return active_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QPointer<QWidget> window;
        std::function<void()> activate;
        bool shownModal = false;
        QPointer<QWidget> returnTo;  // active before a modal show
    };
    Entry* find(const QObject* window);
    Entry* findByHandle(const QWindow* handle);
    void focusWindowChanged(QWindow* window);
    void activate(Entry& entry);

    nx::qt::Dispatcher& dispatcher_;
    std::vector<Entry> entries_;
    QPointer<QWidget> active_;
};

}  // namespace nx::app
