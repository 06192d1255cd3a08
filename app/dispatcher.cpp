#include "app/dispatcher.h"

#include <QApplication>
#include <QFile>
#include <QMetaObject>
#include <QWidget>
#include <exception>

#include "platform/files.h"
#include "platform/qt/codec.h"
#include "platform/qt/dialog_service.h"

namespace nx::app {

void GuardedDispatcher::run(const std::function<void()>& handler) {
    ++depth_;
    try {
        handler();
    } catch (const nx::IoError& e) {
        services_.errorBox(nx::withFullStop(e.what()));
    } catch (const nx::ConvertError& e) {
        services_.errorBox(nx::withFullStop(e.what()));
    } catch (const std::exception& e) {
        services_.errorBox(nx::withFullStop(e.what()));
    }
    --depth_;
    if (depth_ == 0 && idle_) idle_();
}

void AppServices::setDispatcher(GuardedDispatcher* dispatcher) {
    dispatcher_ = dispatcher;
    if (dispatcher_) {
        dispatcher_->setIdleCallback([this] {
            if (requested_) queueQuit();
        });
    }
}

void AppServices::requestTermination() {
    requested_ = true;
    if (!dispatcher_ || !dispatcher_->busy()) queueQuit();
}

void AppServices::terminateNow() {
    requestTermination();
    // A handler waiting in a modal loop (a message box, the mail window) would keep
    // the program alive until the user answers it; leave those loops now.
    if (dispatcher_ && dispatcher_->busy()) QCoreApplication::quit();
}

void AppServices::queueQuit() {
    if (quitQueued_ || !QCoreApplication::instance()) return;
    quitQueued_ = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}

void AppServices::errorBox(std::string_view text) {
    QWidget* parent = QApplication::activeWindow();
    dialogs_.error(parent, QFile::decodeName(QByteArray::fromStdString(title_)),
                   nx::qt::fromCp1250(text));
}

}  // namespace nx::app
