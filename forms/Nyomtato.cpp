#include "forms/Nyomtato.h"

#include <QApplication>
#include <QGuiApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <optional>

#include "formats/kept.h"
#include "forms/Elozmenyek.h"
#include "forms/FigyeltMappak.h"
#include "forms/NotificationArea.h"
#include "forms/NyomtUnit.h"
#include "forms/WindowKit.h"
#include "intake/intconv.h"
#include "intake/paths.h"
#include "platform/qt/background.h"
#include "platform/qt/codec.h"
#include "platform/qt/pattern.h"
#include "render/qt/pdf.h"
#include "platform/qt/print_job.h"
#include "formats/open.h"
#include "platform/qt/raw_print.h"
#include "render/printer_output.h"
#include "platform/cp1250_utf8.h"

namespace {

constexpr int kWatchInterval = 3000;
constexpr int kOuterWidth = 199;
constexpr int kOuterHeight = 482;

QString cp(std::string_view bytes) { return nx::qt::fromCp1250(bytes); }

}  // namespace

TNyomtat::TNyomtat(Globals& g) : QWidget(nullptr), g_(g) {
    setWindowTitle(cp("ZTL Nyomtat\xf3"));
    nx::qt::styleWindow(*this, false);
    resize(kOuterWidth, kOuterHeight);
    createControls();
    fitCaptions();
    setTabPath();
    createWatchTimer();
    connectHandlers();
    g_.dispatcher.run([this] { FormCreate(this); });
}

void TNyomtat::createControls() {
    auto label = [this](const char* text, int x, int y, int w, int h) {
        auto* l = new QLabel(cp(text), this);
        l->setGeometry(x, y, w, h);
        return l;
    };
    auto button = [this](const char* text, int x, int y, int w, int h) {
        auto* b = new QPushButton(cp(text), this);
        b->setGeometry(x, y, w, h);
        b->setAutoDefault(false);
        return b;
    };
    auto box = [this](const char* name, int x, int y) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(x, y, 41, 21);
        e->installEventFilter(this);
        return e;
    };
    auto check = [this](const char* text, int x, int y, int w, bool checked) {
        auto* c = new QCheckBox(cp(text), this);
        c->setGeometry(x, y, w, 17);
        c->setChecked(checked);
        return c;
    };

    Label1 = label("Nyomtat\xf3?", 16, 24, 51, 13);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(16, 56, 153, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    NyomtSetup = button("&Nyomtat\xf3 v\xe1laszt\xe1s", 16, 88, 153, 25);
    StaticText1 = label("Bal fels\xf5 marg\xf3 (1 pont = 1/72 inch)", 8, 120, 173, 17);
    MaskEdit1 = box("MaskEdit1", 16, 144);
    MaskEdit2 = box("MaskEdit2", 120, 144);
    Label2 = label("Norm\xe1l bet\xfbm\xe9ret", 16, 176, 83, 13);
    Edit1 = box("Edit1", 120, 176);
    Label3 = label("Elit bet\xfbm\xe9ret", 16, 200, 64, 13);
    Edit2 = box("Edit2", 120, 200);
    Label4 = label("S\xfbr\xedtett bet\xfbm\xe9ret", 16, 224, 84, 13);
    Edit3 = box("Edit3", 120, 224);
    Label5 = label("Dupla bet\xfbm\xe9ret", 16, 248, 78, 13);
    Edit4 = box("Edit4", 120, 248);
    NyomtA3 = check("A3-as lap nyomtat\xe1s (fekv\xf5)", 16, 280, 161, false);
    ValtozoSormagassag = check("V\xe1ltoz\xf3 sormagass\xe1g", 16, 304, 153, false);
    AzonnalNyomtat = check("Azonnal nyomtat", 16, 328, 97, true);
    LegutobbiNyGomb = button("&Legut\xf3\x62\x62i nyomtat\xe1s", 16, 352, 153, 25);
    KilepesGomb = button("&Program befejez\xe9se", 16, 384, 153, 25);
    StaticText2 = label("Norvexa 1.06 verzi\xf3", 16, 424, 106, 17);
    StaticText2->setAlignment(Qt::AlignCenter);
    MappakGomb = button("&Mapp\xe1k...", 120, 324, 57, 21);
    // Reached by its access key and the mouse; the Tab key's path stays the window's own.
    MappakGomb->setFocusPolicy(Qt::ClickFocus);
    ElozmenyekGomb = button("&El\xf5zm\xe9nyek...", 124, 422, 67, 21);
    ElozmenyekGomb->setFocusPolicy(Qt::ClickFocus);
}

void TNyomtat::fitCaptions() {
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(StaticText1),
                       static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label3),
                       static_cast<QWidget*>(Label4), static_cast<QWidget*>(Label5),
                       static_cast<QWidget*>(NyomtA3), static_cast<QWidget*>(ValtozoSormagassag),
                       static_cast<QWidget*>(AzonnalNyomtat), static_cast<QWidget*>(StaticText2)}) {
        nx::qt::fitWidth(w, kOuterWidth - 8);
    }
    // The folders button keeps to the right of "Azonnal nyomtat" however wide a
    // stand-in face makes either, and within the window.
    nx::qt::fitWidth(MappakGomb);
    const int right = kOuterWidth - 8;
    const int x = std::max(MappakGomb->x(), AzonnalNyomtat->geometry().right() + 4);
    MappakGomb->setGeometry(x, MappakGomb->y(), std::min(MappakGomb->width(), right - x),
                            MappakGomb->height());
    // The history button where the window has room for its whole caption: to the
    // right of the "Nyomtató?" label, at the top (beside the version line at the
    // foot a wider face than the window's cut its first letter).
    nx::qt::fitWidth(ElozmenyekGomb);
    const int width = ElozmenyekGomb->sizeHint().width();
    const int hx = std::max(Label1->geometry().right() + 8, right - width);
    ElozmenyekGomb->setGeometry(hx, 20, std::min(width, right - hx), ElozmenyekGomb->height());
}

void TNyomtat::setTabPath() {
    QWidget* order[] = {NyomtSetup, KilepesGomb, MaskEdit1,      MaskEdit2,
                        ValtozoSormagassag, Edit1, Edit2, Edit3, Edit4,
                        AzonnalNyomtat, LegutobbiNyGomb, NyomtA3};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TNyomtat::createWatchTimer() {
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(kWatchInterval);
}

void TNyomtat::connectHandlers() {
    auto dispatch = [this](auto handler) {
        return [this, handler] { g_.dispatcher.run([this, handler] { (this->*handler)(this); }); };
    };
    connect(NyomtSetup, &QPushButton::clicked, this, dispatch(&TNyomtat::NyomtSetupClick));
    connect(KilepesGomb, &QPushButton::clicked, this, dispatch(&TNyomtat::KilepesGombClick));
    connect(LegutobbiNyGomb, &QPushButton::clicked, this,
            dispatch(&TNyomtat::LegutobbiNyGombClick));
    connect(Timer1, &QTimer::timeout, this, dispatch(&TNyomtat::Figyeles));
    connect(MappakGomb, &QPushButton::clicked, this, dispatch(&TNyomtat::MappakGombClick));
    connect(ElozmenyekGomb, &QPushButton::clicked, this, dispatch(&TNyomtat::ElozmenyekGombClick));
    // The user's change of the box is stored at once, so the next activation keeps it.
    connect(ValtozoSormagassag, &QCheckBox::toggled, this, [this](bool on) {
        if ((g_.settings.variableLineHeight != 0) != on)
            g_.settings.variableLineHeight = on ? 1 : 0;
    });
}

TNyomtat::~TNyomtat() {
    Timer1->stop();
    g_.Elozmenyek = nullptr;
    historyWindow_.reset();
    for (QLineEdit* e : {MaskEdit1, MaskEdit2, Edit1, Edit2, Edit3, Edit4}) e->removeEventFilter(this);
    g_.dispatcher.run([this] { FormDestroy(this); });
}

void TNyomtat::FormCreate(QObject*) {
    firstActivation_ = false;
    nx::loadSettings(g_.fs, g_.settings, [this](const std::string& message) {
        g_.services.errorBox(nx::withFullStop(message));
    });
}

void TNyomtat::FormDestroy(QObject*) {
    // A window that was never activated never had its boxes filled: save the record
    // as loaded rather than reporting six empty boxes.
    if (!firstActivation_) BetuKiir();
    nx::SettingsBoxes boxes;
    boxes.normal = nx::qt::toCp1250(Edit1->text());
    boxes.elite = nx::qt::toCp1250(Edit2->text());
    boxes.condensed = nx::qt::toCp1250(Edit3->text());
    boxes.dbl = nx::qt::toCp1250(Edit4->text());
    boxes.leftMargin = nx::qt::toCp1250(MaskEdit1->text());
    boxes.topMargin = nx::qt::toCp1250(MaskEdit2->text());
    boxes.variableLineHeight = ValtozoSormagassag->isChecked();
    nx::saveSettings(g_.fs, g_.settings, boxes, [this](const std::string& message) {
        g_.services.errorBox(nx::withFullStop(message));
    });
}

void TNyomtat::FormActivate(QObject*) {
    BetuKiir();
    if (!firstActivation_) {
        // Set first: nothing during the message may show it a second time.
        firstActivation_ = true;
        g_.dialogs.message(this, cp("El\xf5sz\xf6r v\xe1lasszon nyomtat\xf3t!"));
    }
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    // A click that activated the window goes to the button it pressed.
    if (QWidget* pressed = nx::qt::pressedControl(*this))
        pressed->setFocus(Qt::MouseFocusReason);
    else
        NyomtSetup->setFocus(Qt::OtherFocusReason);
}

void TNyomtat::BetuKiir() {
    Edit1->setText(QString::number(g_.settings.normal));
    Edit2->setText(QString::number(g_.settings.elite));
    Edit3->setText(QString::number(g_.settings.condensed));
    Edit4->setText(QString::number(g_.settings.dbl));
    MaskEdit1->setText(QString::number(g_.settings.leftMargin));
    MaskEdit2->setText(QString::number(g_.settings.topMargin));
    ValtozoSormagassag->setChecked(g_.settings.variableLineHeight != 0);
}

void TNyomtat::NyomtSetupClick(QObject*) {
    if (g_.dialogs.printerSetup(this, *g_.currentPrinter)) armWatch();
}

void TNyomtat::KilepesGombClick(QObject*) { g_.services.requestTermination(); }

void TNyomtat::LegutobbiNyGombClick(QObject*) {
    setStatus(cp("Megjelen\xedt\xe9s..."));
    g_.Nyomt->openJob(std::string(nx::paths::kLastJobCopy));
}

void TNyomtat::MappakGombClick(QObject*) {
    // OK writes the folders file; the watch reads it again at its next cycle.
    TFigyeltMappak window(g_, this);
    window.exec();
}

void TNyomtat::ElozmenyekGombClick(QObject*) {
    // A window of its own beside the main window: the preview it opens and the
    // printing it starts go on while it is shown.
    if (!historyWindow_) {
        historyWindow_ = std::make_unique<TElozmenyek>(g_, this);
        g_.Elozmenyek = historyWindow_.get();
    }
    historyWindow_->refresh();
    historyWindow_->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) historyWindow_->raise();
    historyWindow_->activateWindow();
}

void TNyomtat::MaskEdit1Exit(QObject*) {
    g_.settings.leftMargin = nx::textToInteger(nx::qt::toCp1250(MaskEdit1->text()));
}
void TNyomtat::MaskEdit2Exit(QObject*) {
    g_.settings.topMargin = nx::textToInteger(nx::qt::toCp1250(MaskEdit2->text()));
}
void TNyomtat::Edit1Exit(QObject*) {
    g_.settings.normal = nx::textToInteger(nx::qt::toCp1250(Edit1->text()));
}
void TNyomtat::Edit2Exit(QObject*) {
    g_.settings.elite = nx::textToInteger(nx::qt::toCp1250(Edit2->text()));
}
void TNyomtat::Edit3Exit(QObject*) {
    g_.settings.condensed = nx::textToInteger(nx::qt::toCp1250(Edit3->text()));
}
void TNyomtat::Edit4Exit(QObject*) {
    g_.settings.dbl = nx::textToInteger(nx::qt::toCp1250(Edit4->text()));
}

void TNyomtat::MaskEdit1KeyPress(QObject*, char& key) {
    if (key == '\r') NyomtSetup->setFocus(Qt::OtherFocusReason);
}
void TNyomtat::MaskEdit2KeyPress(QObject*, char& key) {
    if (key == '\r') NyomtSetup->setFocus(Qt::OtherFocusReason);
}
void TNyomtat::Edit1KeyPress(QObject*, char& key) {
    if (key == '\r') NyomtSetup->setFocus(Qt::OtherFocusReason);
}

void TNyomtat::setStatus(const QString& text) {
    Label1->setText(text);
    nx::qt::fitWidth(Label1, kOuterWidth - 8);
    Label1->repaint();
}

void TNyomtat::armWatch() {
    if (Timer1->isActive()) return;
    Timer1->setInterval(kWatchInterval);
    Timer1->start();
}

nx::Printed TNyomtat::Kikuldes(nx::Document& job, const std::set<int>* pages, const nx::JobRoute& route) {
    // The route's own printer, where it names one that the system lists.
    QPrinter* target = g_.currentPrinter.get();
    std::unique_ptr<QPrinter> own;
    if (!route.printer.empty()) {
        const QString name = QString::fromStdString(route.printer);
        if (!nx::qt::printerExists(name))
            throw nx::IoError(nx::kDeviceWriteFault, "A nyomtat\xf3 nem tal\xe1lhat\xf3: " + nx::utf8ToCp1250(route.printer));
        own = std::make_unique<QPrinter>(QPrinter::HighResolution);
        own->setPrinterName(name);
        target = own.get();
    }
    if (route.raw) {
        // The job's bytes as they came, to a printer that reads them itself.
        if (pages) throw nx::IoError(nx::kDeviceWriteFault, "Nyers k\xfcld\xe9sn\xe9l csak a teljes feladat nyomtathat\xf3");
        if (target->outputFormat() != QPrinter::NativeFormat || target->printerName().isEmpty())
            throw nx::IoError(nx::kDeviceWriteFault, "A nyers k\xfcld\xe9shez nyomtat\xf3t kell v\xe1lasztani");
        const QString why = nx::qt::sendRaw(target->printerName(), QString::fromStdString(g_.fs.hostPath(job.file())),
                                            QString::fromUtf8(nx::cp1250ToUtf8(nx::kPrintJobTitle)));
        if (!why.isEmpty()) throw nx::IoError(nx::kDeviceWriteFault, nx::utf8ToCp1250(why.toStdString()));
        return {target->printerName().toStdString(), 0};
    }
    const nx::qt::SheetOnPrinter sheet(*target, job.sheet());
    nx::qt::QtPrintJob printer(*target);
    nx::CountedPages counted(printer);
    nx::qt::BarProgress progress(*ProgressBar1);
    try {
        job.print(counted,
                  {target->resolution(), NyomtA3->isChecked(), pages, sheet.printableHeight(), sheet.printableWidth()},
                  progress);
    } catch (const nx::StreamReadError&) {
        // A print stream that cannot be read whole ends the program; the error box
        // follows as for every input/output error.
        g_.services.requestTermination();
        throw;
    }
    if (target->outputFormat() == QPrinter::PdfFormat) return {target->outputFileName().toStdString(), counted.pages()};
    return {target->printerName().toStdString(), counted.pages()};
}

std::unique_ptr<nx::Document> TNyomtat::takenJob(const nx::JobCycle::Decision& next) {
    return nx::openDocument(g_.fs, next.file, {next.folder, {}},
                            {g_.settings, [this] { return ValtozoSormagassag->isChecked(); }});
}

nx::Delivery TNyomtat::deliverFolderJob(nx::Document& job, const std::string& jobPath, const nx::WatchedFolder& folder,
                                        std::int64_t takenAt) {
    // The outputs of this window: its printer output, and the PDF routine.
    class WindowOutputs final : public nx::Outputs {
    public:
        explicit WindowOutputs(TNyomtat& w) : w_(w) {}
        nx::Printed print(nx::Document& doc, const std::set<int>* pages, const nx::JobRoute& route) override {
            return w_.Kikuldes(doc, pages, route);
        }
        void savePdf(nx::Document& doc, const std::set<int>* pages, const std::string& path, bool archival) override {
            nx::qt::BarProgress progress(*w_.ProgressBar1);
            nx::PrintRun run;
            run.pages = pages;
            nx::qt::savePdf(doc, QString::fromStdString(path), progress, run, archival);
        }

    private:
        TNyomtat& w_;
    } outputs(*this);
    nx::NoProgress counting;
    nx::Delivery delivered = nx::deliver(g_.fs, job, jobPath, folder, takenAt, outputs, nx::qt::compilePattern, counting);
    // What the patterns could not do is told once a session, each message once.
    for (const std::string& message : delivered.told)
        if (toldOnce_.insert(message).second) g_.services.errorBox(nx::withFullStop(nx::utf8ToCp1250(message)));
    return delivered;
}

void TNyomtat::printTaken(const nx::JobCycle::Decision& next) {
    // The copy is kept before the job file is released.
    nx::HistoryEntry entry = nx::takenEntry(g_.history, next.job, next.folder, next.checksum);
    bool saved = false;  // saved as PDF files, not printed
    try {
        const std::unique_ptr<nx::Document> job = takenJob(next);
        nx::Printed printed;
        if (next.folder) {
            // A folder's job goes as its route says: printed, saved as PDF files, or
            // both, split into its documents.
            const nx::Delivery delivered = deliverFolderJob(*job, next.job, *next.folder, entry.time);
            printed = {delivered.printer, delivered.pages};
            entry.files = delivered.files;
            if (delivered.printer.empty()) saved = true;
        } else {
            printed = Kikuldes(*job, nullptr, nx::routeOf(next.folder));
        }
        entry.printer = printed.printer;
        entry.pages = printed.pages;
        if (printed.pages == 0) {
            // Sent as it is: the pages the job would draw, where they can be counted.
            try {
                nx::NoProgress counting;
                entry.pages = job->pageCount(counting);
            } catch (const std::exception&) {
            }
        }
    } catch (...) {
        entry.result = nx::HistoryEntry::Result::Failed;
        try {
            throw;
        } catch (const std::exception& e) {
            entry.message = nx::cp1250ToUtf8(e.what());
        } catch (...) {
        }
        recordJob(g_, std::move(entry));
        if (!next.folder) throw;  // the job stays for the next run; told by the handler
        // Kept in its folder and set aside until it (or the folders file) changes;
        // the error is told once by the handler's box, naming the job, and the watch
        // goes on.
        g_.cycle.printFailed();
        Label1->setText(cp("Figyel\xe9s..."));
        armWatch();
        try {
            throw;
        } catch (const nx::IoError& e) {
            throw nx::IoError(e.code(), nx::utf8ToCp1250(next.job) + ": " + e.what());
        }
    }
    g_.cycle.printed();
    entry.result = saved ? nx::HistoryEntry::Result::Saved : nx::HistoryEntry::Result::Printed;
    recordJob(g_, std::move(entry));
}

std::string TNyomtat::backgroundProblem(const std::optional<nx::WatchedFolder>& folder) {
    if (!folder) return {};
    for (const std::string& file : nx::sheetOf(g_.fs, *folder).backgrounds)
        if (std::string why = nx::qt::backgroundProblem(file); !why.empty()) return why;
    return {};
}

bool TNyomtat::variableLineHeight() const { return ValtozoSormagassag->isChecked(); }

void TNyomtat::Figyeles(QObject*) {
    Timer1->stop();
    setStatus(cp("Figyel\xe9s..."));
    if (g_.tray) g_.tray->setPrinter(g_.currentPrinter->printerName());
    // What is wrong in the watched folders' file is told once per version of it; the
    // other folders and the seven job paths go on.
    for (const std::string& problem : g_.cycle.refreshFolders())
        g_.services.errorBox(nx::utf8ToCp1250(nx::withFullStop(problem)));
    // Every folder job that is ready is taken in this cycle, one after another (a
    // burst); after about a second the rest follows at once from the event loop, so
    // the window is never frozen for longer.
    const auto started = std::chrono::steady_clock::now();
    for (bool again = std::exchange(burstLook_, false);; again = true) {
        if (!g_.cycle.look(again)) break;
        const Taken taken = takeOne();
        if (taken == Taken::Stop) return;
        if (taken == Taken::Done) break;
        if (std::chrono::steady_clock::now() - started >= burstSlice_) {
            burstLook_ = true;
            Label1->setText(cp("Figyel\xe9s..."));
            armSoon();
            return;
        }
    }
    Label1->setText(cp("Figyel\xe9s..."));
    armWatch();
}

void TNyomtat::armSoon() {
    Timer1->stop();
    Timer1->setInterval(0);
    Timer1->start();
}

TNyomtat::Taken TNyomtat::takeOne() {
    setStatus(cp("Feldolgoz\xe1s..."));
    nx::qt::BarProgress progress(*ProgressBar1);
    const nx::JobCycle::Decision next = g_.cycle.take(AzonnalNyomtat->isChecked(), progress);
    switch (next.step) {
        case nx::JobCycle::Step::Failed: {
            nx::HistoryEntry entry = nx::takenEntry(g_.history, next.job, next.folder, std::nullopt);
            entry.result = nx::HistoryEntry::Result::Failed;
            entry.message = nx::cp1250ToUtf8(nx::withFullStop(nx::ioMessage(next.code)));
            recordJob(g_, std::move(entry));
            if (next.folder) {
                // A watched folder's job: told once, left in its folder, and the
                // watch goes on with the others.
                g_.services.errorBox(nx::withFullStop(nx::utf8ToCp1250(next.job) + ": " +
                                                      nx::ioMessage(next.code)));
                break;
            }
            // Nothing is printed, shown or deleted; the job stays for the next run,
            // and the program ends.
            g_.services.requestTermination();
            g_.services.errorBox(nx::withFullStop(nx::ioMessage(next.code)));
            return Taken::Stop;
        }
        case nx::JobCycle::Step::Show: {
            setStatus(cp("Megjelen\xedt\xe9s..."));
            nx::HistoryEntry entry = nx::takenEntry(g_.history, next.job, next.folder, next.checksum);
            if (const std::string why = backgroundProblem(next.folder); !why.empty()) {
                // Not shown without its background: kept in its folder and set aside
                // until it, its background or the folders file changes; told once.
                entry.result = nx::HistoryEntry::Result::Failed;
                entry.message = why;
                recordJob(g_, std::move(entry));
                g_.cycle.printFailed();
                g_.services.errorBox(nx::withFullStop(nx::utf8ToCp1250(next.job + ": " + why)));
                break;
            }
            g_.Nyomt->openJob(next.file, {next.folder, {}});
            entry.pages = g_.Nyomt->countedPages();
            entry.result = nx::HistoryEntry::Result::Shown;
            recordJob(g_, std::move(entry));
            return Taken::Stop;  // the preview's closing goes on with the watch
        }
        case nx::JobCycle::Step::Print:
            setStatus(cp("Nyomtat\xe1s..."));
            printTaken(next);
            break;
        case nx::JobCycle::Step::Nothing:
        case nx::JobCycle::Step::Wait:
        case nx::JobCycle::Step::HandledBefore:
            return Taken::Done;
    }
    // Only a folder's job printed or failed goes on to the next: a job of the seven
    // paths is one a cycle.
    const bool folderDone = next.step == nx::JobCycle::Step::Print || next.step == nx::JobCycle::Step::Failed;
    return next.folder && folderDone ? Taken::Another : Taken::Done;
}

bool TNyomtat::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && box->parent() == this) {
        if (event->type() == QEvent::FocusOut) {
            auto* fe = static_cast<QFocusEvent*>(event);
            QWidget* next = QApplication::focusWidget();
            // Only a move to another control of this window is an exit; the window
            // losing the focus (another window, a dialog, a menu) is not.
            if (fe->reason() != Qt::ActiveWindowFocusReason && fe->reason() != Qt::PopupFocusReason &&
                next && next != box && next->window() == this) {
                boxExit(box);
            }
        } else if (event->type() == QEvent::KeyPress) {
            auto* ke = static_cast<QKeyEvent*>(event);
            char key = 0;
            if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
                key = '\r';
            } else if (!ke->text().isEmpty()) {
                std::string bytes = nx::qt::toCp1250(ke->text().left(1));
                if (!bytes.empty()) key = bytes[0];
            }
            if (key != 0) boxKeyPress(box, key);
            return false;  // the character is left to the box
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TNyomtat::boxExit(QObject* box) {
    g_.dispatcher.run([this, box] {
        if (box == MaskEdit1) MaskEdit1Exit(box);
        else if (box == MaskEdit2) MaskEdit2Exit(box);
        else if (box == Edit1) Edit1Exit(box);
        else if (box == Edit2) Edit2Exit(box);
        else if (box == Edit3) Edit3Exit(box);
        else if (box == Edit4) Edit4Exit(box);
    });
}

void TNyomtat::boxKeyPress(QObject* box, char key) {
    g_.dispatcher.run([this, box, key] {
        char k = key;
        if (box == MaskEdit1) MaskEdit1KeyPress(box, k);
        else if (box == MaskEdit2) MaskEdit2KeyPress(box, k);
        else Edit1KeyPress(box, k);
    });
}

void TNyomtat::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program as the exit button does.
    g_.dispatcher.run([this] { KilepesGombClick(this); });
    event->accept();
}

void TNyomtat::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_ || event->spontaneous()) return;
    placed_ = true;
    // Outer size 199 by 482 (frame included where the window system reports one),
    // centred on the desktop.
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    resize(kOuterWidth - frame.left() - frame.right(), kOuterHeight - frame.top() - frame.bottom());
    if (QScreen* s = screen()) {
        const QRect desk = s->geometry();
        move(desk.x() + (desk.width() - kOuterWidth) / 2, desk.y() + (desk.height() - kOuterHeight) / 2);
    }
}
