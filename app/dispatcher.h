// The guarded dispatch of event handlers and the application's services.
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "forms/Globals.h"
#include "forms/services.h"

namespace nx::qt {
class DialogService;
}

namespace nx::app {

// Runs every handler: input/output and conversion errors (and, as a last guard, any
// other standard exception) are shown in the error box, and the program goes on.
// It also knows whether a handler is running, so that a termination request made
// inside one takes effect only when control is back in the event loop.
class GuardedDispatcher final : public nx::qt::Dispatcher {
public:
    explicit GuardedDispatcher(nx::Services& services) : services_(services) {}

    void run(const std::function<void()>& handler) override;

    // True while a handler runs (also inside a modal loop that the handler opened).
    bool busy() const { return depth_ > 0; }
    // Called once when the outermost running handler has returned.
    void setIdleCallback(std::function<void()> idle) { idle_ = std::move(idle); }

private:
    nx::Services& services_;
    int depth_ = 0;
    std::function<void()> idle_;
};

// The termination request and the error box of the running program.
class AppServices final : public nx::Services {
public:
    AppServices(nx::qt::DialogService& dialogs, std::string title)
        : dialogs_(dialogs), title_(std::move(title)) {}

    // Remembers the request; the quit is queued for the moment no handler runs,
    // so the running handler (and any box it shows) goes on undisturbed.
    void requestTermination() override;
    // Ends the program from outside (signal, end of the desktop session): as the
    // request, but also leaves any modal loop that a handler has open.
    void terminateNow();
    void errorBox(std::string_view text) override;

    void setDispatcher(GuardedDispatcher* dispatcher);
    bool terminationRequested() const { return requested_; }
    const std::string& title() const { return title_; }

private:
    void queueQuit();
    void exitLoop();

    nx::qt::DialogService& dialogs_;
    std::string title_;
    GuardedDispatcher* dispatcher_ = nullptr;
    bool requested_ = false;
    bool quitQueued_ = false;
    bool loopLeft_ = false;
    QObject context_;  // the queued quit is delivered to it
};

}  // namespace nx::app
