// Program-wide values, created once by main() (or by a test) and handed to the
// three windows by reference. No singletons: everything a window reaches outside
// itself goes through here.
#pragma once

#include <QPrinter>
#include <functional>
#include <memory>
#include <string>

#include "intake/settings.h"
#include "intake/cycle.h"
#include "intake/history.h"
#include "platform/files.h"
#include "platform/qt/dialog_service.h"
#include "forms/services.h"

class MainPanel;
class TNyomt;
class TMailKuldoForm;
class NotificationArea;
class TElozmenyek;

struct Globals {
    Globals(nx::FileSystem& fileSystem, nx::qt::DialogService& dialogService,
            nx::Services& appServices, nx::qt::Dispatcher& handlerDispatcher)
        : fs(fileSystem),
          dialogs(dialogService),
          services(appServices),
          dispatcher(handlerDispatcher),
          cycle(fileSystem),
          history(fileSystem) {}

    nx::FileSystem& fs;
    nx::qt::DialogService& dialogs;
    nx::Services& services;           // termination request, error box
    nx::qt::Dispatcher& dispatcher;   // every handler runs through it

    nx::Settings settings;            // the settings record, read and written live

    // The preview's file: the converted print stream that the preview shows.
    std::string currentJobPath;
    // The job's life: which job is taken, printed or shown, and when its file goes.
    nx::JobCycle cycle;
    // Every job taken, what became of it, and its bytes for printing it again.
    nx::JobHistory history;

    // The application's current printer, set by the printer setup dialog.
    std::unique_ptr<QPrinter> currentPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);

    // The three windows, set by main() in creation order.
    MainPanel* Nyomtat = nullptr;
    TNyomt* Nyomt = nullptr;
    TMailKuldoForm* MailKuldoForm = nullptr;
    // The service's icon in the desktop's notification area; none where it has none.
    NotificationArea* tray = nullptr;
    // The "Előzmények" window, once the main window has opened it.
    TElozmenyek* Elozmenyek = nullptr;
};
