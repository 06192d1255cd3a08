#include "forms/MailKuldoFormUnit.h"

#include <QCheckBox>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <cstdlib>

#include "forms/WindowKit.h"
#include "intake/paths.h"
#include "mail/sending.h"
#include "platform/files.h"
#include "platform/qt/codec.h"

namespace {

const QString kCaption = QStringLiteral("E-mail küldése");
const QString kSubjectPreset = QStringLiteral("Információ küldése (Norvexa)");

void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(left, top, width, height);
}

QLabel* staticText(QWidget* parent, const QString& caption, int left, int top, int width,
                   int height) {
    auto* label = new QLabel(caption, parent);
    place(label, left, top, width, height);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QLineEdit* editBox(QWidget* parent, int left, int top, int width, int height) {
    auto* edit = new QLineEdit(parent);
    place(edit, left, top, width, height);
    return edit;
}

QPushButton* button(QWidget* parent, const QString& caption, int left, int top, int width,
                    int height) {
    auto* b = new QPushButton(caption, parent);
    place(b, left, top, width, height);
    // Neither button is a default button: Enter has no special effect in the window.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}  // namespace

TMailKuldoForm::TMailKuldoForm(nx::FileSystem& fs, nx::Services& services, nx::qt::Dispatcher& dispatcher,
                               QWidget* over)
    : QDialog(nullptr),
      fs_(fs),
      services_(services),
      dispatcher_(dispatcher),
      over_(over),
      mailLibrary_(nx::kMapiLibraryName) {
    setObjectName(QStringLiteral("MailKuldoForm"));
    setWindowTitle(kCaption);
    nx::qt::styleWindow(*this, true);
    setSizeGripEnabled(false);
    createControls();
    hideRecipientName();
    setTabPath();
    connectHandlers();
    applyOuterSize();
}

void TMailKuldoForm::createControls() {
    StaticText2 = staticText(this, QStringLiteral("E-mail cím"), 8, 16, 52, 17);
    Eemailcim = editBox(this, 88, 16, 249, 21);
    StaticText3 = staticText(this, QStringLiteral("Üzenet tárgya"), 8, 48, 70, 17);
    Etargy = editBox(this, 88, 48, 249, 21);
    StaticText1 = staticText(this, QStringLiteral("Címzett neve"), 8, 88, 66, 17);
    Ecimzett = editBox(this, 88, 88, 57, 21);
    KuldesGomb = button(this, QStringLiteral("&Küldés"), 176, 88, 75, 25);
    MegseGomb = button(this, QStringLiteral("&Mégse"), 264, 88, 75, 25);
    StaticText4 = staticText(this, QStringLiteral("Saját mail-cím"), 8, 128, 69, 17);
    ESajatMailCim = editBox(this, 88, 128, 249, 21);
    StaticText5 = staticText(this, QStringLiteral("Saját név"), 8, 160, 49, 17);
    ESajatNev = editBox(this, 88, 160, 249, 21);
    // Beyond the window's design: in the row of the buttons, where the hidden
    // recipient's name lies, so that nothing else moves.
    PdfMelleklet = new QCheckBox(QStringLiteral("PDF melléklet"), this);
    place(PdfMelleklet, 8, 92, 160, 17);
    PdfMelleklet->setChecked(true);
    // Clicked with the mouse; the Tab key's path stays the window's own.
    PdfMelleklet->setFocusPolicy(Qt::ClickFocus);
    PdfMelleklet->setObjectName(QStringLiteral("PdfMelleklet"));

    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    Eemailcim->setObjectName(QStringLiteral("Eemailcim"));
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    Etargy->setObjectName(QStringLiteral("Etargy"));
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    Ecimzett->setObjectName(QStringLiteral("Ecimzett"));
    KuldesGomb->setObjectName(QStringLiteral("KuldesGomb"));
    MegseGomb->setObjectName(QStringLiteral("MegseGomb"));
    StaticText4->setObjectName(QStringLiteral("StaticText4"));
    ESajatMailCim->setObjectName(QStringLiteral("ESajatMailCim"));
    StaticText5->setObjectName(QStringLiteral("StaticText5"));
    ESajatNev->setObjectName(QStringLiteral("ESajatNev"));
}

void TMailKuldoForm::hideRecipientName() {
    // The recipient's name and its label are never shown: the message names the
    // recipient by the address.
    StaticText1->setVisible(false);
    StaticText1->setEnabled(false);
    Ecimzett->setVisible(false);
    Ecimzett->setEnabled(false);
}

void TMailKuldoForm::setTabPath() {
    // Tab order: Ecimzett, Eemailcim, Etargy, KuldesGomb, MegseGomb, ESajatMailCim,
    // ESajatNev.
    setTabOrder(Ecimzett, Eemailcim);
    setTabOrder(Eemailcim, Etargy);
    setTabOrder(Etargy, KuldesGomb);
    setTabOrder(KuldesGomb, MegseGomb);
    setTabOrder(MegseGomb, ESajatMailCim);
    setTabOrder(ESajatMailCim, ESajatNev);
}

void TMailKuldoForm::connectHandlers() {
    connect(KuldesGomb, &QPushButton::clicked, this,
            [this] { dispatcher_.run([this] { KuldesGombClick(KuldesGomb); }); });
    connect(MegseGomb, &QPushButton::clicked, this,
            [this] { dispatcher_.run([this] { MegseGombClick(MegseGomb); }); });
}

TMailKuldoForm::~TMailKuldoForm() = default;

// ---------------------------------------------------------------------------------
// Handlers

void TMailKuldoForm::FormActivate(QObject*) {
    Ecimzett->clear();
    Eemailcim->clear();
    Etargy->setText(kSubjectPreset);
    ESajatMailCim->clear();
    ESajatNev->clear();
    SajatAdatBeolvasas();
    Eemailcim->setFocus(Qt::OtherFocusReason);
}

void TMailKuldoForm::FormClose(QObject*) { SajatAdatTarolas(); }

void TMailKuldoForm::MegseGombClick(QObject*) { close(); }

bool TMailKuldoForm::pdfAttachment() const { return PdfMelleklet->isChecked(); }

void TMailKuldoForm::KuldesGombClick(QObject*) {
    nx::MailMessage message;
    message.senderName = nx::qt::toCp1250(ESajatNev->text());
    message.senderAddress = nx::qt::toCp1250(ESajatMailCim->text());
    message.recipName = nx::qt::toCp1250(Ecimzett->text());
    message.recipAddress = nx::qt::toCp1250(Eemailcim->text());
    message.subject = nx::qt::toCp1250(Etargy->text());
    message.attachments = {std::string(nx::paths::kMailAttachment)};
    if (PdfMelleklet->isChecked()) {
        // Ticked here after the preview left the PDF out: it is written now (a
        // window shown without a job to write has only the text file to send).
        if (!pdfWritten_ && pdfWriter_) {
            pdfWritten_ = pdfWriter_();
            if (!pdfWritten_) return;  // its message has been shown
        }
        if (pdfWritten_) message.attachments.emplace_back(nx::paths::kMailPdf);
    }

    std::uintptr_t uiParam = 0;
    if (QWidget* main = over_) uiParam = static_cast<std::uintptr_t>(main->winId());

    // The window stays open whatever the outcome.
    const int result = nx::LevelKuldes(message, uiParam, mailLibrary_);
    if (result != 0) services_.errorBox(nx::sendErrorText(result));
}

// ---------------------------------------------------------------------------------
// Own data

void TMailKuldoForm::SajatAdatBeolvasas() {
    nx::TextFile file(fs_);
    file.assign(nx::paths::kSenderData);
    if (file.reset() != 0) {
        // Missing (or not readable): write it from the boxes as they are.
        SajatAdatTarolas();
        return;
    }
    std::string line;
    nx::check(file.readLine(line));
    ESajatMailCim->setText(nx::qt::fromCp1250(line));
    nx::check(file.readLine(line));
    ESajatNev->setText(nx::qt::fromCp1250(line));
    nx::check(file.close());
}

void TMailKuldoForm::SajatAdatTarolas() {
    nx::TextFile file(fs_);
    file.assign(nx::paths::kSenderData);
    nx::check(file.rewrite());
    nx::check(file.writeLine(nx::qt::toCp1250(ESajatMailCim->text())));
    nx::check(file.writeLine(nx::qt::toCp1250(ESajatNev->text())));
    nx::check(file.close());
}

// ---------------------------------------------------------------------------------
// Window behaviour

void TMailKuldoForm::done(int result) {
    // Every way of closing ends here (the cancel button, the close box, the end of
    // a modal showing). A failure to store is reported and the window still closes.
    if (isVisible()) dispatcher_.run([this] { FormClose(this); });
    QDialog::done(result);
}

void TMailKuldoForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // No default or cancel button: Enter and Esc do nothing here.
            QWidget::keyPressEvent(event);
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void TMailKuldoForm::showEvent(QShowEvent* event) {
    applyOuterSize();
    if (QWidget* main = over_) {
        const QRect outer = main->frameGeometry();
        move(outer.x() + (outer.width() - kOuterWidth) / 2,
             outer.y() + (outer.height() - kOuterHeight) / 2);
    }
    QDialog::showEvent(event);
}

void TMailKuldoForm::applyOuterSize() {
    // The frame is known once the window system has decorated the window; until
    // then the client area takes the whole outer size.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(kOuterWidth - frame.width(), kOuterHeight - frame.height());
}
