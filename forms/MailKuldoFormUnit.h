// The mail window: the recipient's address, the subject and the sender's own data,
// which it keeps in the sender data file between runs; "&Küldés" hands the mail
// attachment to Simple MAPI. Shown modally by the preview's mail export.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

#include "forms/services.h"
#include "platform/files.h"

class QLabel;
class QLineEdit;
class QPushButton;

class QCheckBox;

class TMailKuldoForm : public QDialog {
    Q_OBJECT
public:
    // `over` is the window the mail window is centred on (the main window).
    TMailKuldoForm(nx::FileSystem& fs, nx::Services& services, nx::qt::Dispatcher& dispatcher,
                   QWidget* over);
    ~TMailKuldoForm() override;

    // Controls.
    QLabel* StaticText2;
    QLineEdit* Eemailcim;      // recipient's mail address
    QLabel* StaticText3;
    QLineEdit* Etargy;         // subject
    QLabel* StaticText1;       // hidden and disabled
    QLineEdit* Ecimzett;       // recipient's name; hidden and disabled
    QPushButton* KuldesGomb;
    QPushButton* MegseGomb;
    QLabel* StaticText4;
    QLineEdit* ESajatMailCim;  // own mail address
    QLabel* StaticText5;
    QLineEdit* ESajatNev;      // own name
    QCheckBox* PdfMelleklet;   // the PDF goes with the text file (ticked at start)

    // Whether the message carries the PDF; whether the preview has written it for
    // this mail, and how it writes it (showing its own message when it cannot).
    bool pdfAttachment() const;
    void setPdfWriter(bool written, std::function<bool()> writer) {
        pdfWritten_ = written;
        pdfWriter_ = std::move(writer);
    }

    // Event handlers (each runs through the dispatcher). FormActivate is called by
    // the program's activation tracker; FormClose runs on every way the window closes.
    void FormActivate(QObject* sender);
    void FormClose(QObject* sender);
    void MegseGombClick(QObject* sender);
    void KuldesGombClick(QObject* sender);

    // Own data <-> sender data file "C:\Norvexa\sajattxt.txt".
    void SajatAdatBeolvasas();
    void SajatAdatTarolas();

    // The mail library's name for sending ("MAPI32.DLL"); tests point it elsewhere.
    void setMailLibrary(std::string name) { mailLibrary_ = std::move(name); }

    // The window's outer size, frame included.
    static constexpr int kOuterWidth = 363;
    static constexpr int kOuterHeight = 233;

public slots:
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The construction, step by step.
    void createControls();
    void hideRecipientName();
    void setTabPath();
    void connectHandlers();

    void applyOuterSize();

    nx::FileSystem& fs_;
    nx::Services& services_;
    nx::qt::Dispatcher& dispatcher_;
    QWidget* over_;
    std::string mailLibrary_;
    bool pdfWritten_ = false;
    std::function<bool()> pdfWriter_;
};
