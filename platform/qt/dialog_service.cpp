#include "platform/qt/dialog_service.h"

#include "platform/title.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
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

MessageBox::MessageBox(Icon icon, const QString& title, const QString& text, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    if (parent) setFont(parent->window()->font());  // the font of the window it belongs to
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    if (icon != Icon::None) {
        auto* picture = new QLabel(this);
        const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        picture->setPixmap(style()
                               ->standardIcon(icon == Icon::Warning ? QStyle::SP_MessageBoxWarning
                                                                    : QStyle::SP_MessageBoxCritical,
                                              nullptr, this)
                               .pixmap(side, side));
        picture->setAlignment(Qt::AlignTop);
        row->addWidget(picture);
    }
    auto* label = new QLabel(text, this);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(label, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setWindowModality(Qt::ApplicationModal);
}

void QtDialogService::message(QWidget* parent, const QString& text) {
    MessageBox box(MessageBox::Icon::None, applicationTitle(), text, parent);
    centreOnScreen(&box, parent);
    box.exec();
}

void QtDialogService::error(QWidget* parent, const QString& title, const QString& text) {
    MessageBox box(MessageBox::Icon::Critical, title, text, parent);
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

bool QtDialogService::chooseFile(QWidget* parent, const QString& caption, const QString& filter, QString& path) {
    const QString chosen = QFileDialog::getOpenFileName(parent, caption, path, filter);
    if (chosen.isEmpty()) return false;
    path = chosen;
    return true;
}

}  // namespace nx::qt
