// What the windows ask of the running program beyond files: the termination request
// and the error box. The application layer implements both.
#pragma once

#include <functional>
#include <string_view>

namespace nx {

class Services {
public:
    virtual ~Services() = default;
    // Ask the application to terminate; it ends when control returns to the event
    // loop. The caller goes on.
    virtual void requestTermination() = 0;
    // An error message box (error icon, one OK button); text in code page 1250.
    virtual void errorBox(std::string_view text) = 0;
};

}  // namespace nx

namespace nx::qt {

// Runs an event handler: input/output and conversion errors raised in it are shown
// in the error box titled with the application title, and the program goes on.
class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    virtual void run(const std::function<void()>& handler) = 0;
};

}  // namespace nx::qt
