// The job history on a private CUPS scheduler: every job taken from the seven paths
// and from a folder, printed or shown, is listed once with its copy; the list stays
// after a restart; "Újranyomtatás" prints an older job again, whole or the pages
// chosen, and a job whose copy is gone cannot be.
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "forms/Elozmenyek.h"
#include "forms/NyomtUnit.h"
#include "intake/paths.h"
#include "tests/forms/fault_support.h"
#include "tests/forms/window_keys.h"
#include "tests/integration/pdf_support.h"
#include "tests/integration/private_cups.h"

namespace {

namespace fs = std::filesystem;
using namespace nx::test;

std::string pdfText(const fs::path& pdf) { return run("pdftotext " + quoted(pdf.string()) + " - 2>/dev/null"); }

std::vector<std::vector<std::string>> historyLines(const TempDrive& drive) {
    int status = -1;
    const std::string out =
        run(quoted(NORVEXA_PRINT) + " --history --drive-c " + quoted(drive.root().string()), &status);
    EXPECT_EQ(status, 0);
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream f(line);
        for (std::string field; std::getline(f, field, '\t');) fields.push_back(field);
        lines.push_back(fields);
    }
    return lines;
}

class History : public PrivateCupsSuite {
protected:
    void SetUp() override {
        if (!cups_->ready()) GTEST_SKIP() << "no private CUPS scheduler: " << cups_->why();
        if (!havePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        ASSERT_EQ(std::system("lpadmin -p norvexa-a -E -v file:///dev/null"), 0);
        if (!QPrinterInfo::availablePrinterNames().contains(QStringLiteral("norvexa-a")))
            GTEST_SKIP() << "Qt's CUPS support does not see the private queues";
        env = std::make_unique<Env>();
        usePrinter(kQueue);
        env->drive.mkdir("C:\\A");
        env->drive.mkdir("C:\\B");
    }
    void usePrinter(const char* queue) {
        QPrinter& printer = *env->g().currentPrinter;
        printer.setOutputFileName(QString());
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName(QString::fromLatin1(queue));
    }
    std::size_t count(const char* queue) { return cups_->documentsByQueue()[queue].size(); }

    std::unique_ptr<Env> env;
};

TEST_F(History, EveryJobIsKeptOnceAndAnOlderOneIsPrintedAgainWholeOrInPart) {
    env->drive.write("c:\\norvexa\\mappak.ini",
                     "[a]\r\nutvonal=C:\\A\r\nnyomtato=norvexa-a\r\n"
                     "[b]\r\nutvonal=C:\\B\r\nmuvelet=elonezet\r\n");
    // A job of the seven programs (code page 852: "SZÁMLA"), two pages, printed at once.
    const std::string hostJob = "SZ\xb5MLA ELSO\x0c\r\nSZ\xb5MLA MASODIK\r\n";
    const std::size_t onService = count(kQueue), onA = count("norvexa-a");
    env->drive.write(nx::paths::kJobCandidates[0], hostJob);
    env->cycle();
    // A folder's ESC/P job of three pages on its own printer, and one shown.
    const std::string escpJob = "\x1b@LAP-EGY\r\n\x0cLAP-KETTO\r\n\x0cLAP-HAROM\r\n";
    env->drive.write("C:\\A\\SZAMLA.PRN", escpJob);
    env->cycle();
    env->drive.write("C:\\B\\NEZD.PRN", "\x1b@NEZD\r\n");
    env->cycle();
    ASSERT_TRUE(env->preview().isVisible());
    env->preview().close();
    ASSERT_EQ(count(kQueue), onService + 1);
    ASSERT_EQ(count("norvexa-a"), onA + 1);
    const fs::path firstPrint = cups_->documentsByQueue()["norvexa-a"].back();
    EXPECT_TRUE(env->dialogs.errors.empty()) << env->dialogs.errors.front().text.toStdString();

    // Listed once each, oldest first, each copy the job as written.
    auto lines = historyLines(env->drive);
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& l : lines) ASSERT_EQ(l.size(), 8u);
    EXPECT_EQ(lines[0][1], "C:\\TALVERA\\WNYOMTAT.TXT");
    EXPECT_EQ(lines[0][2], "line");
    EXPECT_EQ(lines[0][3], "2");
    EXPECT_EQ(lines[0][4], kQueue);
    EXPECT_EQ(lines[0][5], "printed");
    EXPECT_EQ(readFile(lines[0][6]), hostJob);
    EXPECT_NE(lines[1][1].find("SZAMLA.PRN"), std::string::npos);
    EXPECT_EQ(lines[1][2], "escp");
    EXPECT_EQ(lines[1][3], "3");
    EXPECT_EQ(lines[1][4], "norvexa-a");
    EXPECT_EQ(readFile(lines[1][6]), escpJob);
    EXPECT_EQ(lines[2][4], "preview");
    EXPECT_EQ(lines[2][5], "shown");
    EXPECT_EQ(lines[0][0].size(), 19u);  // 2026-12-09T14:03:59

    // After a restart, the same history, in the window too.
    env->program.reset();
    env->program = std::make_unique<nx::app::Program>(nx::DriveTable(env->drive.root().string()), env->dialogs,
                                                      "/usr/bin/norvexa");
    usePrinter("norvexa-b-nincs");  // the service's printer now is one that is gone
    EXPECT_EQ(historyLines(env->drive), lines);
    env->main().show();
    env->dialogs.messages.clear();
    alt(env->main(), Qt::Key_E);
    TElozmenyek* window = env->g().Elozmenyek;
    ASSERT_TRUE(window && window->isVisible());
    ASSERT_EQ(window->Lista->topLevelItemCount(), 3);
    EXPECT_EQ(window->Lista->topLevelItem(0)->text(4), QStringLiteral("megjelenítve"));

    // The ESC/P job again, whole: on the printer it went to, as it printed then.
    window->Lista->setCurrentItem(window->Lista->topLevelItem(1));
    env->dialogs.inputAnswers = {QStringLiteral("1-3")};
    alt(*window, Qt::Key_Uacute);
    ASSERT_EQ(env->dialogs.inputs.size(), 1u);
    EXPECT_EQ(env->dialogs.inputs[0].prompt, QStringLiteral("Oldalak:"));
    ASSERT_EQ(count("norvexa-a"), onA + 2);
    const fs::path again = cups_->documentsByQueue()["norvexa-a"].back();
    EXPECT_EQ(pdfText(again), pdfText(firstPrint));
    EXPECT_EQ(pdfInfo(again.string(), "Pages"), "3");

    // Its second page alone (the new line is now at the top: the job is the second).
    ASSERT_EQ(window->Lista->topLevelItemCount(), 4);
    window->Lista->setCurrentItem(window->Lista->topLevelItem(2));
    env->dialogs.inputAnswers = {QStringLiteral("2")};
    alt(*window, Qt::Key_Uacute);
    ASSERT_EQ(count("norvexa-a"), onA + 3);
    const fs::path part = cups_->documentsByQueue()["norvexa-a"].back();
    EXPECT_EQ(pdfInfo(part.string(), "Pages"), "1");
    EXPECT_NE(pdfText(part).find("LAP-KETTO"), std::string::npos);
    EXPECT_EQ(pdfText(part).find("LAP-EGY"), std::string::npos);
    EXPECT_TRUE(env->dialogs.errors.empty()) << env->dialogs.errors.front().text.toStdString();

    // A copy removed by hand: shown as gone, and nothing is printed.
    lines = historyLines(env->drive);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4][3], "1");
    EXPECT_EQ(lines[4][4], "norvexa-a");
    fs::remove(lines[0][6]);
    window->refresh();
    QTreeWidgetItem* host = window->Lista->topLevelItem(4);
    EXPECT_TRUE(host->text(4).contains(QStringLiteral("nincs meg")));
    window->Lista->setCurrentItem(host);
    const std::size_t messages = env->dialogs.messages.size();
    alt(*window, Qt::Key_Uacute);
    ASSERT_EQ(env->dialogs.messages.size(), messages + 1);
    EXPECT_TRUE(env->dialogs.messages.back().contains(QStringLiteral("nincs meg")));
    EXPECT_EQ(historyLines(env->drive).size(), 5u);
    EXPECT_EQ(historyLines(env->drive)[0][6], "-");

    // Előnézet opens a kept job in the preview; Esc closes the window.
    window->Lista->setCurrentItem(window->Lista->topLevelItem(3));
    alt(*window, Qt::Key_E);
    EXPECT_TRUE(env->preview().isVisible());
    env->preview().close();
    window->activateWindow();
    press(*window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
