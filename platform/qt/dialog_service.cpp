#include "platform/qt/dialog_service.h"

#include "platform/title.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTimer>

namespace nx::qt {
namespace {

// Places a dialog at the centre of the screen its parent is on (or the primary one).
void centreOnScreen(QWidget* dialog, QWidget* parent) {
    dialog->adjustSize();
    QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = dialog->frameGeometry().size();
    dialog->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
}

QString applicationTitle() {
    return QString::fromStdString(
        nx::applicationTitle(QCoreApplication::applicationFilePath().toStdString()));
}

}  // namespace

void QtDialogService::message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    centreOnScreen(&box, parent);
    box.exec();
}

void QtDialogService::error(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool QtDialogService::input(QWidget* parent, const QString& caption, const QString& prompt,
                            QString& value, int maxLength) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(value.left(maxLength));
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        edit->setMaxLength(maxLength);
        edit->setText(value.left(maxLength));
        // The proposal is shown selected, so typing replaces it.
        QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    value = dialog.textValue().left(maxLength);
    return true;
}

bool QtDialogService::printerSetup(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogService::chooseFolder(QWidget* parent, const QString& caption, QString& path) {
    const QString chosen = QFileDialog::getExistingDirectory(parent, caption, path);
    if (chosen.isEmpty()) return false;
    path = chosen;
    return true;
}

}  // namespace nx::qt
