// The "Figyelt mappák" window driven from the keyboard as a user drives it: access
// keys, typing, Enter and Esc, on a real drive C.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QGuiApplication>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/program.h"
#include "forms/FigyeltMappak.h"
#include "forms/Nyomtato.h"
#include "intake/folders.h"
#include "tests/forms/window_keys.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_drive.h"

namespace {

class FoldersWindow : public ::testing::Test {
protected:
    void SetUp() override {
        drive.mkdir("C:\\IRODA\\NYOMTAT");
        program = std::make_unique<nx::app::Program>(nx::DriveTable(drive.root().string()), dialogs,
                                                     "norvexa");
        program->mainWindow().show();
        QCoreApplication::processEvents();
        dialogs.messages.clear();
    }
    void TearDown() override { program.reset(); }

    static void alt(QWidget& w, int k) { nx::test::alt(w, k); }
    static void press(QWidget& w, int k) { nx::test::press(w, k); }
    // Opens the window with Alt+M on the main window and runs `steps` in it; true
    // when the window was shown and has closed.
    bool inWindow(const std::function<void(TFigyeltMappak&)>& steps) {
        return nx::test::inWindow<TFigyeltMappak>(program->mainWindow(), Qt::Key_M, steps);
    }
    std::string file() { return drive.read("c:\\norvexa\\mappak.ini"); }

    nx::test::TempDrive drive;
    nx::test::ScriptedDialogs dialogs;
    std::unique_ptr<nx::app::Program> program;
};

TEST_F(FoldersWindow, AFolderAddedFromTheKeyboardIsWrittenShownAgainAndMegseChangesNothing) {
    const QRect azonnal = program->mainWindow().AzonnalNyomtat->geometry();
    const QRect mappak = program->mainWindow().MappakGomb->geometry();
    EXPECT_FALSE(azonnal.intersects(mappak));
    EXPECT_LE(mappak.right(), program->mainWindow().width());

    ASSERT_TRUE(inWindow([&](TFigyeltMappak& w) {
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Figyelt mappák"));
        alt(w, Qt::Key_M);  // the folder field
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\IRODA\\NYOMTAT"));
        alt(w, Qt::Key_P);  // printer family: 9 pins
        press(w, Qt::Key_Down);
        alt(w, Qt::Key_K);  // code page: 852
        press(w, Qt::Key_Down);
        press(w, Qt::Key_Down);
        alt(w, Qt::Key_E);  // shown in the preview
        alt(w, Qt::Key_H);  // added
        EXPECT_EQ(w.Lista->count(), 1);
        press(w, Qt::Key_Return);  // OK
    }));
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().toStdString();
    EXPECT_EQ(file(), "[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\ntipus=9\r\nkodlap=852\r\n"
                      "muvelet=elonezet\r\n");
    // The watch takes it at its next cycle.
    program->globals().cycle.refreshFolders();
    ASSERT_EQ(program->globals().cycle.folders().size(), 1u);

    // Reopened: the folder is listed and shown; a second one added, then Esc.
    ASSERT_TRUE(inWindow([&](TFigyeltMappak& w) {
        ASSERT_EQ(w.Lista->count(), 1);
        EXPECT_EQ(w.Utvonal->text(), QStringLiteral("C:\\IRODA\\NYOMTAT"));
        EXPECT_EQ(w.Kodlap->currentText(), QStringLiteral("852"));
        alt(w, Qt::Key_M);
        QTest::keyClick(w.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\IRODA"));
        alt(w, Qt::Key_H);
        EXPECT_EQ(w.Lista->count(), 2);
        press(w, Qt::Key_Escape);  // Mégse
    }));
    EXPECT_EQ(file(), "[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\ntipus=9\r\nkodlap=852\r\n"
                      "muvelet=elonezet\r\n");
}

TEST_F(FoldersWindow, AFolderThatCannotBeReachedIsRefusedOnOkAndNothingIsWritten) {
    ASSERT_TRUE(inWindow([&](TFigyeltMappak& w) {
        alt(w, Qt::Key_M);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\NINCS"));
        alt(w, Qt::Key_H);
        press(w, Qt::Key_Return);
        EXPECT_TRUE(w.isVisible());  // still open: the user may mend it
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0], QStringLiteral("a mappa nem érhető el: C:\\NINCS"));
        alt(w, Qt::Key_T);  // Törlés
        EXPECT_EQ(w.Lista->count(), 0);
        press(w, Qt::Key_Escape);
    }));
    EXPECT_FALSE(std::filesystem::exists(drive.host("c:\\norvexa\\mappak.ini")));
}

// The watch with a folder whose job cannot be printed and a folders file with a
// malformed entry: each is told once, the job stays, the watch goes on; once the
// printer works and the job is written again, it prints and goes.
TEST_F(FoldersWindow, AFailedFolderJobAndAMalformedEntryAreEachToldOnceAndTheWatchGoesOn) {
    drive.write("c:\\norvexa\\mappak.ini",
                "[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\n[hibas]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\nszin=kek\r\n");
    QPrinter& printer = *program->globals().currentPrinter;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((drive.root() / "missing" / "out.pdf").string()));
    drive.write("C:\\IRODA\\NYOMTAT\\JOB.PRN", "\x1b@folder job\r\n");
    TNyomtat& main = program->mainWindow();
    auto cycle = [&] { program->globals().dispatcher.run([&] { main.Figyeles(&main); }); };
    for (int i = 0; i < 3; ++i) cycle();
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_NE(dialogs.errors[0].text.indexOf(QStringLiteral("[hibas]")), -1) << dialogs.errors[0].text.toStdString();
    EXPECT_NE(dialogs.errors[0].text.indexOf(QStringLiteral("szin")), -1);
    EXPECT_TRUE(drive.exists("C:\\IRODA\\NYOMTAT\\JOB.PRN"));
    EXPECT_TRUE(main.Timer1->isActive());
    EXPECT_FALSE(program->terminationRequested());

    const std::string pdf = (drive.root() / "out.pdf").string();
    printer.setOutputFileName(QString::fromStdString(pdf));
    cycle();
    EXPECT_FALSE(std::filesystem::exists(pdf));  // unchanged since it failed: not tried again
    drive.write("C:\\IRODA\\NYOMTAT\\JOB.PRN", "\x1b@folder job, again\r\n");
    cycle();
    EXPECT_TRUE(std::filesystem::exists(pdf));
    EXPECT_FALSE(drive.exists("C:\\IRODA\\NYOMTAT\\JOB.PRN"));
    EXPECT_EQ(dialogs.errors.size(), 2u);
}

}  // namespace

namespace {

// A folder that saves its jobs as PDF files, set from the keyboard: a pattern that
// does not compile is refused by name and the window stays open; what is taken is
// written and shown again.
TEST_F(FoldersWindow, APdfSavingFolderIsSetFromTheKeyboardAndABadPatternRefused) {
    drive.mkdir("C:\\SZAMLAK");
    ASSERT_TRUE(inWindow([&](TFigyeltMappak& w) {
        alt(w, Qt::Key_M);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\IRODA\\NYOMTAT"));
        // PDF mentése: Alt and the key of "é", as a Hungarian keyboard sends it.
        QTest::sendKeyEvent(QTest::Click, w.focusWidget(), Qt::Key_Eacute, QStringLiteral("\u00e9"), Qt::AltModifier);
        alt(w, Qt::Key_C);  // the directory
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\SZAMLAK"));
        alt(w, Qt::Key_O);  // the name template
        static_cast<QLineEdit*>(w.focusWidget())->insert(QStringLiteral("szamla_{szoveg:Sorsz\u00e1m: (\\S+}"));
        alt(w, Qt::Key_X);  // the splitting pattern
        static_cast<QLineEdit*>(w.focusWidget())->insert(QStringLiteral("^\\s*SZ\u00c1MLA"));
        alt(w, Qt::Key_1);  // PDF/A
        press(w, Qt::Key_Return);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_NE(dialogs.messages[0].indexOf(QStringLiteral("(\\S+")), -1) << dialogs.messages[0].toStdString();
        EXPECT_TRUE(w.isVisible());
        alt(w, Qt::Key_O);
        QTest::keyClick(w.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        static_cast<QLineEdit*>(w.focusWidget())->insert(QStringLiteral("szamla_{szoveg:Sorsz\u00e1m: (\\S+)}_{datum}"));
        press(w, Qt::Key_Return);
    }));
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(file(), "[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\ntipus=24\r\nkodlap=437\r\nmuvelet=pdf\r\n"
                      "pdfmappa=C:\\SZAMLAK\r\nfajlnev=szamla_{szoveg:Sorsz\xc3\xa1m: (\\S+)}_{datum}\r\n"
                      "elvalaszto=^\\s*SZ\xc3\x81MLA\r\npdfa=igen\r\n");
    ASSERT_TRUE(inWindow([&](TFigyeltMappak& w) {
        EXPECT_TRUE(w.PdfMentes->isChecked());
        EXPECT_EQ(w.PdfMappa->text(), QStringLiteral("C:\\SZAMLAK"));
        EXPECT_EQ(w.Elvalaszto->text(), QStringLiteral("^\\s*SZ\u00c1MLA"));
        EXPECT_TRUE(w.Pdfa->isChecked());
        press(w, Qt::Key_Escape);
    }));
}

}  // namespace

namespace {

// The background's and the PDF directory's choosers, by their access keys: a file
// and a folder on drive C written the DOS way, a second background added with "|".
TEST_F(FoldersWindow, TheBackgroundAndPdfDirectoryChoosersAnswerByTheirKeys) {
    drive.mkdir("C:\\FORM");
    drive.mkdir("C:\\PDFEK");
    dialogs.fileAnswers = {QString::fromStdString((drive.root() / "FORM" / "a.png").string()),
                           QString::fromStdString((drive.root() / "FORM" / "b.png").string())};
    dialogs.folderAnswers = {QString::fromStdString((drive.root() / "PDFEK").string())};
    ASSERT_TRUE(inWindow([&](TFigyeltMappak& w) {
        alt(w, Qt::Key_S);  // Tallózás... of the background
        alt(w, Qt::Key_S);
        alt(w, Qt::Key_C);  // the PDF directory's field, then its Tallózás... next on the Tab path
        press(w, Qt::Key_Tab);
        EXPECT_EQ(w.focusWidget(), w.PdfTallozas);
        press(w, Qt::Key_Space);
        EXPECT_EQ(w.Hatter->text(), QStringLiteral("C:\\FORM\\a.png|C:\\FORM\\b.png"));
        EXPECT_EQ(w.PdfMappa->text(), QStringLiteral("C:\\PDFEK"));
        press(w, Qt::Key_Escape);
    }));
    ASSERT_EQ(dialogs.fileFilters.size(), 2u);
    EXPECT_NE(dialogs.fileFilters[0].indexOf(QStringLiteral("*.png")), -1);
}

}  // namespace
