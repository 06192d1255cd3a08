// The mail window in a running program on a temporary drive: its controls, the
// sender data file across activations and runs, the keys without effect, closing
// when storing fails, and sending through the provider to a stand-in xdg-email.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/program.h"
#include "forms/MailKuldoFormUnit.h"
#include "forms/NyomtUnit.h"
#include "forms/Nyomtato.h"
#include "intake/paths.h"
#include "tests/mail/mail_support.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_drive.h"

namespace {

constexpr std::string_view kSender = "C:\\Norvexa\\sajattxt.txt";

struct MailWindow : ::testing::Test {
    nx::test::TempDrive drive;
    nx::test::ScriptedDialogs dialogs;
    std::unique_ptr<nx::app::Program> program = makeProgram();

    std::unique_ptr<nx::app::Program> makeProgram() {
        return std::make_unique<nx::app::Program>(nx::DriveTable(drive.root().string()), dialogs,
                                                  "/usr/bin/norvexa");
    }
    TMailKuldoForm& mail() { return program->mailWindow(); }

    // Shows the window modally as the mail export does; `inside` runs in its loop,
    // and the window is left with "Mégse" if it is still open afterwards.
    void showModal(const std::function<void(TMailKuldoForm&)>& inside) {
        TMailKuldoForm& w = mail();
        QTimer::singleShot(0, &w, [&] {
            inside(w);
            if (w.isVisible()) w.MegseGomb->click();
        });
        bool stuck = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &w, [&] {
            stuck = true;
            w.hide();
        });
        guard.start(10000);
        w.exec();
        EXPECT_FALSE(stuck) << "the modal showing did not end";
    }
};

TEST_F(MailWindow, WindowSizePlacementHiddenBoxAndTabOrder) {
    program->mainWindow().setGeometry(200, 100, 700, 500);
    showModal([&](TMailKuldoForm& shown) {
        EXPECT_EQ(shown.frameGeometry().size(), QSize(363, 233));
        // Centred over the main window.
        const QRect main = program->mainWindow().frameGeometry();
        EXPECT_EQ(shown.frameGeometry().topLeft(),
                  QPoint(main.x() + (main.width() - 363) / 2, main.y() + (main.height() - 233) / 2));
        EXPECT_FALSE(shown.Ecimzett->isVisible());
        EXPECT_FALSE(shown.Ecimzett->isEnabled());
        EXPECT_FALSE(shown.StaticText1->isVisible());
        EXPECT_FALSE(shown.StaticText1->isEnabled());
        // Tab from the recipient's address through the window and round again.
        ASSERT_EQ(shown.focusWidget(), shown.Eemailcim);
        const QWidget* order[] = {shown.Etargy,        shown.KuldesGomb, shown.MegseGomb,
                                  shown.ESajatMailCim, shown.ESajatNev,  shown.Eemailcim};
        for (const QWidget* next : order) {
            QTest::keyClick(shown.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(shown.focusWidget(), next) << next->objectName().toStdString();
        }
    });
}

TEST_F(MailWindow, FirstUseCreatesTheSenderFileWithTwoEmptyLines) {
    ASSERT_FALSE(drive.exists(kSender));
    showModal([&](TMailKuldoForm& w) {
        EXPECT_EQ(drive.read(kSender), "\r\n\r\n");
        EXPECT_TRUE(w.ESajatMailCim->text().isEmpty());
        EXPECT_TRUE(w.ESajatNev->text().isEmpty());
        EXPECT_EQ(w.Etargy->text(), QStringLiteral("Információ küldése (Norvexa)"));
    });
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MailWindow, OneLineFileFillsTheAddressOnly) {
    drive.write(kSender, "kiss.anna@example.hu");
    showModal([&](TMailKuldoForm& w) {
        EXPECT_EQ(w.ESajatMailCim->text(), QStringLiteral("kiss.anna@example.hu"));
        EXPECT_TRUE(w.ESajatNev->text().isEmpty());
    });
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MailWindow, OwnDataSurvivesClosingActivationAndANewRun) {
    drive.write(kSender, " anna@x.hu \r\nR\xE9gi N\xE9v\r\n");
    showModal([&](TMailKuldoForm& w) {
        EXPECT_EQ(w.ESajatMailCim->text(), QStringLiteral(" anna@x.hu "));
        EXPECT_EQ(w.ESajatNev->text(), QStringLiteral("Régi Név"));
        w.Eemailcim->setText(QStringLiteral("bela@y.hu"));
        w.Etargy->setText(QStringLiteral("Más tárgy"));
        w.ESajatNev->setText(QStringLiteral("Kovács Őrs Ű"));
    });
    // Stored untrimmed in code page 1250 on closing.
    EXPECT_EQ(drive.read(kSender), " anna@x.hu \r\nKov\xE1\x63s \xD5rs \xDB\r\n");

    // The next showing resets the recipient and the subject, reloads the own data.
    showModal([&](TMailKuldoForm& w) {
        EXPECT_TRUE(w.Eemailcim->text().isEmpty());
        EXPECT_EQ(w.Etargy->text(), QStringLiteral("Információ küldése (Norvexa)"));
        EXPECT_EQ(w.ESajatNev->text(), QStringLiteral("Kovács Őrs Ű"));
        w.ESajatMailCim->setText(QStringLiteral("uj@x.hu"));
        w.close();  // the close box takes the same road as "Mégse"
    });

    EXPECT_TRUE(dialogs.errors.empty());

    // A new run.
    program.reset();
    EXPECT_TRUE(dialogs.errors.empty());
    program = makeProgram();
    showModal([&](TMailKuldoForm& w) {
        EXPECT_EQ(w.ESajatMailCim->text(), QStringLiteral("uj@x.hu"));
        EXPECT_EQ(w.ESajatNev->text(), QStringLiteral("Kovács Őrs Ű"));
    });
    EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front().text.toStdString();
}

TEST_F(MailWindow, EscAndEnterDoNothing) {
    bool stillOpen = false;
    showModal([&](TMailKuldoForm& w) {
        w.setMailLibrary((drive.root() / "nothing.so").string());
        QTest::keyClick(w.Eemailcim, Qt::Key_Escape);
        QTest::keyClick(w.Eemailcim, Qt::Key_Return);
        w.KuldesGomb->setFocus();
        QTest::keyClick(w.KuldesGomb, Qt::Key_Return);
        QTest::keyClick(w.KuldesGomb, Qt::Key_Enter);
        QTest::keyClick(w.KuldesGomb, Qt::Key_Escape);
        stillOpen = w.isVisible();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(dialogs.errors.empty()) << "Enter sent the mail";
}

// Storing fails at closing: the failure is reported and the window closes all the same.
struct FailCreate final : nx::FaultHook {
    int before(nx::FileOp op, const std::string& hostPath) override {
        return op == nx::FileOp::Create && hostPath.find("sajattxt") != std::string::npos ? 5 : 0;
    }
};

TEST_F(MailWindow, FailingStoreIsReportedAndTheWindowStillCloses) {
    drive.write(kSender, "a@b\r\nN\r\n");
    FailCreate hook;
    showModal([&](TMailKuldoForm& w) {
        program->globals().fs.setFaultHook(&hook);
        w.ESajatNev->setText(QStringLiteral("Új"));
        w.MegseGomb->click();
        EXPECT_FALSE(w.isVisible());
    });
    program->globals().fs.setFaultHook(nullptr);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].text, QStringLiteral("File access denied."));
    EXPECT_EQ(drive.read(kSender), "a@b\r\nN\r\n");
}

TEST_F(MailWindow, MissingMailLibraryShowsMinusOneAndTheWindowStaysOpen) {
    bool open = false;
    QString recipient;
    showModal([&](TMailKuldoForm& w) {
        w.setMailLibrary((drive.root() / "nothing.so").string());
        QTest::keyClicks(w.Eemailcim, QStringLiteral("bela@y.hu"));
        w.KuldesGomb->click();
        open = w.isVisible();
        recipient = w.Eemailcim->text();
    });
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].text, QStringLiteral("Hiba a levél küldésekor (-1)."));
    EXPECT_TRUE(open);
    EXPECT_EQ(recipient, QStringLiteral("bela@y.hu"));
}

#ifdef NX_PROVIDER
// From a previewed job: "E-mail", an address and "Küldés" start the mail program
// with the attachment's host path and the subject as the user left it.
TEST_F(MailWindow, PreviewedJobIsMailedThroughTheProvider) {
    const std::filesystem::path bin = drive.root() / "bin";
    std::filesystem::create_directory(bin);
    nx::test::writeXdgEmailStandIn(bin);
    const std::string record = (drive.root() / "xdg-args").string();
    nx::test::ScopedEnv recordEnv("NX_XDG_RECORD", record);
    nx::test::ScopedEnv pathEnv("PATH", bin.string() + ":/usr/bin:/bin");
    nx::test::ScopedEnv libEnv("NORVEXA_MAPI_LIBRARY", NX_PROVIDER);

    drive.write(nx::paths::kLastJobCopy, "Sz\xE1mla 1.\n\x14\x15 \xF5\xFB\n\fM\xE1sodik oldal\n");
    drive.write(kSender, "anna@x.hu\r\nKiss Anna\r\n");
    TNyomt& preview = program->previewWindow();
    preview.openJob(std::string(nx::paths::kLastJobCopy));

    bool sentOpen = false;
    QTimer::singleShot(0, [&] {
        TMailKuldoForm& w = mail();
        if (!w.isVisible()) return;
        QTest::keyClicks(w.Eemailcim, QStringLiteral("bela@y.hu; touch pwned"));
        w.Etargy->setText(QStringLiteral("Számla őű"));
        QTest::mouseClick(w.KuldesGomb, Qt::LeftButton);
        sentOpen = w.isVisible();
        QTest::mouseClick(w.MegseGomb, Qt::LeftButton);
    });
    QTest::mouseClick(preview.MailbeGomb, Qt::LeftButton);

    EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front().text.toStdString();
    EXPECT_TRUE(sentOpen);
    EXPECT_FALSE(mail().isVisible());
    const std::string hostAttachment = drive.host(nx::paths::kMailAttachment);
    EXPECT_EQ(drive.read(nx::paths::kMailAttachment),
              "Sz\xE1mla 1.\r\n \xF5\xFB\r\n\fM\xE1sodik oldal\r\n");
    // The text file first, then the PDF ("PDF melléklet" is ticked at start).
    const std::string hostPdf = drive.host(nx::paths::kMailPdf);
    const std::vector<std::string> expected = {
        "--utf8", "--subject", "Számla őű", "--to", "bela@y.hu; touch pwned",
        "--attach", hostAttachment, "--attach", hostPdf};
    EXPECT_EQ(nx::test::xdgEmailArguments(record), expected);
    EXPECT_EQ(drive.read(nx::paths::kMailPdf).substr(0, 5), "%PDF-");
    for (const auto& a : nx::test::xdgEmailArguments(record).value_or(std::vector<std::string>{})) {
        std::printf("xdg-email argument: [%s]\n", a.c_str());
    }
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}
#endif

}  // namespace
