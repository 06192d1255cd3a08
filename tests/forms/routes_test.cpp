// Each watched folder's route on a private CUPS scheduler: its own queue, the
// service's printer, raw bytes, and a printer that does not exist yet.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "forms/FigyeltMappak.h"
#include <QPushButton>

#include "forms/NyomtUnit.h"
#include "intake/paths.h"
#include "tests/forms/fault_support.h"
#include "tests/forms/window_keys.h"
#include "tests/integration/pdf_support.h"
#include "tests/integration/private_cups.h"

namespace {

namespace fs = std::filesystem;
using namespace nx::test;

// The text pdftotext reads from a spooled document.
std::string pdfText(const fs::path& pdf) { return run("pdftotext " + quoted(pdf.string()) + " - 2>/dev/null"); }

class Routes : public PrivateCupsSuite {
protected:
    void SetUp() override {
        if (!cups_->ready()) GTEST_SKIP() << "no private CUPS scheduler: " << cups_->why();
        if (!havePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        for (const char* queue : {"norvexa-a", "norvexa-b"})
            ASSERT_EQ(std::system(("lpadmin -p " + std::string(queue) + " -E -v file:///dev/null").c_str()), 0);
        if (!QPrinterInfo::availablePrinterNames().contains(QStringLiteral("norvexa-b")))
            GTEST_SKIP() << "Qt's CUPS support does not see the private queues";
        env = std::make_unique<Env>();
        QPrinter& printer = *env->g().currentPrinter;
        printer.setOutputFileName(QString());
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName(QString::fromLatin1(kQueue));
        for (const char* dir : {"C:\\A", "C:\\B", "C:\\C", "C:\\NYERS", "C:\\KESOBB"}) env->drive.mkdir(dir);
    }
    void TearDown() override {
        env.reset();
        (void)std::system("lpadmin -x norvexa-later 2>/dev/null");
    }
    std::map<std::string, std::vector<fs::path>> documents() { return cups_->documentsByQueue(); }
    void cycles(int n) {
        for (int i = 0; i < n; ++i) env->cycle();
    }

    std::unique_ptr<Env> env;
};

TEST_F(Routes, EachFoldersJobReachesItsOwnQueueOnceAndAMissingPrinterKeepsItsJob) {
    env->drive.write("c:\\norvexa\\mappak.ini",
                     "[a]\r\nutvonal=C:\\A\r\nnyomtato=norvexa-a\r\n"
                     "[b]\r\nutvonal=C:\\B\r\nnyomtato=norvexa-b\r\npapir=Letter\r\n"
                     "[c]\r\nutvonal=C:\\C\r\n"
                     "[nyers]\r\nutvonal=C:\\NYERS\r\nnyomtato=norvexa-a\r\nnyers=igen\r\n"
                     "[kesobb]\r\nutvonal=C:\\KESOBB\r\nnyomtato=norvexa-later\r\n");
    const auto before = documents();
    const std::string raw = std::string("\x1b@\x1b" "E RAW JOB \x0c\x00\xff", 15);
    // Folder a's job: two 12-inch pages (ESC C 72), each line numbered.
    std::string twelve = "\x1b@JOB-A\x1b" "C\x48";
    for (int p = 1; p <= 2; ++p) {
        for (int i = 1; i <= 72; ++i) twelve += "P" + std::to_string(p) + "L" + std::to_string(i) + "\r\n";
        twelve += "\x0c";
    }
    env->drive.write("C:\\A\\A.PRN", twelve);
    env->drive.write("C:\\B\\B.PRN", "\x1b@JOB-B\r\n");
    env->drive.write("C:\\C\\C.PRN", "\x1b@JOB-C\r\n");
    env->drive.write("C:\\NYERS\\R.PRN", raw);
    env->drive.write("C:\\KESOBB\\K.PRN", "\x1b@JOB-K\r\n");
    cycles(8);

    // Each job once on its own queue; the raw one byte for byte; the missing
    // printer told once by name, its job kept.
    auto after = documents();
    auto added = [&](const std::string& queue) {
        return after[queue].size() - (before.count(queue) ? before.at(queue).size() : 0);
    };
    ASSERT_EQ(added("norvexa-a"), 2u);
    ASSERT_EQ(added("norvexa-b"), 1u);
    ASSERT_EQ(added(kQueue), 1u);
    std::string onA;
    int rawCopies = 0;
    for (const fs::path& d : after["norvexa-a"]) {
        const std::string bytes = readFile(d);
        if (bytes == raw) ++rawCopies;
        else onA += pdfText(d);
    }
    EXPECT_EQ(rawCopies, 1);
    EXPECT_NE(onA.find("JOB-A"), std::string::npos);
    // The 12-inch pages: two sheets, every line on its own.
    for (const fs::path& d : after["norvexa-a"]) {
        if (readFile(d) == raw) continue;
        EXPECT_EQ(pdfInfo(d.string(), "Pages"), "2");
        const std::string first = run("pdftotext -f 1 -l 1 " + quoted(d.string()) + " - 2>/dev/null");
        const std::string second = run("pdftotext -f 2 -l 2 " + quoted(d.string()) + " - 2>/dev/null");
        for (int i = 1; i <= 72; ++i) {
            EXPECT_NE(first.find("P1L" + std::to_string(i) + "\n"), std::string::npos) << i;
            EXPECT_NE(second.find("P2L" + std::to_string(i) + "\n"), std::string::npos) << i;
        }
    }
    EXPECT_NE(pdfText(after["norvexa-b"].back()).find("JOB-B"), std::string::npos);
    EXPECT_NE(pdfText(after[kQueue].back()).find("JOB-C"), std::string::npos);
    EXPECT_NE(pdfInfo(after["norvexa-b"].back().string(), "Page size").find("612 x 792 pts"), std::string::npos);
    for (const char* gone : {"C:\\A\\A.PRN", "C:\\B\\B.PRN", "C:\\C\\C.PRN", "C:\\NYERS\\R.PRN"})
        EXPECT_FALSE(env->drive.exists(gone)) << gone;
    EXPECT_TRUE(env->drive.exists("C:\\KESOBB\\K.PRN"));
    ASSERT_EQ(env->dialogs.errors.size(), 1u);
    EXPECT_NE(env->dialogs.errors[0].text.indexOf(QStringLiteral("norvexa-later")), -1);
    EXPECT_NE(env->dialogs.errors[0].text.indexOf(QStringLiteral("K.PRN")), -1);

    // Once the printer exists and the job is written again, it prints, once.
    ASSERT_EQ(std::system("lpadmin -p norvexa-later -E -v file:///dev/null"), 0);
    cycles(2);
    EXPECT_TRUE(env->drive.exists("C:\\KESOBB\\K.PRN"));  // unchanged since it failed
    env->drive.write("C:\\KESOBB\\K.PRN", "\x1b@JOB-K again\r\n");
    cycles(2);
    EXPECT_FALSE(env->drive.exists("C:\\KESOBB\\K.PRN"));
    after = documents();
    ASSERT_EQ(after["norvexa-later"].size(), 1u);
    EXPECT_NE(pdfText(after["norvexa-later"][0]).find("JOB-K again"), std::string::npos);
    EXPECT_EQ(env->dialogs.errors.size(), 1u);
}

// The route set in the "Figyelt mappák" window from the keyboard: written, shown
// again, and its calibration page on the folder's printer.
TEST_F(Routes, TheWindowSetsAFoldersRouteAndPrintsItsCalibrationPage) {
    env->main().show();
    const auto before = documents();
    auto folders = [&](const std::function<void(TFigyeltMappak&)>& steps) {
        return nx::test::inWindow<TFigyeltMappak>(env->main(), Qt::Key_M, steps);
    };
    ASSERT_TRUE(folders([&](TFigyeltMappak& w) {
        env->dialogs.messages.clear();  // the main window's first activation asks for a printer
        alt(w, Qt::Key_M);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\A"));
        alt(w, Qt::Key_N);  // the printer
        QTest::keyClicks(w.focusWidget(), QStringLiteral("norvexa-a"));
        alt(w, Qt::Key_R);  // the paper
        QTest::keyClicks(w.focusWidget(), QStringLiteral("Let"));
        alt(w, Qt::Key_J);  // right
        QTest::keyClick(w.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("2.5"));
        alt(w, Qt::Key_L);  // down
        QTest::keyClick(w.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("-1"));
        alt(w, Qt::Key_Y);  // raw
        alt(w, Qt::Key_H);  // added
        press(w, Qt::Key_Return);
    }));
    EXPECT_TRUE(env->dialogs.messages.empty()) << env->dialogs.messages.front().toStdString();
    EXPECT_EQ(env->drive.read("c:\\norvexa\\mappak.ini"),
              "[mappa1]\r\nutvonal=C:\\A\r\ntipus=24\r\nkodlap=437\r\nmuvelet=nyomtatas\r\n"
              "nyomtato=norvexa-a\r\npapir=Letter\r\neltolas=2.5,-1\r\nnyers=igen\r\n");

    // Shown again; raw taken off, and the calibration page printed on norvexa-a.
    ASSERT_TRUE(folders([&](TFigyeltMappak& w) {
        EXPECT_EQ(w.Nyomtato->currentText(), QStringLiteral("norvexa-a"));
        EXPECT_EQ(w.Papir->currentText(), QStringLiteral("Letter"));
        EXPECT_EQ(w.Jobbra->text(), QStringLiteral("2.5"));
        EXPECT_EQ(w.Lefele->text(), QStringLiteral("-1"));
        EXPECT_TRUE(w.Nyers->isChecked());
        alt(w, Qt::Key_Y);
        alt(w, Qt::Key_B);  // Próbaoldal
        press(w, Qt::Key_Escape);
    }));
    EXPECT_TRUE(env->dialogs.errors.empty()) << env->dialogs.errors.front().text.toStdString();
    auto after = documents();
    const std::size_t had = before.count("norvexa-a") ? before.at("norvexa-a").size() : 0;
    ASSERT_EQ(after["norvexa-a"].size(), had + 1);
    const fs::path page = after["norvexa-a"].back();
    const std::string text = pdfText(page);
    EXPECT_NE(text.find("Mappa: C:\\A"), std::string::npos) << text;
    EXPECT_NE(text.find("Letter"), std::string::npos) << text;
    EXPECT_NE(text.find("2.5,-1 mm"), std::string::npos) << text;
    EXPECT_NE(text.find("100"), std::string::npos) << text;  // the rulers' numbers
    EXPECT_NE(pdfInfo(page.string(), "Page size").find("612 x 792 pts"), std::string::npos);
}

// A raw folder's job shown in the preview: drawn there, and "Kinyomtat" sends its
// bytes unchanged.
TEST_F(Routes, ARawJobShownInThePreviewIsDrawnAndKinyomtatSendsItsBytes) {
    env->drive.write("c:\\norvexa\\mappak.ini",
                     "[nyers]\r\nutvonal=C:\\NYERS\r\nnyomtato=norvexa-b\r\nnyers=igen\r\nmuvelet=elonezet\r\n");
    const std::string raw = "\x1b@SHOWN RAW\r\n\x0c";
    env->drive.write("C:\\NYERS\\S.PRN", raw);
    const auto before = documents();
    const std::size_t had = before.count("norvexa-b") ? before.at("norvexa-b").size() : 0;
    cycles(2);
    TNyomt& preview = env->preview();
    ASSERT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.shownFile(), std::string(nx::paths::kFolderWorkingCopy));
    env->g().dispatcher.run([&] { preview.KinyomtatClick(&preview); });
    auto after = documents();
    ASSERT_EQ(after["norvexa-b"].size(), had + 1);
    EXPECT_EQ(readFile(after["norvexa-b"].back()), raw);
    EXPECT_TRUE(env->dialogs.errors.empty());
    preview.close();
    EXPECT_FALSE(env->drive.exists("C:\\NYERS\\S.PRN"));
}

// norvexa-print --raw: the queue receives the job's bytes unchanged.
TEST_F(Routes, NorvexaPrintSendsAJobRawToAQueue) {
    const std::string raw = std::string("\x1b@\x1b" "E RAW \x0c\x00\xff\x1a", 13);
    env->drive.write("C:\\A\\R.PRN", raw);
    const auto before = documents();
    const std::size_t had = before.count("norvexa-b") ? before.at("norvexa-b").size() : 0;
    const std::string cmd = quoted(NORVEXA_PRINT) + " --raw " + quoted(env->drive.host("C:\\A\\R.PRN")) +
                            " --printer norvexa-b 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    auto after = documents();
    ASSERT_EQ(after["norvexa-b"].size(), had + 1);
    EXPECT_EQ(readFile(after["norvexa-b"].back()), raw);
    EXPECT_NE(std::system((quoted(NORVEXA_PRINT) + " --raw " + quoted(env->drive.host("C:\\A\\R.PRN")) +
                           " --printer norvexa-nincs 2>/dev/null").c_str()), 0);
}

}  // namespace

namespace {

// A background of A4's shape, white with a black 20 mm square 150 mm right and
// 200 mm down, at `host`.
void writeForm(const std::string& host) {
    QImage image(840, 1188, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(600, 800, 80, 80, Qt::black);
    p.end();
    ASSERT_TRUE(image.save(QString::fromStdString(host), "PNG"));
}

// Whether the first page of `pdf` is dark in the middle of that square.
bool formOnFirstPage(const fs::path& pdf, const fs::path& dir) {
    const fs::path prefix = dir / "form-check";
    if (std::system(("pdftoppm -gray -r 50 -f 1 -l 1 -singlefile " + quoted(pdf.string()) + " " +
                     quoted(prefix.string())).c_str()) != 0)
        return false;
    const QImage page(QString::fromStdString(prefix.string() + ".pgm"));
    const double px = 50 / 25.4;
    return !page.isNull() && qGray(page.pixel(static_cast<int>(160 * px), static_cast<int>(210 * px))) < 64 &&
           qGray(page.pixel(static_cast<int>(140 * px), static_cast<int>(210 * px))) > 192;
}

}  // namespace

// A folder whose background is missing keeps its job and says so once; once the
// file is there, the job prints once, over it. The window writes a paper of the
// folder's own size and the background, and refuses one it cannot read.
TEST_F(Routes, AFoldersBackgroundIsDrawnUnderItsJobAndAMissingOneKeepsTheJob) {
    env->drive.mkdir("C:\\FORM");
    env->drive.write("c:\\norvexa\\mappak.ini",
                     "[a]\r\nutvonal=C:\\A\r\nnyomtato=norvexa-a\r\nhatter=C:\\FORM\\LAP.PNG\r\n");
    env->drive.write("C:\\A\\SZAMLA.PRN", "\x1b@INVOICE 17\r\n");
    const auto before = documents();
    const std::size_t had = before.count("norvexa-a") ? before.at("norvexa-a").size() : 0;
    cycles(3);
    EXPECT_TRUE(env->drive.exists("C:\\A\\SZAMLA.PRN"));
    EXPECT_EQ(documents()["norvexa-a"].size(), had);
    ASSERT_EQ(env->dialogs.errors.size(), 1u);
    EXPECT_NE(env->dialogs.errors[0].text.indexOf(QStringLiteral("LAP.PNG")), -1);
    EXPECT_NE(env->dialogs.errors[0].text.indexOf(QStringLiteral("SZAMLA.PRN")), -1);

    // The file appears: the job is tried again at once, printed once, over it.
    writeForm(env->drive.host("C:\\FORM\\LAP.PNG"));
    cycles(3);
    EXPECT_FALSE(env->drive.exists("C:\\A\\SZAMLA.PRN"));
    const auto after = documents();
    ASSERT_EQ(after.at("norvexa-a").size(), had + 1);
    EXPECT_NE(pdfText(after.at("norvexa-a").back()).find("INVOICE 17"), std::string::npos);
    EXPECT_TRUE(formOnFirstPage(after.at("norvexa-a").back(), env->drive.host("C:\\FORM")));
    EXPECT_EQ(env->dialogs.errors.size(), 1u);

    // The window: "Egyéni" paper and the background by their access keys.
    env->main().show();
    env->drive.write("C:\\FORM\\ROSSZ.PNG", "not an image");
    ASSERT_TRUE(nx::test::inWindow<TFigyeltMappak>(env->main(), Qt::Key_M, [&](TFigyeltMappak& w) {
        env->dialogs.messages.clear();
        w.Lista->setCurrentRow(0);
        alt(w, Qt::Key_R);  // the paper
        QTest::keyClicks(w.focusWidget(), QStringLiteral("Egy"));
        alt(w, Qt::Key_I);  // its width
        QTest::keyClicks(w.focusWidget(), QStringLiteral("240"));
        alt(w, Qt::Key_G);  // its height
        QTest::keyClicks(w.focusWidget(), QStringLiteral("305.5"));
        alt(w, Qt::Key_V);  // the background
        QTest::keyClick(w.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\FORM\\LAP.PNG|C:\\FORM\\ROSSZ.PNG"));
        alt(w, Qt::Key_D);  // changed
        press(w, Qt::Key_Return);
        // Refused with the file's name; the window stays open for a mend.
        ASSERT_EQ(env->dialogs.messages.size(), 1u);
        EXPECT_NE(env->dialogs.messages[0].indexOf(QStringLiteral("ROSSZ.PNG")), -1);
        EXPECT_TRUE(w.isVisible());
        alt(w, Qt::Key_V);
        QTest::keyClick(w.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("C:\\FORM\\LAP.PNG"));
        alt(w, Qt::Key_Y);  // raw with a background: refused
        alt(w, Qt::Key_D);
        EXPECT_EQ(env->dialogs.messages.size(), 2u);
        alt(w, Qt::Key_Y);
        alt(w, Qt::Key_D);
        press(w, Qt::Key_Return);
    }));
    EXPECT_EQ(env->drive.read("c:\\norvexa\\mappak.ini"),
              "[mappa1]\r\nutvonal=C:\\A\r\ntipus=24\r\nkodlap=437\r\nmuvelet=nyomtatas\r\n"
              "nyomtato=norvexa-a\r\npapir=240x305.5\r\nhatter=C:\\FORM\\LAP.PNG\r\n");
    ASSERT_TRUE(nx::test::inWindow<TFigyeltMappak>(env->main(), Qt::Key_M, [&](TFigyeltMappak& w) {
        EXPECT_EQ(w.Papir->currentText(), QStringLiteral("Egyéni"));
        EXPECT_EQ(w.Szelesseg->text(), QStringLiteral("240"));
        EXPECT_EQ(w.Magassag->text(), QStringLiteral("305.5"));
        EXPECT_EQ(w.Hatter->text(), QStringLiteral("C:\\FORM\\LAP.PNG"));
        press(w, Qt::Key_Escape);
    }));
}

// A folder that saves its jobs as PDF files: a batch of invoices split into one file
// each, named by its number; a folder that prints and saves, whose directory is
// missing at first, keeps its job until the directory is there, then prints it once
// and saves it once.
TEST_F(Routes, FoldersSaveTheirJobsAsPdfFilesNamedByTheirOwnText) {
    for (const char* dir : {"C:\\S", "C:\\SZAMLAK"}) env->drive.mkdir(dir);
    env->drive.write("c:\\norvexa\\mappak.ini",
                     "[a]\r\nutvonal=C:\\A\r\nnyomtato=norvexa-a\r\npdfmappa=C:\\ARCHIV\r\n"
                     "[s]\r\nutvonal=C:\\S\r\nkodlap=852\r\nmuvelet=pdf\r\npdfmappa=C:\\SZAMLAK\r\n"
                     "elvalaszto=^\\s*SZ\xc3\x81MLA\r\nfajlnev=szamla_{szoveg:Sorsz\xc3\xa1m:\\s*(\\S+)}\r\npdfa=igen\r\n");
    std::string batch = "\x1b@";
    for (const char* number : {"2026/001", "2026/002", "2026/002"}) {
        batch += std::string("  SZ\xb5MLA\r\nSorsz\xa0m: ") + number + "\r\n\x0c" + "folytat\xa0s " + number + "\r\n\x0c";
    }
    env->drive.write("C:\\S\\BATCH.PRN", batch);
    env->drive.write("C:\\A\\ARCHIV.PRN", "\x1b@TO ARCHIVE\r\n");
    const auto before = documents();
    const std::size_t had = before.count("norvexa-a") ? before.at("norvexa-a").size() : 0;
    cycles(4);

    // Three files, two pages each, the repeated number given " (2)"; nothing printed.
    const fs::path saved = env->drive.host("C:\\SZAMLAK");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(saved)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, (std::vector<std::string>{"szamla_2026_001.pdf", "szamla_2026_002 (2).pdf", "szamla_2026_002.pdf"}));
    for (const std::string& name : names) {
        EXPECT_EQ(pdfInfo((saved / name).string(), "Pages"), "2") << name;
        const std::string text = pdfText(saved / name);
        EXPECT_NE(text.find("SZ\xc3\x81MLA"), std::string::npos) << name;
        EXPECT_EQ(run("pdfinfo -meta " + quoted((saved / name).string()) + " | grep -c 'pdfaid:part=\"1\"'"), "1\n");
    }
    EXPECT_NE(pdfText(saved / "szamla_2026_001.pdf").find("folytat\xc3\xa1s 2026/001"), std::string::npos);
    EXPECT_FALSE(env->drive.exists("C:\\S\\BATCH.PRN"));

    // The missing directory: the job kept, told once by the directory's name.
    EXPECT_TRUE(env->drive.exists("C:\\A\\ARCHIV.PRN"));
    EXPECT_EQ(documents()["norvexa-a"].size(), had);
    ASSERT_EQ(env->dialogs.errors.size(), 1u);
    EXPECT_NE(env->dialogs.errors[0].text.indexOf(QStringLiteral("ARCHIV")), -1);
    cycles(2);
    EXPECT_EQ(env->dialogs.errors.size(), 1u);

    // The directory appears: printed once and saved once.
    env->drive.mkdir("C:\\ARCHIV");
    cycles(3);
    EXPECT_FALSE(env->drive.exists("C:\\A\\ARCHIV.PRN"));
    ASSERT_EQ(documents()["norvexa-a"].size(), had + 1);
    std::vector<fs::path> archived;
    for (const auto& e : fs::directory_iterator(env->drive.host("C:\\ARCHIV"))) archived.push_back(e.path());
    ASSERT_EQ(archived.size(), 1u);
    EXPECT_EQ(archived[0].filename().string().rfind("ARCHIV_", 0), 0u) << archived[0];
    EXPECT_NE(pdfText(archived[0]).find("TO ARCHIVE"), std::string::npos);
    EXPECT_EQ(env->dialogs.errors.size(), 1u);

    // A folder changed in the window keeps the keys the window does not show.
    env->main().show();
    ASSERT_TRUE(nx::test::inWindow<TFigyeltMappak>(env->main(), Qt::Key_M, [&](TFigyeltMappak& w) {
        w.Lista->setCurrentRow(1);
        alt(w, Qt::Key_J);  // right
        QTest::keyClick(w.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.focusWidget(), QStringLiteral("1"));
        alt(w, Qt::Key_D);  // changed
        press(w, Qt::Key_Return);
    }));
    const std::string ini = env->drive.read("c:\\norvexa\\mappak.ini");
    EXPECT_NE(ini.find("muvelet=pdf\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("pdfmappa=C:\\SZAMLAK\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("elvalaszto=^\\s*SZ\xc3\x81MLA\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("pdfa=igen\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("eltolas=1,0\r\n"), std::string::npos) << ini;
}

// Jobs dropped into a folder at once (twenty; two hundred, a soak): all taken within
// two watch cycles, each printed once and whole, in the order of their times.
class Burst : public Routes, public ::testing::WithParamInterface<int> {};

TEST_P(Burst, JobsDroppedAtOnceAreTakenTogetherEachOnce) {
    const int count = GetParam();
    env->drive.write("c:\\norvexa\\mappak.ini", "[a]\r\nutvonal=C:\\A\r\nnyomtato=norvexa-a\r\n");
    const auto before = documents();
    const std::size_t had = before.count("norvexa-a") ? before.at("norvexa-a").size() : 0;
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "C:\\A\\J%03d.PRN", i);
        env->drive.write(name, "\x1b@BURST JOB " + std::to_string(i) + " END\r\n");
    }
    QElapsedTimer clock;
    clock.start();
    // A watch cycle: the timer's run, and the runs it goes on with at once after
    // serving the window (each about a second of jobs).
    int slices = 0;
    auto watchCycle = [&] {
        do {
            cycles(1);
            ++slices;
        } while (env->main().Timer1->isActive() && env->main().Timer1->interval() == 0);
    };
    watchCycle();
    watchCycle();
    const auto after = documents();
    ASSERT_EQ(after.at("norvexa-a").size(), had + count);
    std::printf("[ burst    ] %d jobs at the queue after %lld ms, in 2 watch cycles (%d runs)\n", count,
                static_cast<long long>(clock.elapsed()), slices);
    std::vector<std::string> texts;
    for (std::size_t i = had; i < after.at("norvexa-a").size(); ++i) texts.push_back(pdfText(after.at("norvexa-a")[i]));
    for (int i = 1; i <= count; ++i) {
        const std::string job = "BURST JOB " + std::to_string(i) + " END";
        EXPECT_NE(texts[static_cast<std::size_t>(i - 1)].find(job), std::string::npos) << "in the order written: " << job;
        EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(job) != std::string::npos; }), 1)
            << job;
    }
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "C:\\A\\J%03d.PRN", i);
        EXPECT_FALSE(env->drive.exists(name)) << name;
    }
    EXPECT_TRUE(env->dialogs.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Routes, Burst, ::testing::Values(20, 200));
