// The dialogs the windows show, behind one interface so that window tests can
// script the answers. The real service shows Qt's dialogs modally.
#pragma once

#include <QDialog>
#include <QString>

class QWidget;
class QPrinter;

namespace nx::qt {

// A message box of the program's own: an icon where asked, the text, one OK button
// (Enter and Esc close it). Qt's QMessageBox is drawn as a black rectangle under
// Wine (its other dialogs are drawn); a plain dialog is drawn everywhere.
class MessageBox final : public QDialog {
public:
    enum class Icon { None, Warning, Critical };
    MessageBox(Icon icon, const QString& title, const QString& text, QWidget* parent = nullptr);
};

class DialogService {
public:
    virtual ~DialogService() = default;
    // A plain message box: no icon, one OK button, centred on the screen.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // An error message box: error icon, one OK button, titled `title`.
    virtual void error(QWidget* parent, const QString& title, const QString& text) = 0;
    // The one-line input dialog (value of at most `maxLength` characters, shown
    // selected). True on OK with the edited value in `value`; false on Cancel.
    virtual bool input(QWidget* parent, const QString& caption, const QString& prompt,
                       QString& value, int maxLength) = 0;
    // The printer setup dialog on `printer`; true when confirmed (the printer then
    // holds the chosen destination).
    virtual bool printerSetup(QWidget* parent, QPrinter& printer) = 0;
    // A folder chooser starting at `path`; true when one was chosen (in `path`).
    virtual bool chooseFolder(QWidget* parent, const QString& caption, QString& path) = 0;
    // A file chooser showing the files `filter` names (a QFileDialog filter), starting
    // at `path`; true when one was chosen (in `path`).
    virtual bool chooseFile(QWidget* parent, const QString& caption, const QString& filter, QString& path) = 0;
};

// Qt's QMessageBox, QInputDialog and QPrintDialog.
class QtDialogService final : public DialogService {
public:
    void message(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& title, const QString& text) override;
    bool input(QWidget* parent, const QString& caption, const QString& prompt, QString& value,
               int maxLength) override;
    bool printerSetup(QWidget* parent, QPrinter& printer) override;
    bool chooseFolder(QWidget* parent, const QString& caption, QString& path) override;
    bool chooseFile(QWidget* parent, const QString& caption, const QString& filter, QString& path) override;
};

}  // namespace nx::qt
