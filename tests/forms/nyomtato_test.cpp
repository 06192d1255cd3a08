// The main window driven through its controls and its watch cycle, on a temporary
// drive, with scripted dialogs and a PDF file as the printer.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "app/program.h"
#include "forms/NyomtUnit.h"
#include "forms/Nyomtato.h"
#include "intake/charmap.h"
#include "intake/paths.h"
#include "platform/qt/codec.h"
#include "tests/support/fault_plan.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_drive.h"

namespace {

namespace fs = std::filesystem;
using nx::paths::kLastJobCopy;
using nx::paths::kWorkingCopy;

QString cp(std::string_view bytes) { return nx::qt::fromCp1250(bytes); }

std::string mapped(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) c = static_cast<char>(nx::mapByte(static_cast<std::uint8_t>(c)));
    return out;
}

#if defined(_WIN32)
// Under Windows poppler's tools are not at hand: the pages are counted as the page
// objects Qt's PDF writer makes, and the text is not read back (the Windows test
// stage reads the PDFs of norvexa-print.exe and of the service from outside).
constexpr bool kPdfTextReadable = false;
int pdfPages(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string pdf{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (pdf.rfind("%PDF", 0) != 0) return -1;
    int pages = 0;
    for (auto at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
        if (at + 11 >= pdf.size() || pdf[at + 11] != 's') ++pages;
    return pages;
}
std::string pdfText(const std::string&) { return {}; }
#else
constexpr bool kPdfTextReadable = true;
// Pages of a PDF as poppler reads them; -1 when it cannot be read.
int pdfPages(const std::string& path) {
    std::string cmd = "pdfinfo '" + path + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char line[512];
    int pages = -1;
    while (fgets(line, sizeof line, p)) {
        if (std::sscanf(line, "Pages: %d", &pages) == 1) break;
    }
    pclose(p);
    return pages;
}

std::string pdfText(const std::string& path) {
    std::string cmd = "pdftotext -layout '" + path + "' - 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {};
    std::string text;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    pclose(p);
    return text;
}
#endif

using nx::test::FailOn;
using nx::test::ScopedFaultHook;

class MainWindowTest : public ::testing::Test {
protected:
    nx::test::TempDrive drive;
    nx::test::ScriptedDialogs dialogs;
    std::unique_ptr<nx::app::Program> program;

    void SetUp() override {
        for (std::string_view dir : nx::paths::kHostDirs) fs::create_directory(drive.root() / dir);
        dialogs.pdfPath = QString::fromStdString((drive.root() / "out.pdf").string());
    }
    void TearDown() override { program.reset(); }

    void start() {
        program = std::make_unique<nx::app::Program>(nx::DriveTable(drive.root().string()), dialogs,
                                                     "/opt/norvexa/NORVEXA.EXE");
    }
    TNyomtat& w() { return program->mainWindow(); }
    Globals& g() { return program->globals(); }
    std::string pdf() const { return dialogs.pdfPath.toStdString(); }

    void showMain() {
        w().show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    }
    static void focusWindow(QWidget& window) {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::qWait(10);
    }
    // One watch cycle as the timer runs it, through the dispatcher.
    void cycle() {
        g().dispatcher.run([this] { w().Figyeles(w().Timer1); });
    }
    // Shows the main window and confirms the printer: the watch is armed.
    void startWatching() {
        showMain();
        QTest::mouseClick(w().NyomtSetup, Qt::LeftButton);
        ASSERT_TRUE(w().Timer1->isActive());
    }
    static void type(QLineEdit* box, const QString& text) {
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
};

// --- the window itself ---------------------------------------------------------

TEST_F(MainWindowTest, CaptionSizePlaceAndTabOrder) {
    start();
    showMain();
    EXPECT_EQ(w().windowTitle(), cp("ZTL Nyomtat\xf3"));
    EXPECT_EQ(w().font().family(), "MS Sans Serif");
    EXPECT_EQ(w().frameGeometry().size(), QSize(199, 482));
    const QRect desk = w().screen()->geometry();
    EXPECT_EQ(w().frameGeometry().center().x() / 4, desk.center().x() / 4);
    EXPECT_EQ(w().frameGeometry().center().y() / 4, desk.center().y() / 4);
    EXPECT_EQ(w().Label1->text(), cp("Nyomtat\xf3?"));
    EXPECT_TRUE(w().AzonnalNyomtat->isChecked());
    EXPECT_FALSE(w().NyomtA3->isChecked());
    EXPECT_FALSE(w().Timer1->isActive());

    const QWidget* expected[] = {w().NyomtSetup, w().KilepesGomb,        w().MaskEdit1,
                                 w().MaskEdit2,  w().ValtozoSormagassag, w().Edit1,
                                 w().Edit2,      w().Edit3,              w().Edit4,
                                 w().AzonnalNyomtat, w().LegutobbiNyGomb, w().NyomtA3,
                                 w().NyomtSetup};
    ASSERT_EQ(QApplication::focusWidget(), w().NyomtSetup);
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected[i]) << "tab stop " << i;
    }
}

TEST_F(MainWindowTest, FirstActivationFillsTheBoxesAndAsksForAPrinterOnce) {
    nx::Settings s;
    s.normal = 12;
    s.elite = 10;
    s.condensed = 7;
    s.dbl = 20;
    s.leftMargin = 30;
    s.topMargin = -5;
    s.variableLineHeight = 1;
    const auto rec = s.encode();
    drive.write("c:\\norvexa\\config.dta", std::string(rec.begin(), rec.end()));

    start();
    EXPECT_TRUE(dialogs.messages.empty());  // nothing before the window is shown
    showMain();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], cp("El\xf5sz\xf6r v\xe1lasszon nyomtat\xf3t!"));
    EXPECT_EQ(w().Edit1->text(), "12");
    EXPECT_EQ(w().Edit2->text(), "10");
    EXPECT_EQ(w().Edit3->text(), "7");
    EXPECT_EQ(w().Edit4->text(), "20");
    EXPECT_EQ(w().MaskEdit1->text(), "30");
    EXPECT_EQ(w().MaskEdit2->text(), "-5");
    EXPECT_TRUE(w().ValtozoSormagassag->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), w().NyomtSetup);
    EXPECT_EQ(w().ProgressBar1->value(), 0);
    EXPECT_EQ(w().ProgressBar1->maximum(), 100);

    // A modal dialog over the window and back: no activation, the box keeps its text.
    w().Edit1->setText("99");
    QDialog box(&w());
    QTimer::singleShot(50, &box, &QDialog::accept);
    box.exec();
    focusWindow(w());
    EXPECT_EQ(w().Edit1->text(), "99");
    EXPECT_EQ(dialogs.messages.size(), 1u);

    // To the preview and back: an activation that refills the boxes, without the message.
    g().Nyomt->show();
    focusWindow(*g().Nyomt);
    focusWindow(w());
    EXPECT_EQ(w().Edit1->text(), "12");
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(QApplication::focusWidget(), w().NyomtSetup);
}

TEST_F(MainWindowTest, EnterStoresTheBoxAndMovesTheFocusToThePrinterButton) {
    start();
    showMain();
    type(w().MaskEdit1, "30");
    QTest::keyClick(w().MaskEdit1, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w().NyomtSetup);
    EXPECT_EQ(g().settings.leftMargin, 30);

    // The four size boxes share one key handler; each stores its own field.
    type(w().Edit3, "$10");
    QTest::keyClick(w().Edit3, Qt::Key_Enter);
    EXPECT_EQ(QApplication::focusWidget(), w().NyomtSetup);
    EXPECT_EQ(g().settings.condensed, 16);
    EXPECT_EQ(g().settings.normal, 11);

    // Tab out of a box is an exit too.
    type(w().Edit1, "  14");
    QTest::keyClick(w().Edit1, Qt::Key_Tab);
    EXPECT_EQ(g().settings.normal, 14);
    EXPECT_TRUE(dialogs.errors.empty());

    // After the preview has been shown and closed, the box still shows the value.
    g().Nyomt->show();
    focusWindow(*g().Nyomt);
    g().Nyomt->close();
    focusWindow(w());
    EXPECT_EQ(w().MaskEdit1->text(), "30");
}

TEST_F(MainWindowTest, ABoxThatIsNoIntegerIsReportedAndKeepsTheOldValue) {
    start();
    showMain();
    type(w().MaskEdit2, "12 ");
    QTest::keyClick(w().MaskEdit2, Qt::Key_Return);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].title, "Norvexa");
    EXPECT_EQ(dialogs.errors[0].text, "'12 ' is not a valid integer value.");
    EXPECT_EQ(g().settings.topMargin, 0);
    EXPECT_EQ(w().MaskEdit2->text(), "12 ");
    EXPECT_EQ(QApplication::focusWidget(), w().NyomtSetup);

    // The window losing the focus is no exit: nothing is reported then.
    type(w().Edit1, "abc");
    g().Nyomt->show();
    focusWindow(*g().Nyomt);
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(g().settings.normal, 11);
}

TEST_F(MainWindowTest, VariableLineHeightIsStoredAtOnceAndSurvivesAnActivation) {
    start();
    showMain();
    QTest::mouseClick(w().ValtozoSormagassag, Qt::LeftButton);
    EXPECT_EQ(g().settings.variableLineHeight, 1);
    g().Nyomt->show();
    focusWindow(*g().Nyomt);
    focusWindow(w());
    EXPECT_TRUE(w().ValtozoSormagassag->isChecked());
    QTest::mouseClick(w().ValtozoSormagassag, Qt::LeftButton);
    EXPECT_EQ(g().settings.variableLineHeight, 0);
}

TEST_F(MainWindowTest, PrinterDialogConfirmedArmsTheWatchCancelledChangesNothing) {
    start();
    showMain();
    dialogs.acceptPrinter = false;
    QTest::mouseClick(w().NyomtSetup, Qt::LeftButton);
    EXPECT_EQ(dialogs.printerSetups, 1);
    EXPECT_FALSE(w().Timer1->isActive());

    dialogs.acceptPrinter = true;
    QTest::mouseClick(w().NyomtSetup, Qt::LeftButton);
    EXPECT_TRUE(w().Timer1->isActive());
    EXPECT_EQ(w().Timer1->interval(), 3000);
    EXPECT_EQ(g().currentPrinter->outputFileName(), dialogs.pdfPath);

    // Arming a running watch does not restart its 3000 ms; cancelling keeps it armed.
    QTest::qWait(400);
    QTest::mouseClick(w().NyomtSetup, Qt::LeftButton);
    EXPECT_LE(w().Timer1->remainingTime(), 2750);
    dialogs.acceptPrinter = false;
    QTest::mouseClick(w().NyomtSetup, Qt::LeftButton);
    EXPECT_TRUE(w().Timer1->isActive());
    EXPECT_LE(w().Timer1->remainingTime(), 2750);
}

TEST_F(MainWindowTest, ExitButtonAndClosingTheWindowEndTheProgram) {
    start();
    showMain();
    QTest::mouseClick(w().KilepesGomb, Qt::LeftButton);
    EXPECT_TRUE(program->terminationRequested());

    program.reset();
    start();
    showMain();
    EXPECT_FALSE(program->terminationRequested());
    w().close();
    EXPECT_TRUE(program->terminationRequested());
}

TEST_F(MainWindowTest, LastJobButtonShowsTheLastJobCopyWithoutTouchingTheWatch) {
    drive.write(kLastJobCopy, "ELOZO\n");
    start();
    showMain();
    QTest::mouseClick(w().LegutobbiNyGomb, Qt::LeftButton);
    EXPECT_TRUE(g().Nyomt->isVisible());
    EXPECT_EQ(g().Nyomt->shownFile(), std::string(kLastJobCopy));
    EXPECT_EQ(w().Label1->text(), cp("Megjelen\xedt\xe9s..."));
    EXPECT_FALSE(w().Timer1->isActive());

    g().Nyomt->close();
    focusWindow(w());
    QTest::mouseClick(w().LegutobbiNyGomb, Qt::LeftButton);
    EXPECT_TRUE(w().Timer1->isActive());  // armed by the close, left armed
    EXPECT_EQ(drive.read(kLastJobCopy), "ELOZO\n");
}

// The click that brings the main window back after the preview closed: the mouse
// goes down on a control of the inactive window, the window becomes active (its
// activation handler runs), the mouse comes up. The control gets its click.
TEST_F(MainWindowTest, TheClickThatActivatesTheWindowPressesTheControlUnderIt) {
    drive.write(kLastJobCopy, "ELOZO\n");
    start();
    showMain();
    QTest::mouseClick(w().LegutobbiNyGomb, Qt::LeftButton);
    focusWindow(*g().Nyomt);
    QTest::keyClick(g().Nyomt, Qt::Key_Escape);
    ASSERT_FALSE(g().Nyomt->isVisible());
    ASSERT_FALSE(w().isActiveWindow());

    const bool before = w().ValtozoSormagassag->isChecked();
    QTest::mousePress(w().ValtozoSormagassag, Qt::LeftButton, {}, QPoint(5, 5));
    focusWindow(w());  // the window system activates the window clicked on
    QTest::mouseRelease(w().ValtozoSormagassag, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_NE(w().ValtozoSormagassag->isChecked(), before);
    EXPECT_EQ(QApplication::focusWidget(), w().ValtozoSormagassag);
}

// --- settings and presence marker ----------------------------------------------

TEST_F(MainWindowTest, SettingsSurviveTwoRunsAndTheMarkerLivesWithTheWindow) {
    EXPECT_FALSE(drive.exists("c:\\norvexa\\norvexa.akt"));
    start();
    EXPECT_EQ(drive.read("c:\\norvexa\\norvexa.akt"), "1.04\r\n");
    showMain();
    type(w().MaskEdit1, "30");
    QTest::keyClick(w().MaskEdit1, Qt::Key_Return);
    type(w().Edit4, "-3");  // not left: the save reads the box itself
    QTest::mouseClick(w().ValtozoSormagassag, Qt::LeftButton);
    program.reset();
    EXPECT_FALSE(drive.exists("c:\\norvexa\\norvexa.akt"));
    ASSERT_EQ(drive.read("c:\\norvexa\\config.dta").size(), 28u);

    start();
    EXPECT_TRUE(drive.exists("c:\\norvexa\\norvexa.akt"));
    showMain();
    EXPECT_EQ(w().MaskEdit1->text(), "30");
    EXPECT_EQ(w().Edit4->text(), "-3");
    EXPECT_TRUE(w().ValtozoSormagassag->isChecked());
    EXPECT_EQ(dialogs.messages.size(), 2u);  // once in each run
    program.reset();
    EXPECT_FALSE(drive.exists("c:\\norvexa\\norvexa.akt"));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MainWindowTest, AWindowNeverShownSavesTheLoadedSettingsUnchanged) {
    nx::Settings stored;
    stored.normal = 13;
    stored.leftMargin = -7;
    const auto record = stored.encode();
    drive.write("c:\\norvexa\\config.dta", std::string(record.begin(), record.end()));
    start();
    program.reset();  // e.g. a signal before the first show
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(drive.read("c:\\norvexa\\config.dta"), std::string(record.begin(), record.end()));
    EXPECT_FALSE(drive.exists("c:\\norvexa\\norvexa.akt"));
}

// --- the watch cycle ----------------------------------------------------------

TEST_F(MainWindowTest, ImmediatePrintingConsumesTheJobAndArmsTheWatchAgain) {
    const std::string job = "SZ\xb5MLA  1\r\n\xda\xc4\xbf\r\n\x0c\x8a" "DIK OLDAL\r\nV\x90GE\r\n";
    drive.write("c:\\talvera\\wnyomtat.txt", job);
    start();
    startWatching();
    cycle();

    EXPECT_FALSE(drive.exists("c:\\talvera\\wnyomtat.txt"));
    EXPECT_FALSE(drive.exists(kWorkingCopy));
    EXPECT_EQ(drive.read(kLastJobCopy), mapped(job));
    EXPECT_TRUE(w().Timer1->isActive());
    EXPECT_EQ(w().Label1->text(), cp("Figyel\xe9s..."));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(pdfPages(pdf()), 2);
    if (kPdfTextReadable) {
        EXPECT_NE(pdfText(pdf()).find("DIK"), std::string::npos);
    }
    EXPECT_TRUE(g().currentJobPath.empty());  // the cycle leaves the preview's file alone
}

TEST_F(MainWindowTest, JobsAtTheThirdAndSixthPathAreTakenInTwoCycles) {
    drive.write("c:\\quenlit\\wnyomtat.txt", "HARMADIK\n");
    drive.write("c:\\manduro\\wnyomtat.txt", "HATODIK\n");
    start();
    startWatching();

    cycle();
    EXPECT_FALSE(drive.exists("c:\\quenlit\\wnyomtat.txt"));
    EXPECT_TRUE(drive.exists("c:\\manduro\\wnyomtat.txt"));
    EXPECT_EQ(drive.read(kLastJobCopy), "HARMADIK\n");

    cycle();
    EXPECT_FALSE(drive.exists("c:\\manduro\\wnyomtat.txt"));
    EXPECT_EQ(drive.read(kLastJobCopy), "HATODIK\n");
    if (kPdfTextReadable) {
        EXPECT_NE(pdfText(pdf()).find("HATODIK"), std::string::npos);
    }

    // Nothing left: the copies stay as they are and the watch is armed again.
    fs::remove(pdf());
    cycle();
    EXPECT_EQ(drive.read(kLastJobCopy), "HATODIK\n");
    EXPECT_FALSE(drive.exists(kWorkingCopy));
    EXPECT_FALSE(fs::exists(pdf()));
    EXPECT_TRUE(w().Timer1->isActive());
    EXPECT_EQ(w().Label1->text(), cp("Figyel\xe9s..."));
}

TEST_F(MainWindowTest, TheWatchTimerRunsTheCycle) {
    drive.write("c:\\pexolan\\wnyomtat.txt", "HETEDIK\n");
    start();
    startWatching();
    w().Timer1->setInterval(10);  // the cycle itself sets 3000 again
    QTRY_VERIFY_WITH_TIMEOUT(!drive.exists("c:\\pexolan\\wnyomtat.txt"), 2000);
    EXPECT_EQ(drive.read(kLastJobCopy), "HETEDIK\n");
    EXPECT_TRUE(w().Timer1->isActive());
    EXPECT_EQ(w().Timer1->interval(), 3000);
}

TEST_F(MainWindowTest, AnEmptyJobIsPrintedAndDeleted) {
    drive.write("c:\\brimost\\wnyomtat.txt", "");
    drive.write(kLastJobCopy, "REGI");
    start();
    startWatching();
    cycle();
    EXPECT_FALSE(drive.exists("c:\\brimost\\wnyomtat.txt"));
    EXPECT_TRUE(drive.exists(kLastJobCopy));
    EXPECT_EQ(drive.read(kLastJobCopy), "");
    EXPECT_EQ(w().ProgressBar1->maximum(), 100);  // the printing leaves 0 of 100
    EXPECT_EQ(pdfPages(pdf()), 1);
    EXPECT_TRUE(w().Timer1->isActive());
}

TEST_F(MainWindowTest, AReadOnlyJobIsNeverTaken) {
    drive.write("c:\\talvera\\wnyomtat.txt", "CSAK OLVASHATO\n");
    fs::permissions(drive.host("c:\\talvera\\wnyomtat.txt"), fs::perms(0444));
    drive.write("c:\\vorbane\\wnyomtat.txt", "NEGYEDIK\n");
    start();
    startWatching();

    cycle();
    EXPECT_FALSE(drive.exists("c:\\vorbane\\wnyomtat.txt"));
    EXPECT_EQ(drive.read(kLastJobCopy), "NEGYEDIK\n");
    cycle();
    cycle();
    EXPECT_EQ(drive.read("c:\\talvera\\wnyomtat.txt"), "CSAK OLVASHATO\n");
    EXPECT_EQ(drive.read(kLastJobCopy), "NEGYEDIK\n");
    EXPECT_TRUE(w().Timer1->isActive());
}

TEST_F(MainWindowTest, AJobForThePreviewKeepsItsFilesAndTheWatchOff) {
    const std::string job = "EL\x99N\x90ZET\r\n";
    drive.write("c:\\selkira\\wnyomtat.txt", job);
    start();
    startWatching();
    QTest::mouseClick(w().AzonnalNyomtat, Qt::LeftButton);
    ASSERT_FALSE(w().AzonnalNyomtat->isChecked());

    cycle();
    EXPECT_EQ(drive.read("c:\\selkira\\wnyomtat.txt"), job);
    EXPECT_EQ(drive.read(kWorkingCopy), mapped(job));
    EXPECT_EQ(drive.read(kLastJobCopy), mapped(job));
    EXPECT_FALSE(w().Timer1->isActive());
    EXPECT_TRUE(g().Nyomt->isVisible());
    EXPECT_EQ(g().Nyomt->shownFile(), std::string(kWorkingCopy));
    EXPECT_EQ(w().Label1->text(), cp("Megjelen\xedt\xe9s..."));
    EXPECT_FALSE(fs::exists(pdf()));

    // Closing the preview consumes the job and resumes the watch.
    g().Nyomt->close();
    EXPECT_FALSE(drive.exists("c:\\selkira\\wnyomtat.txt"));
    EXPECT_TRUE(w().Timer1->isActive());
}

TEST_F(MainWindowTest, APrintingErrorStopsTheWatchAndKeepsTheJobForLater) {
    drive.write("c:\\talvera\\wnyomtat.txt", "MEGMARAD\n");
    dialogs.pdfPath = QString::fromStdString((drive.root() / "nincs" / "out.pdf").string());
    start();
    startWatching();
    cycle();

    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].title, "Norvexa");
    EXPECT_FALSE(w().Timer1->isActive());
    EXPECT_EQ(w().Label1->text(), cp("Nyomtat\xe1s..."));
    EXPECT_TRUE(drive.exists("c:\\talvera\\wnyomtat.txt"));
    EXPECT_TRUE(drive.exists(kWorkingCopy));

    // A printer that works, confirmed again: the same job is taken and printed.
    dialogs.pdfPath = QString::fromStdString((drive.root() / "out.pdf").string());
    QTest::mouseClick(w().NyomtSetup, Qt::LeftButton);
    ASSERT_TRUE(w().Timer1->isActive());
    cycle();
    EXPECT_FALSE(drive.exists("c:\\talvera\\wnyomtat.txt"));
    if (kPdfTextReadable) {
        EXPECT_NE(pdfText(pdf()).find("MEGMARAD"), std::string::npos);
    }
    EXPECT_EQ(dialogs.errors.size(), 1u);
}

TEST_F(MainWindowTest, AJobTheHostExtendsWhilePrintingIsKeptAndTakenAgainWhole) {
    drive.write("c:\\talvera\\wnyomtat.txt", "ELSO RESZ\n");
    start();
    FailOn host{nx::FileOp::Open, drive.host(kWorkingCopy), [&] {
        std::ofstream(drive.host("c:\\talvera\\wnyomtat.txt"), std::ios::app | std::ios::binary)
            << "MASODIK RESZ\n";
    }};
    ScopedFaultHook hook(g().fs, host);
    startWatching();
    cycle();
    EXPECT_EQ(drive.read("c:\\talvera\\wnyomtat.txt"), "ELSO RESZ\nMASODIK RESZ\n");
    EXPECT_FALSE(drive.exists(kWorkingCopy));
    EXPECT_TRUE(w().Timer1->isActive());

    cycle();
    EXPECT_FALSE(drive.exists("c:\\talvera\\wnyomtat.txt"));
    EXPECT_EQ(drive.read(kLastJobCopy), mapped("ELSO RESZ\nMASODIK RESZ\n"));
}

TEST_F(MainWindowTest, AFailedReadEndsTheProgramAndTouchesNothing) {
    drive.write("c:\\talvera\\wnyomtat.txt", "OLVASHATATLAN\n");
    start();
    FailOn unreadable{nx::FileOp::Read, drive.host("c:\\talvera\\wnyomtat.txt"), 5};
    {
        ScopedFaultHook hook(g().fs, unreadable);
        startWatching();
        cycle();
    }

    EXPECT_TRUE(program->terminationRequested());
    EXPECT_EQ(drive.read("c:\\talvera\\wnyomtat.txt"), "OLVASHATATLAN\n");
    EXPECT_FALSE(fs::exists(pdf()));
    EXPECT_FALSE(g().Nyomt->isVisible());
    EXPECT_FALSE(w().Timer1->isActive());
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].text, "File access denied.");
}

TEST_F(MainWindowTest, ACopyThatCannotBeCreatedEndsTheProgramAndKeepsTheJob) {
    drive.write("c:\\talvera\\wnyomtat.txt", "MARAD\n");
    start();
    FailOn denied{nx::FileOp::Create, drive.host(kLastJobCopy), 5};
    {
        ScopedFaultHook hook(g().fs, denied);
        startWatching();
        cycle();
    }

    EXPECT_TRUE(program->terminationRequested());
    EXPECT_EQ(drive.read("c:\\talvera\\wnyomtat.txt"), "MARAD\n");
    EXPECT_FALSE(fs::exists(pdf()));
    EXPECT_FALSE(w().Timer1->isActive());
    EXPECT_EQ(dialogs.errors.size(), 1u);
}

}  // namespace

namespace {

TEST_F(MainWindowTest, EndingTheProgramWithAPreviewOpenKeepsItsJob) {
    drive.write("c:\\talvera\\wnyomtat.txt", "NEM NYOMTATOTT\n");
    start();
    startWatching();
    w().AzonnalNyomtat->setChecked(false);
    cycle();
    ASSERT_TRUE(g().Nyomt->isVisible());

    // The exit button, then the event loop as the program runs it.
    QTest::mouseClick(w().KilepesGomb, Qt::LeftButton);
    QTimer::singleShot(3000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(drive.read("c:\\talvera\\wnyomtat.txt"), "NEM NYOMTATOTT\n");
    program.reset();
    EXPECT_EQ(drive.read("c:\\talvera\\wnyomtat.txt"), "NEM NYOMTATOTT\n");
    EXPECT_FALSE(drive.exists("c:\\norvexa\\norvexa.akt"));
}

}  // namespace
