// The preview's PDF, its page choice and the mail's PDF, driven as a user drives them:
// by the access keys, answering the dialogs, and reading the files and print jobs.
#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QCheckBox>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <vector>
#include <memory>
#include <string>

#include "app/program.h"
#include "forms/MailKuldoFormUnit.h"
#include "forms/NyomtUnit.h"
#include "forms/Nyomtato.h"
#include "intake/paths.h"
#include "tests/integration/pdf_support.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_drive.h"

namespace {

using nx::test::pdfInfo;
using nx::test::quoted;
using nx::test::run;

// A converted job of three pages: a boxed rule and an accented line with its number.
std::string threePages() {
    std::string job;
    for (int k = 1; k <= 3; ++k) {
        if (k > 1) job += "\x0c";
        job += "\x1e" + std::string(10, '\x1b') + "\x16\n";
        job += "\xc1rv\xedzt\xfbr\xf5 t\xfck\xf6rf\xfar\xf3g\xe9p oldal" + std::to_string(k) + "\n";
    }
    return job;
}

class PdfAndPages : public ::testing::Test {
protected:
    void SetUp() override {
        if (run("pdftotext -v 2>&1").empty()) GTEST_SKIP() << "poppler-utils not installed";
        program = std::make_unique<nx::app::Program>(nx::DriveTable(drive.root().string()), dialogs,
                                                     "norvexa");
        program->mainWindow().show();
        QCoreApplication::processEvents();
        dialogs.messages.clear();
        // The printer: a PDF file, so the pages that reach it can be counted.
        QPrinter& printer = *program->globals().currentPrinter;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(printed));
        drive.write(nx::paths::kLastJobCopy, threePages());
        program->mainWindow().LegutobbiNyGomb->click();
        QCoreApplication::processEvents();
    }
    void TearDown() override { program.reset(); }

    TNyomt& preview() { return program->previewWindow(); }
    // Alt and the key on the active preview window, as a keyboard's press goes.
    void key(int k) {
        preview().activateWindow();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return QGuiApplication::focusWindow() == preview().windowHandle(); }, 2000));
        QWidget* target = preview().focusWidget() ? preview().focusWidget() : &preview();
        QTest::keyClick(target, static_cast<Qt::Key>(k), Qt::AltModifier);
        // A button pressed by its access key clicks after its short animation.
        QTest::qWait(250);
    }
    std::string text(const std::string& pdf) {
        return run("pdftotext -layout " + quoted(pdf) + " - 2>/dev/null");
    }
    // The pages printed since the last call, as the numbers their text carries.
    std::string printedPages() {
        if (!std::filesystem::exists(printed)) return "none";
        std::string pages;
        const std::string t = text(printed);
        for (std::size_t at = t.find("oldal"); at != std::string::npos; at = t.find("oldal", at + 1))
            pages += t.substr(at + 5, 1);
        std::filesystem::remove(printed);
        return pages;
    }

    nx::test::TempDrive drive;
    nx::test::ScriptedDialogs dialogs;
    std::unique_ptr<nx::app::Program> program;
    std::string printed = (drive.root() / "printed.pdf").string();
};

TEST_F(PdfAndPages, AltPSavesTheWholeJobAsNorvexaPrintDoes) {
    key(Qt::Key_P);
    ASSERT_EQ(dialogs.inputs.size(), 1u);
    EXPECT_EQ(dialogs.inputs[0].caption, QStringLiteral("Nyomtatás mentése PDF-be"));
    EXPECT_EQ(dialogs.inputs[0].prompt, QStringLiteral("Hova:"));
    EXPECT_EQ(dialogs.inputs[0].value, QStringLiteral("C:\\norvexa\\eredmeny.pdf"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("A mentés megtörtént."));

    const std::string pdf = drive.host("C:\\norvexa\\eredmeny.pdf");
    EXPECT_EQ(pdfInfo(pdf, "Pages"), "3");
    EXPECT_EQ(pdfInfo(pdf, "Title"), "Nyomtatási eredmény");
    EXPECT_NE(pdfInfo(pdf, "Page size").find("(A4)"), std::string::npos);
    const std::string t = text(pdf);
    EXPECT_NE(t.find("Árvíztűrő tükörfúrógép"), std::string::npos) << t;
    EXPECT_EQ(t.find("\xe2\x94"), std::string::npos) << "box drawing as letters";
    // Fonts embedded.
    std::istringstream fonts(run("pdffonts " + quoted(pdf)));
    std::string line;
    int embedded = 0;
    for (int n = 0; std::getline(fonts, line); ++n) {
        if (n < 2) continue;  // the heading
        std::istringstream fields(line);
        std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        ASSERT_GE(f.size(), 5u) << line;
        EXPECT_EQ(f[f.size() - 5], "yes") << "not embedded: " << line;
        ++embedded;
    }
    EXPECT_GE(embedded, 1);

#ifdef NORVEXA_PRINT
    // The same drawing as norvexa-print --pdf of the same stream, pixel for pixel.
    const std::string cli = (drive.root() / "cli.pdf").string();
    int status = -1;
    run(std::string(NORVEXA_PRINT) + " --converted " + quoted(drive.host(nx::paths::kLastJobCopy)) +
            " --pdf " + quoted(cli) + " 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    const std::string a = (drive.root() / "a").string(), b = (drive.root() / "b").string();
    run("pdftoppm -r 50 -gray " + quoted(pdf) + " " + quoted(a));
    run("pdftoppm -r 50 -gray " + quoted(cli) + " " + quoted(b));
    for (int k = 1; k <= 3; ++k) {
        const std::string suffix = "-" + std::to_string(k) + ".pgm";
        EXPECT_EQ(run("cmp " + quoted(a + suffix) + " " + quoted(b + suffix) + " && echo same"), "same\n") << k;
    }
#endif
}

TEST_F(PdfAndPages, TheShownPageOrTheNamedPagesArePrintedAsOneJob) {
    // "aktuális oldal" ticked, page 2 shown: Alt+N prints page 2 alone.
    preview().EgyOldal->setChecked(true);
    key(Qt::Key_K);
    key(Qt::Key_N);
    EXPECT_EQ(pdfInfo(printed, "Pages"), "1");
    EXPECT_EQ(printedPages(), "2");
    preview().EgyOldal->setChecked(false);

    // Alt+R proposes the page shown; "3,1" prints pages 1 and 3, in page order.
    dialogs.inputAnswers = {QStringLiteral("3,1")};
    key(Qt::Key_R);
    ASSERT_EQ(dialogs.inputs.size(), 1u);
    EXPECT_EQ(dialogs.inputs[0].caption, QStringLiteral("Részlet nyomtatása"));
    EXPECT_EQ(dialogs.inputs[0].prompt, QStringLiteral("Oldalak:"));
    EXPECT_EQ(dialogs.inputs[0].value, QStringLiteral("2"));
    EXPECT_EQ(pdfInfo(printed, "Pages"), "2");
    EXPECT_EQ(printedPages(), "13");

    // A page the job lacks, or text that names no pages: the message, nothing printed.
    for (const char* bad : {"4", "2-", "x"}) {
        dialogs.messages.clear();
        dialogs.inputAnswers = {QString::fromLatin1(bad)};
        key(Qt::Key_R);
        ASSERT_EQ(dialogs.messages.size(), 1u) << bad;
        EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("1 és 3 között"))) << bad;
        EXPECT_EQ(printedPages(), "none") << bad;
    }
    // Without the box, Alt+N prints the whole job.
    key(Qt::Key_N);
    EXPECT_EQ(printedPages(), "123");
}

// Closes the mail window ("Mégse") once it shows, noting that it did.
void closeMailWhenShown(TMailKuldoForm& mail, bool& shown) {
    shown = false;
    auto* poll = new QTimer(&mail);
    QObject::connect(poll, &QTimer::timeout, &mail, [&mail, &shown, poll] {
        if (!mail.isVisible()) return;
        shown = true;
        poll->deleteLater();
        mail.MegseGomb->click();
    });
    poll->start(20);
}

TEST_F(PdfAndPages, APdfThatCannotBeWrittenStopsBeforeTheMailWindow) {
    std::filesystem::create_directory(drive.host(nx::paths::kMailPdf));  // in its way
    TMailKuldoForm& mail = *program->globals().MailKuldoForm;
    bool shown = false;
    closeMailWhenShown(mail, shown);
    key(Qt::Key_M);
    EXPECT_FALSE(shown);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("C:\\NORVEXA\\KULDES.PDF IO hiba: 5"));
    EXPECT_TRUE(drive.exists(nx::paths::kMailAttachment));  // the text file was written

    // Unticked, the mail window opens with the text file alone to send.
    mail.PdfMelleklet->setChecked(false);
    dialogs.messages.clear();
    key(Qt::Key_M);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
