#include "app/dispatcher.h"

#include <QApplication>
#include <QFile>
#include <QMetaObject>
#include <QThread>
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
    requested_ = true;
    // A handler waiting in a modal loop (a message box, the mail window) would keep
    // the program alive until the user answers it; leave those loops now.
    exitLoop();
}

void AppServices::queueQuit() {
    if (quitQueued_ || loopLeft_ || !QCoreApplication::instance()) return;
    quitQueued_ = true;
    // Queued on an object of ours, so a request that the loop never took is dropped
    // with the services rather than ending a later loop.
    QMetaObject::invokeMethod(
        &context_,
        [this] {
            quitQueued_ = false;
            // Taken by a loop that only processes events (a test's wait): no loop to end.
            if (QThread::currentThread()->loopLevel() > 0) exitLoop();
        },
        Qt::QueuedConnection);
}

void AppServices::exitLoop() {
    if (loopLeft_) return;
    loopLeft_ = true;
    // exit() rather than quit(): quitting would first close every window, and closing
    // the preview consumes its job as if the user had finished with it. The windows
    // are destroyed after the loop instead, as at the end of any run.
    QCoreApplication::exit(0);
}

void AppServices::errorBox(std::string_view text) {
    QWidget* parent = QApplication::activeWindow();
    dialogs_.error(parent, QFile::decodeName(QByteArray::fromStdString(title_)),
                   nx::qt::fromCp1250(text));
}

}  // namespace nx::app
