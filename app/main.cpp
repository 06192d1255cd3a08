// The service: the three windows, the event loop, and an orderly end on a signal or
// at the end of the desktop session (the windows are destroyed as after the exit
// button, so the settings are saved and the presence marker deleted).
#include <QApplication>
#include <QSessionManager>
#if !defined(_WIN32)
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>

#include "app/program.h"
#include "forms/Nyomtato.h"
#include "platform/drive_lock.h"
#include "platform/files.h"
#include "platform/qt/codec.h"
#include "platform/qt/dialog_service.h"
#include "platform/title.h"

namespace {

#if defined(_WIN32)
// Windows ends a GUI program at logoff through the session manager (below).
bool installSignalPipe() { return false; }
#else
int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int sig) {
    const char byte = static_cast<char>(sig);
    // Nothing else is safe here; the event loop reads the pipe.
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

bool installSignalPipe() {
    if (::pipe(signalPipe) != 0) return false;
    for (int fd : signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    return true;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends by its own request only (the exit button, closing the main
    // window), never because the preview was the last window to hide.
    QApplication::setQuitOnLastWindowClosed(false);

    const nx::DriveTable drives = nx::DriveTable::fromCommandLine(argc, argv);
    const std::string argv0 = argc > 0 ? argv[0] : "norvexa";
    const bool signalsPiped = installSignalPipe();

    // A second service on a drive C that one already watches would take every job
    // too: it says so and ends, touching nothing of the first one's files.
    nx::DriveLock lock;
    if (lock.acquire(drives.driveC()) == nx::DriveLock::Result::Held) {
        const QString text = nx::qt::fromCp1250("A Norvexa m\xe1r fut a C: meghajt\xf3n (") +
                             QString::fromStdString(drives.driveC()) + QStringLiteral(").");
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        nx::qt::MessageBox box(nx::qt::MessageBox::Icon::Warning,
                               QString::fromStdString(nx::applicationTitle(argv0)), text);
#if !defined(_WIN32)
        if (signalsPiped) {
            // A signal ends the waiting box as OK does.
            auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &box);
            QObject::connect(notifier, &QSocketNotifier::activated, &box, [&box] { box.reject(); });
        }
#endif
        box.exec();
        return 1;
    }

    nx::qt::QtDialogService dialogs;
    nx::app::Program program(drives, dialogs, argv0);

#if !defined(_WIN32)
    if (signalsPiped) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&program] {
            char buf[16];
            while (::read(signalPipe[0], buf, sizeof buf) > 0) {
            }
            program.terminate();
        });
    }
#else
    (void)signalsPiped;
#endif
    // The desktop session ends: end as the exit button does, before the session
    // manager gives up on us.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&program](QSessionManager&) { program.terminate(); });

    // Shown from inside the loop: its first activation waits in a message box, and a
    // signal arriving then must be able to end the loop that box runs in.
    QMetaObject::invokeMethod(
        &app, [&program] { program.mainWindow().show(); }, Qt::QueuedConnection);
    return app.exec();
}
