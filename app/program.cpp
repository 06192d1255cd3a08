#include "app/program.h"

#include <QApplication>
#include <QFont>

#include "app/activation.h"
#include "app/dispatcher.h"
#include "forms/MailKuldoFormUnit.h"
#include "forms/NotificationArea.h"
#include "forms/NyomtUnit.h"
#include "forms/Nyomtato.h"
#include "mail/provider_name.h"
#include "platform/title.h"

namespace nx::app {

struct Program::Impl {
    Impl(nx::DriveTable drives, nx::qt::DialogService& dialogs, const std::string& argv0)
        : fs(std::move(drives)),
          services(dialogs, nx::applicationTitle(argv0)),
          dispatcher(services),
          g(fs, dialogs, services, dispatcher),
          tracker(dispatcher) {
        services.setDispatcher(&dispatcher);
    }

    nx::FileSystem fs;
    AppServices services;
    GuardedDispatcher dispatcher;
    Globals g;
    ActivationTracker tracker;
    std::unique_ptr<TNyomtat> main;
    std::unique_ptr<TNyomt> preview;
    std::unique_ptr<TMailKuldoForm> mail;
    std::unique_ptr<NotificationArea> tray;
};

Program::Program(nx::DriveTable drives, nx::qt::DialogService& dialogs, const std::string& argv0)
    : impl_(std::make_unique<Impl>(std::move(drives), dialogs, argv0)) {
    // The windows ask for "MS Sans Serif" 8 pt. Where that face is missing, the
    // metric-compatible sans serif keeps the captions inside their controls; the
    // window system's default (often much wider) would cut them.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                QStringLiteral("Liberation Sans")});
    // The mail provider maps attachment paths through the drive this program uses
    // (which may come from the command line).
    nx::setProviderDriveC(impl_->fs.drives().driveC());
    Globals& g = impl_->g;
    impl_->main = std::make_unique<TNyomtat>(g);
    g.Nyomtat = impl_->main.get();
    impl_->preview = std::make_unique<TNyomt>(g);
    g.Nyomt = impl_->preview.get();
    impl_->mail = std::make_unique<TMailKuldoForm>(g.fs, g.services, g.dispatcher, impl_->main.get());
    g.MailKuldoForm = impl_->mail.get();

    TNyomtat* main = impl_->main.get();
    TNyomt* preview = impl_->preview.get();
    TMailKuldoForm* mail = impl_->mail.get();
    impl_->tracker.track(main, [main] { main->FormActivate(main); });
    impl_->tracker.track(preview, [preview] { preview->FormActivate(preview); });
    impl_->tracker.track(mail, [mail] { mail->FormActivate(mail); });

    // The notification area, where the desktop has one.
    if (NotificationArea::available()) {
        nx::qt::Dispatcher& dispatcher = impl_->dispatcher;
        impl_->tray = std::make_unique<NotificationArea>(NotificationArea::Actions{
            [main] {
                main->showNormal();
                main->raise();
                main->activateWindow();
            },
            [main, &dispatcher] { dispatcher.run([main] { main->ElozmenyekGombClick(main); }); },
            [main, &dispatcher] { dispatcher.run([main] { main->KilepesGombClick(main); }); },
        });
        g.tray = impl_->tray.get();
    }
}

Program::~Program() {
    Globals& g = impl_->g;
    g.tray = nullptr;
    impl_->tray.reset();
    impl_->mail.reset();
    g.MailKuldoForm = nullptr;
    impl_->preview.reset();
    g.Nyomt = nullptr;
    impl_->main.reset();  // saves the settings and deletes the presence marker
    g.Nyomtat = nullptr;
}

Globals& Program::globals() { return impl_->g; }
TNyomtat& Program::mainWindow() { return *impl_->main; }
TNyomt& Program::previewWindow() { return *impl_->preview; }
TMailKuldoForm& Program::mailWindow() { return *impl_->mail; }
NotificationArea* Program::notificationArea() { return impl_->tray.get(); }
bool Program::terminationRequested() const { return impl_->services.terminationRequested(); }
const std::string& Program::title() const { return impl_->services.title(); }
ActivationTracker& Program::tracker() { return impl_->tracker; }
void Program::terminate() { impl_->services.terminateNow(); }

}  // namespace nx::app
