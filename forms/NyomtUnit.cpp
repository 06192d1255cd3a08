#include "forms/NyomtUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>
#include <cctype>
#include <climits>
#include <vector>

#include "forms/MailKuldoFormUnit.h"
#include "forms/MainPanel.h"
#include "forms/WindowKit.h"
#include "intake/paths.h"
#include "platform/qt/codec.h"
#include "platform/qt/painter_surface.h"
#include "render/page_choice.h"
#include "render/qt/pdf.h"
#include "render/qt/preview_image.h"

namespace {

constexpr char kEsc = 27;

// Texts in code page 1250 are kept as QStrings here; these are the window's own.
const QString kCaption = QStringLiteral("Nyomtatási eredmény");
const QString kImageCaption = QStringLiteral("Nyomtatási kép");
const QString kSaveCaption = QStringLiteral("Nyomtatás mentése file-ba");
const QString kSavePrompt = QStringLiteral("Hova:");
const QString kSaveDone = QStringLiteral("A mentés megtörtént.");
const QString kPdfCaption = QStringLiteral("Nyomtatás mentése PDF-be");
const QString kPartCaption = QStringLiteral("Részlet nyomtatása");
const QString kPartPrompt = QStringLiteral("Oldalak:");
const QString kIoFailure = QStringLiteral(" IO hiba: ");

void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(left, top, width, height);
}

}  // namespace

// ---------------------------------------------------------------------------------
// The preview image

TNyomtKep::TNyomtKep(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TNyomtKep::setPictureSize(QSize size, QColor fill) {
    if (picture.size() == size && !picture.isNull()) return;
    picture = QImage(size, QImage::Format_RGB32);
    picture.fill(fill);
    resize(size);
}

void TNyomtKep::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!picture.isNull()) painter.drawImage(0, 0, picture);
}

// ---------------------------------------------------------------------------------
// The window

TNyomt::TNyomt(Globals& g) : QWidget(nullptr), g_(g) {
    setWindowTitle(kCaption);
    nx::qt::styleWindow(*this, true);
    resize(672, 506);  // design size, replaced by FormCreate
    createControls();
    fitCaptions();
    setTabPath();
    watchEscape();
    connectHandlers();
    run(&TNyomt::FormCreate, this);
}

void TNyomt::createControls() {
    Label1 = new QLabel(QStringLiteral("Label1"), this);
    place(Label1, 16, 8, 32, 13);
    Label2 = new QLabel(QStringLiteral("Label2"), this);
    place(Label2, 24, 400, 32, 13);

    Kinyomtat = new QPushButton(QStringLiteral("Ki&nyomtat"), this);
    place(Kinyomtat, 568, 416, 75, 41);

    ProgressBar1 = new QProgressBar(this);
    place(ProgressBar1, 328, 8, 310, 16);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);

    ElsoOldal = new QPushButton(QStringLiteral("Első &oldal"), this);
    place(ElsoOldal, 16, 417, 75, 25);
    ElozoOldal = new QPushButton(QStringLiteral("&Előző oldal"), this);
    place(ElozoOldal, 112, 417, 75, 25);
    KovetkezoOldal = new QPushButton(QStringLiteral("&Köv. oldal"), this);
    place(KovetkezoOldal, 208, 417, 75, 25);
    UtolsoOldal = new QPushButton(QStringLiteral("&Utolsó oldal"), this);
    place(UtolsoOldal, 304, 417, 75, 25);

    ScrollBox1 = new QScrollArea(this);
    place(ScrollBox1, 16, 32, 625, 361);
    ScrollBox1->setFocusPolicy(Qt::NoFocus);  // the scroll box takes no keyboard focus
    ScrollBox1->setWidgetResizable(false);
    // The image sits at 8, 8 inside the scrolled area, which reaches to its far edges.
    auto* area = new QWidget;
    NyomtLista = new TNyomtKep(area);
    NyomtLista->setGeometry(8, 8, 720, 1348);
    area->resize(8 + 720, 8 + 1348);
    ScrollBox1->setWidget(area);

    FilebaNyomtatGomb = new QPushButton(QStringLiteral("&Fájlba nyomt."), this);
    place(FilebaNyomtatGomb, 480, 416, 75, 17);
    EgyOldal = new QCheckBox(QStringLiteral("aktuális oldal"), this);
    place(EgyOldal, 392, 416, 89, 17);
    MailbeGomb = new QPushButton(QStringLiteral("E-&mail"), this);
    place(MailbeGomb, 480, 440, 75, 17);
    ReszletNyomt = new QPushButton(QStringLiteral("&Részlet nyomt."), this);
    place(ReszletNyomt, 392, 440, 75, 17);
    // Beyond the window's design: placed along the bottom by FormResize.
    PdfMentes = new QPushButton(QStringLiteral("&PDF mentés"), this);
    place(PdfMentes, 296, 440, 75, 17);
    // Reached by its access key and the mouse; the Tab key's path stays the window's own.
    PdfMentes->setFocusPolicy(Qt::ClickFocus);
}

void TNyomt::fitCaptions() {
    for (QPushButton* b : {Kinyomtat, ElsoOldal, ElozoOldal, KovetkezoOldal, UtolsoOldal,
                           FilebaNyomtatGomb, MailbeGomb, ReszletNyomt, PdfMentes}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        nx::qt::fitWidth(b);
    }
    nx::qt::fitWidth(EgyOldal);
}

void TNyomt::setTabPath() {
    // Tab order: Kinyomtat, ProgressBar1, the four navigation buttons, ScrollBox1,
    // FilebaNyomtatGomb, EgyOldal, MailbeGomb, ReszletNyomt.
    const std::vector<QWidget*> order = {Kinyomtat,   ProgressBar1,      ElsoOldal,
                                         ElozoOldal,  KovetkezoOldal,    UtolsoOldal,
                                         ScrollBox1,  FilebaNyomtatGomb, EgyOldal,
                                         MailbeGomb,  ReszletNyomt};
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TNyomt::watchEscape() {
    // Esc is handled per control (see eventFilter); other keys keep their usual meaning.
    for (QWidget* w : {static_cast<QWidget*>(Kinyomtat), static_cast<QWidget*>(ElsoOldal),
                       static_cast<QWidget*>(ElozoOldal), static_cast<QWidget*>(KovetkezoOldal),
                       static_cast<QWidget*>(UtolsoOldal),
                       static_cast<QWidget*>(FilebaNyomtatGomb),
                       static_cast<QWidget*>(EgyOldal), static_cast<QWidget*>(MailbeGomb),
                       static_cast<QWidget*>(ReszletNyomt), static_cast<QWidget*>(PdfMentes)}) {
        w->installEventFilter(this);
    }
}

void TNyomt::connectHandlers() {
    connect(Kinyomtat, &QPushButton::clicked, this,
            [this] { run(&TNyomt::KinyomtatClick, Kinyomtat); });
    connect(ElsoOldal, &QPushButton::clicked, this,
            [this] { run(&TNyomt::ElsoOldalClick, ElsoOldal); });
    connect(ElozoOldal, &QPushButton::clicked, this,
            [this] { run(&TNyomt::ElozoOldalClick, ElozoOldal); });
    connect(KovetkezoOldal, &QPushButton::clicked, this,
            [this] { run(&TNyomt::KovetkezoOldalClick, KovetkezoOldal); });
    connect(UtolsoOldal, &QPushButton::clicked, this,
            [this] { run(&TNyomt::UtolsoOldalClick, UtolsoOldal); });
    connect(FilebaNyomtatGomb, &QPushButton::clicked, this,
            [this] { run(&TNyomt::FilebaNyomtatGombClick, FilebaNyomtatGomb); });
    connect(MailbeGomb, &QPushButton::clicked, this,
            [this] { run(&TNyomt::MailbeGombClick, MailbeGomb); });
    connect(ReszletNyomt, &QPushButton::clicked, this,
            [this] { run(&TNyomt::ReszletNyomtClick, ReszletNyomt); });
    connect(PdfMentes, &QPushButton::clicked, this,
            [this] { run(&TNyomt::PdfMentesClick, PdfMentes); });
}

TNyomt::~TNyomt() = default;

void TNyomt::run(void (TNyomt::*handler)(QObject*), QObject* sender) {
    g_.dispatcher.run([this, handler, sender] { (this->*handler)(sender); });
}

QSize TNyomt::creationSize(QSize screen) {
    // Room for the image at its design width and both margins, and its design height.
    int width = 720 + 2 * 8 + 2 * 16 + 32;
    int height = 1348 + 50;
    if (!(screen.width() - 20 > width)) width = screen.width() - 20;
    if (!(screen.height() - 100 > height)) height = screen.height() - 100;
    return {width, height};
}

QString TNyomt::pageLabelText(int page) {
    return QStringLiteral("Ez a %1. oldal").arg(page);
}

QColor TNyomt::windowColour() const { return nx::qt::previewFill(); }

int TNyomt::screenDpiY() const {
    return logicalDpiY();
}

void TNyomt::setPageLabel() {
    Label2->setText(pageLabelText(pageNumber_));
    Label2->resize(std::max(32, Label2->sizeHint().width()), Label2->height());
    Label2->repaint();
}

// The image at its place, sized for one page at the screen's resolution and filled
// with the window colour.
void TNyomt::prepareImage() {
    NyomtLista->move(8, 8);
    const nx::PageSize page = nx::qt::pageSizeAt(shown(), screenDpiY());
    const QSize size(page.width, page.height);
    NyomtLista->setPictureSize(size, windowColour());
    if (QWidget* area = NyomtLista->parentWidget()) area->resize(8 + size.width(), 8 + size.height());
    NyomtLista->update();
}

void TNyomt::TextMegnez(QObject*, const std::string& fileName) {
    // A file other than the shown job's is read as a job of the seven paths.
    if (!shown_ || fileName != shownFile_) setDocument(fileName, {});
    if (NyomtLista->picture.isNull()) prepareImage();

    nx::qt::BarProgress progress(*ProgressBar1);
    QImage& image = NyomtLista->picture;
    {
        QPainter painter(&image);
        nx::qt::PainterSurface surface(painter, screenDpiY(), windowColour());
        try {
            const nx::PageSize size{image.width(), image.height(), screenDpiY()};
            // A byte that cannot be read ends the page there and the program.
            if (shown().drawPage(pageNumber_, surface, size, progress).readFailure != 0)
                g_.services.requestTermination();
        } catch (...) {
            // What was drawn before the failure stays visible.
            surface.flush();
            painter.end();
            NyomtLista->update();
            throw;
        }
        surface.flush();
    }
    NyomtLista->update();
    Kinyomtat->setFocus(Qt::OtherFocusReason);
}

nx::PrintSettings TNyomt::printSettings() {
    return {g_.settings, [this] { return g_.Nyomtat != nullptr && g_.Nyomtat->variableLineHeight(); }};
}

void TNyomt::ElsoOldalClick(QObject*) {
    pageNumber_ = 1;
    setPageLabel();
    TextMegnez(this, shownFile_);
}

void TNyomt::ElsoOldalKeyPress(QObject*, char& key) {
    if (key == kEsc) close();
}

void TNyomt::ElozoOldalClick(QObject*) {
    if (pageNumber_ > 1) --pageNumber_;
    setPageLabel();
    TextMegnez(this, shownFile_);
}

void TNyomt::KovetkezoOldalClick(QObject*) {
    if (pageNumber_ < INT_MAX) ++pageNumber_;
    setPageLabel();
    TextMegnez(this, shownFile_);
}

void TNyomt::UtolsoOldalClick(QObject*) {
    nx::qt::BarProgress progress(*ProgressBar1);
    const int count = shown().lastPage(progress);
    if (count > 0) {
        pageNumber_ = count;
        setPageLabel();
        TextMegnez(this, shownFile_);
    }
}

void TNyomt::FormActivate(QObject*) {
    pageNumber_ = 1;
    setPageLabel();
    prepareImage();
    // A click that activated the window goes to the button it pressed.
    if (QWidget* pressed = nx::qt::pressedControl(*this))
        pressed->setFocus(Qt::MouseFocusReason);
    else
        Kinyomtat->setFocus(Qt::ActiveWindowFocusReason);
}

void TNyomt::FormClose(QObject*) {
    NyomtLista->picture.fill(windowColour());
    NyomtLista->update();
    if (g_.Nyomtat) g_.Nyomtat->setStatus(QStringLiteral("Figyelés..."));

    // The host's job file that the watch handed over goes by the same rule as
    // after printing; a job that stays is shown again later.
    g_.cycle.previewClosed();

    if (g_.Nyomtat) g_.Nyomtat->armWatch();
}

void TNyomt::FormKeyPress(QObject*, char& key) {
    if (key == kEsc) close();
}

void TNyomt::FormResize(QObject*) {
    const int cw = width();
    const int ch = height();
    ScrollBox1->resize(cw - ScrollBox1->x() - 16, ch - 90);
    Kinyomtat->move(cw - Kinyomtat->width() - 8, ch - Kinyomtat->height() - 8);
    FilebaNyomtatGomb->move(Kinyomtat->x() - FilebaNyomtatGomb->width() - 8, Kinyomtat->y());
    MailbeGomb->move(FilebaNyomtatGomb->x(),
                     Kinyomtat->y() + Kinyomtat->height() - MailbeGomb->height());
    ReszletNyomt->move(MailbeGomb->x() - ReszletNyomt->width() - 8, MailbeGomb->y());
    PdfMentes->move(ReszletNyomt->x() - PdfMentes->width() - 8, MailbeGomb->y());
    EgyOldal->move(FilebaNyomtatGomb->x() - EgyOldal->width() - 8, Kinyomtat->y());
    for (QPushButton* b : {ElozoOldal, ElsoOldal, KovetkezoOldal, UtolsoOldal})
        b->move(b->x(), Kinyomtat->y());
    ElsoOldal->move(16, ElsoOldal->y());
    ElozoOldal->move(ElsoOldal->x() + ElsoOldal->width() + 16, ElozoOldal->y());
    KovetkezoOldal->move(ElozoOldal->x() + ElozoOldal->width() + 16, KovetkezoOldal->y());
    UtolsoOldal->move(KovetkezoOldal->x() + KovetkezoOldal->width() + 16, UtolsoOldal->y());
    Label2->move(UtolsoOldal->x() + UtolsoOldal->width() + 16,
                 ElsoOldal->y() + (ElsoOldal->height() - Label2->height()) / 2);
    ProgressBar1->move(cw - ProgressBar1->width() - 8, ProgressBar1->y());
}

void TNyomt::KinyomtatKeyPress(QObject*, char& key) {
    if (key == kEsc) close();
}

void TNyomt::FormCreate(QObject*) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    resize(creationSize(screenSize));
    if (screen) {
        const QRect desk = screen->geometry();
        move(desk.x() + (desk.width() - width()) / 2, desk.y() + (desk.height() - height()) / 2);
    }
}

void TNyomt::FilebaNyomtatGombClick(QObject*) {
    QString path = nx::qt::fromCp1250(nx::paths::kDefaultExport);
    if (!g_.dialogs.input(this, kSaveCaption, kSavePrompt, path, 255)) return;

    nx::TextFile target(g_.fs);
    target.assign(nx::qt::toCp1250(path));
    const int code = target.rewrite();
    if (code != 0) {
        g_.dialogs.message(this, path + kIoFailure + QString::number(code));
        return;
    }
    exportText(target);
    g_.dialogs.message(this, kSaveDone);
}

void TNyomt::MailbeGombClick(QObject*) {
    nx::TextFile target(g_.fs);
    target.assign(nx::paths::kMailAttachment);
    const int code = target.rewrite();
    if (code != 0) {
        g_.dialogs.message(this, nx::qt::fromCp1250(nx::paths::kMailAttachmentUpper) +
                                     kIoFailure + QString::number(code));
        return;
    }
    exportText(target);
    if (!g_.MailKuldoForm) return;
    // The PDF beside the text file while the mail window's "PDF melléklet" is ticked:
    // one that cannot be written stops here. Unticked, nothing more is written, as
    // without the PDF; ticked later in the mail window, the PDF is written on sending.
    auto writeMailPdf = [this] {
        return writePdf(std::string(nx::paths::kMailPdf), nx::qt::fromCp1250(nx::paths::kMailPdfUpper),
                        true);
    };
    const bool withPdf = g_.MailKuldoForm->pdfAttachment();
    if (withPdf && !writeMailPdf()) return;
    g_.MailKuldoForm->setPdfWriter(withPdf, writeMailPdf);
    g_.MailKuldoForm->exec();
}

void TNyomt::exportText(nx::TextFile& target) {
    nx::qt::BarProgress progress(*ProgressBar1);
    shown().exportText(target, progress);
}

bool TNyomt::writePdf(const std::string& path, const QString& shownPath, bool report) {
    // Made (or emptied) first, as the text export makes its file: the DOS result
    // code of a path that cannot be written is reported the same way.
    nx::ByteFile target(g_.fs);
    target.assign(path);
    int code = target.rewrite();
    if (code == 0) code = target.close();
    if (code != 0) {
        if (report) g_.dialogs.message(this, shownPath + kIoFailure + QString::number(code));
        return false;
    }
    nx::qt::BarProgress progress(*ProgressBar1);
    try {
        nx::qt::savePdf(shown(), QString::fromStdString(g_.fs.hostPath(path)), progress);
    } catch (const nx::IoError& e) {
        // An export: a stream that cannot be read is reported like any failure of
        // the file, and the program goes on.
        if (report) g_.dialogs.message(this, shownPath + kIoFailure + QString::number(e.code()));
        return false;
    }
    return true;
}

void TNyomt::PdfMentesClick(QObject*) {
    QString path = nx::qt::fromCp1250(nx::paths::kDefaultPdf);
    if (!g_.dialogs.input(this, kPdfCaption, kSavePrompt, path, 255)) return;
    // The whole job, whatever page is shown: the page choice is for printing.
    if (writePdf(nx::qt::toCp1250(path), path, true)) g_.dialogs.message(this, kSaveDone);
}

int TNyomt::pageCount() {
    nx::qt::BarProgress progress(*ProgressBar1);
    return shown().pageCount(progress);
}

int TNyomt::countedPages() {
    try {
        nx::NoProgress counting;
        return shown().pageCount(counting);
    } catch (const std::exception&) {
        return 0;
    }
}

void TNyomt::ReszletNyomtClick(QObject*) {
    QString text = QString::number(pageNumber_);
    if (!g_.dialogs.input(this, kPartCaption, kPartPrompt, text, 255)) return;
    const int pages = pageCount();
    const auto chosen = nx::parsePages(nx::qt::toCp1250(text), pages);
    if (!chosen) {
        g_.dialogs.message(this, nx::qt::fromCp1250(nx::pageChoiceMessage(pages)));
        return;
    }
    g_.Nyomtat->setStatus(QStringLiteral("Nyomtatás..."));
    g_.Nyomtat->Kikuldes(shown(), &*chosen, route_);
}

void TNyomt::KinyomtatClick(QObject*) {
    // The window shows an already converted print stream: it is printed as it stands,
    // or only the page shown while "aktuális oldal" is ticked.
    if (EgyOldal->isChecked()) {
        const int pages = pageCount();
        if (pageNumber_ > pages) {
            g_.dialogs.message(this, nx::qt::fromCp1250(nx::pageChoiceMessage(pages)));
            return;
        }
        const std::set<int> page = {pageNumber_};
        g_.Nyomtat->setStatus(QStringLiteral("Nyomtatás..."));
        g_.Nyomtat->Kikuldes(shown(), &page, route_);
        return;
    }
    g_.Nyomtat->setStatus(QStringLiteral("Nyomtatás..."));
    g_.Nyomtat->Kikuldes(shown(), nullptr, route_);
}

void TNyomt::openJob(const std::string& printStreamPath, const nx::JobOrigin& origin) {
    setDocument(printStreamPath, origin);
    g_.currentJobPath = printStreamPath;

    show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
    activateWindow();
    Label1->setText(kImageCaption);
    Label1->resize(std::max(32, Label1->sizeHint().width()), Label1->height());
    Label1->repaint();

    // Page 1 also when the window was already shown and no activation runs.
    pageNumber_ = 1;
    setPageLabel();
    prepareImage();  // the job's page size, where it differs from the last job's
    TextMegnez(this, printStreamPath);
}

void TNyomt::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    run(&TNyomt::FormResize, this);
}

void TNyomt::closeEvent(QCloseEvent* event) {
    // Closing a window that is not shown (e.g. at exit) consumes nothing.
    if (isVisible()) run(&TNyomt::FormClose, this);
    event->accept();
}

void TNyomt::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (event->key() == Qt::Key_Escape || (!text.isEmpty() && text.at(0) == QChar(kEsc))) {
        char key = kEsc;
        g_.dispatcher.run([this, &key] { FormKeyPress(this, key); });
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TNyomt::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    const bool esc = key->key() == Qt::Key_Escape || (!text.isEmpty() && text.at(0) == QChar(kEsc));
    if (!esc) return QWidget::eventFilter(watched, event);

    char ch = kEsc;
    if (watched == Kinyomtat) {
        g_.dispatcher.run([this, &ch] { KinyomtatKeyPress(Kinyomtat, ch); });
    } else if (watched == ElsoOldal || watched == ElozoOldal || watched == KovetkezoOldal ||
               watched == UtolsoOldal) {
        g_.dispatcher.run([this, watched, &ch] { ElsoOldalKeyPress(watched, ch); });
    }
    // The other controls have no key handler: Esc does nothing there, and it must not
    // reach the window's own handler either.
    return true;
}

nx::Document& TNyomt::shown() {
    if (!shown_) setDocument(shownFile_, {});
    return *shown_;
}

void TNyomt::setDocument(const std::string& path, const nx::JobOrigin& origin) {
    shown_ = nx::openDocument(g_.fs, path, origin, printSettings());
    shownFile_ = path;
    route_ = nx::routeOf(origin.folder);
}
