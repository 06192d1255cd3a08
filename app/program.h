// The running program without its event loop: the file system, the program-wide
// values, the dispatcher, the services, the activation tracker and the three
// windows, created in order (TNyomtat, TNyomt, TMailKuldoForm) and destroyed in
// reverse. main() builds one and runs the loop; window tests build their own.
#pragma once

#include <memory>
#include <string>

#include "forms/Globals.h"

class QWidget;
class TNyomtat;
class NotificationArea;

namespace nx::app {

class ActivationTracker;

class Program {
public:
    // `dialogs` outlives the program. `argv0` gives the application title.
    Program(nx::DriveTable drives, nx::qt::DialogService& dialogs, const std::string& argv0);
    ~Program();  // destroys the windows: the main window's destruction saves the settings

    Globals& globals();
    TNyomtat& mainWindow();
    TNyomt& previewWindow();
    TMailKuldoForm& mailWindow();
    // The icon in the notification area; null where the desktop has none.
    NotificationArea* notificationArea();
    bool terminationRequested() const;
    const std::string& title() const;
    ActivationTracker& tracker();

    // Ends the program from outside (a signal, the end of the desktop session) as
    // the exit button does, also leaving any modal loop that a handler has open.
    void terminate();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace nx::app
