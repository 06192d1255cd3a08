// What the windows ask of the running program beyond files: the termination request
// and the error box. The application layer implements both.
#pragma once

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
