// The preview window driven through the whole program on a temporary drive: paging,
// the last-page count, activation, Esc, closing, printing to a PDF and the exports.
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <memory>
#include <optional>
#include <string>

#include "app/program.h"
#include "forms/MailKuldoFormUnit.h"
#include "forms/NyomtUnit.h"
#include "forms/Nyomtato.h"
#include "platform/qt/codec.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_drive.h"

namespace {

constexpr const char* kLastJob = "c:\\norvexa\\legutobb.txt";
constexpr const char* kWorkingCopy = "c:\\norvexa\\nyomtat1.txt";
constexpr const char* kHostJob = "c:\\talvera\\wnyomtat.txt";

QString cp(std::string_view bytes) { return nx::qt::fromCp1250(bytes); }

// Page k of a converted job: k-1 empty lines, a boxed rule (corner, ten bars,
// corner) and a line of accented text. Its first ink is the rule's row, which tells
// the pages apart in the image.
std::string page(int k) {
    std::string s(static_cast<std::size_t>(k - 1), '\n');
    s += "\x1e" + std::string(10, '\x1b') + "\x16\n";
    s += "\xc1rv\xedzt\xfbr\xf5\x0bt\xfck\xf6rf\xfar\xf3g\xe9p\x0b" + std::to_string(k) + "\n";
    return s;
}
std::string threePages() { return page(1) + "\x0c" + page(2) + "\x0c" + page(3); }

struct Cell {
    int w, h;
};
// The image is 80 cells by 66 lines of the interpreter's spacing (cell height + 4).
Cell cellOf(const QImage& img) { return {img.width() / 80, img.height() / 66 - 4}; }

bool dark(QRgb p) { return qGray(p) < 128; }

int firstDarkRow(const QImage& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (dark(img.pixel(x, y))) return y;
    return -1;
}

// The row where page k's rule is drawn: half a cell below the top of line k.
int ruleRow(const QImage& img, int k) {
    const Cell c = cellOf(img);
    return 8 + (k - 1) * (c.h + 4) + c.h / 2;
}

bool allOneColour(const QImage& img, QColor colour) {
    const QRgb want = colour.rgb();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != want) return false;
    return true;
}

QColor windowColour() { return QApplication::palette().color(QPalette::Base); }

class PreviewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        program = std::make_unique<nx::app::Program>(nx::DriveTable(drive.root().string()),
                                                     dialogs, "norvexa");
        main().show();
        QCoreApplication::processEvents();
        dialogs.messages.clear();  // the first-start message of the main window
        // The mail export's text file alone here; the PDF beside it has tests of its
        // own (pdf_pages_test.cpp).
        program->mailWindow().PdfMelleklet->setChecked(false);
    }
    void TearDown() override { program.reset(); }

    Globals& g() { return program->globals(); }
    TNyomtat& main() { return program->mainWindow(); }
    TNyomt& preview() { return program->previewWindow(); }
    const QImage& image() { return preview().NyomtLista->picture; }

    void openLastJob(const std::string& bytes) {
        drive.write(kLastJob, bytes);
        main().LegutobbiNyGomb->click();
        QCoreApplication::processEvents();
    }
    // A host job handed over by the watch cycle (immediate printing off).
    void openFromWatch(const std::string& hostBytes) {
        drive.mkdir("c:\\talvera");
        drive.write(kHostJob, hostBytes);
        main().AzonnalNyomtat->setChecked(false);
        g().dispatcher.run([this] { main().Figyeles(&main()); });
        QCoreApplication::processEvents();
    }
    void click(QPushButton* b) {
        b->click();
        QCoreApplication::processEvents();
    }
    QString pageLabel() { return preview().Label2->text(); }
    bool activate(QWidget* w) {
        w->activateWindow();
        return QTest::qWaitFor([w] { return QGuiApplication::focusWindow() == w->windowHandle(); },
                               2000);
    }

    nx::test::TempDrive drive;
    nx::test::ScriptedDialogs dialogs;
    std::unique_ptr<nx::app::Program> program;
};

// norvexa-print draws a preview page as the window shows it: the same image, pixel
// for pixel, size and fill included.
TEST_F(PreviewWindow, NorvexaPrintDrawsThePreviewPageAsTheWindowDoes) {
    const std::string sample = std::string(NORVEXA_SOURCE_DIR) + "/samples/invoice.txt";
    std::ifstream in(sample, std::ios::binary);
    const std::string job{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(job.empty());
    openFromWatch(job);
    click(preview().KovetkezoOldal);
    ASSERT_EQ(pageLabel(), "Ez a 2. oldal");

    const std::string png = (drive.root() / "page2.png").string();
    const QStringList args{QString::fromStdString(sample), "--png", QString::fromStdString(png), "--page", "2"};
    ASSERT_EQ(QProcess::execute(NORVEXA_PRINT, args), 0) << args.join(' ').toStdString();
    const QImage tool = QImage(QString::fromStdString(png)).convertToFormat(image().format());
    EXPECT_EQ(tool.size(), image().size());
    EXPECT_TRUE(tool == image());
}

// ---------------------------------------------------------------------------------
// Opening and paging

TEST_F(PreviewWindow, OpensOnPageOneAndPagesThroughTheJob) {
    openLastJob(threePages());
    ASSERT_TRUE(preview().isVisible());
    EXPECT_EQ(preview().windowTitle(), cp("Nyomtat\xe1si eredm\xe9ny"));
    EXPECT_EQ(preview().Label1->text(), cp("Nyomtat\xe1si k\xe9p"));
    EXPECT_EQ(pageLabel(), "Ez a 1. oldal");
    EXPECT_EQ(g().currentJobPath, kLastJob);
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 1));
    EXPECT_EQ(preview().ProgressBar1->maximum(), 100);
    EXPECT_EQ(preview().ProgressBar1->value(), 100);
    EXPECT_EQ(preview().focusWidget(), preview().Kinyomtat);

    // The rule is one unbroken dark row across its ten cells.
    const Cell c = cellOf(image());
    const int row = ruleRow(image(), 1);
    for (int x = 8 + c.w; x < 8 + 11 * c.w; ++x) ASSERT_TRUE(dark(image().pixel(x, row))) << x;

    // "Previous" on page 1 keeps page 1 and draws it again.
    preview().NyomtLista->picture.fill(Qt::red);
    click(preview().ElozoOldal);
    EXPECT_EQ(preview().pageNumber(), 1);
    EXPECT_EQ(pageLabel(), "Ez a 1. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 1));

    click(preview().KovetkezoOldal);
    click(preview().KovetkezoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 3. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 3));

    // Past the last form feed the label counts on over blank pages.
    for (int i = 0; i < 4; ++i) click(preview().KovetkezoOldal);
    EXPECT_EQ(preview().pageNumber(), 7);
    EXPECT_EQ(pageLabel(), "Ez a 7. oldal");
    EXPECT_TRUE(allOneColour(image(), windowColour()));

    click(preview().ElozoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 6. oldal");
    click(preview().ElsoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 1. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 1));
}

TEST_F(PreviewWindow, OpeningAgainWhileShownStartsOnPageOne) {
    openLastJob(threePages());
    click(preview().KovetkezoOldal);
    click(preview().KovetkezoOldal);
    ASSERT_EQ(pageLabel(), "Ez a 3. oldal");
    openLastJob(threePages());
    EXPECT_EQ(preview().pageNumber(), 1);
    EXPECT_EQ(pageLabel(), "Ez a 1. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 1));
}

TEST_F(PreviewWindow, LastPageGoesToThePageEndingWithTheLastFormFeed) {
    openLastJob(page(1) + "\x0c" + page(2) + "\x0c" + page(3) + "\x0c");
    click(preview().UtolsoOldal);
    EXPECT_EQ(preview().pageNumber(), 3);
    EXPECT_EQ(pageLabel(), "Ez a 3. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 3));
    EXPECT_EQ(preview().ProgressBar1->value(), 100);

    // Without a closing form feed the last page is reached only by "next".
    openLastJob(threePages());
    click(preview().UtolsoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 2. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 2));
}

TEST_F(PreviewWindow, LastPageWithoutAnyFormFeedChangesNothing) {
    openLastJob(page(1) + page(2));
    click(preview().KovetkezoOldal);
    ASSERT_EQ(pageLabel(), "Ez a 2. oldal");
    preview().NyomtLista->picture.setPixel(0, 0, qRgb(255, 0, 0));

    click(preview().UtolsoOldal);
    EXPECT_EQ(preview().pageNumber(), 2);
    EXPECT_EQ(pageLabel(), "Ez a 2. oldal");
    EXPECT_EQ(image().pixel(0, 0), qRgb(255, 0, 0));  // nothing drawn
    EXPECT_EQ(preview().ProgressBar1->value(), 0);

    // An empty file leaves an empty bar, not a busy indicator.
    openLastJob("");
    click(preview().UtolsoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 1. oldal");
    EXPECT_EQ(preview().ProgressBar1->value(), 0);
    EXPECT_GT(preview().ProgressBar1->maximum(), preview().ProgressBar1->minimum());
}

TEST_F(PreviewWindow, LastJobButtonBeforeAnyJobShowsABlankPage) {
    ASSERT_FALSE(drive.exists(kLastJob));
    main().LegutobbiNyGomb->click();
    QCoreApplication::processEvents();
    ASSERT_TRUE(preview().isVisible());
    EXPECT_TRUE(allOneColour(image(), windowColour()));
    EXPECT_TRUE(drive.exists(kLastJob));
    EXPECT_EQ(drive.read(kLastJob), "");
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PreviewWindow, LastPageOfAVanishedFileIsReportedAfterItsRetry) {
    openLastJob(threePages());
    drive.write(kLastJob, "");
    std::filesystem::remove(drive.host(kLastJob));
    click(preview().UtolsoOldal);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].text, "File not found.");
    EXPECT_EQ(preview().pageNumber(), 1);
    EXPECT_FALSE(drive.exists(kLastJob));  // the count never creates the file
}

// ---------------------------------------------------------------------------------
// The watch cycle's hand-over, and closing

TEST_F(PreviewWindow, AJobFromTheWatchShowsItsConvertedCopyOnEveryPage) {
    // Host code page: a double box corner and rule (CP852 201, 205, 187) over a line
    // of text, a form feed, page two alike.
    openFromWatch("\xc9\xcd\xcd\xcd\xbb\r\n x\r\n\x0c\xc9\xcd\xcd\xcd\xbb\r\n y\r\n");
    ASSERT_TRUE(preview().isVisible());
    EXPECT_EQ(g().currentJobPath, kWorkingCopy);
    EXPECT_EQ(g().cycle.currentJob(), std::optional<std::string>(kHostJob));
    EXPECT_FALSE(main().Timer1->isActive());
    const int row = ruleRow(image(), 1);
    EXPECT_EQ(firstDarkRow(image()), row);

    // The navigated page is the converted copy too: the same rule, drawn as lines.
    click(preview().KovetkezoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 2. oldal");
    EXPECT_EQ(firstDarkRow(image()), row);
    const Cell c = cellOf(image());
    for (int x = 8 + c.w; x < 8 + 4 * c.w; ++x) ASSERT_TRUE(dark(image().pixel(x, row))) << x;
}

TEST_F(PreviewWindow, ClosingAfterTheWatchConsumesTheJobAndArmsTheWatch) {
    openFromWatch("Hello\r\n");
    ASSERT_TRUE(preview().isVisible());
    preview().close();
    EXPECT_FALSE(preview().isVisible());
    EXPECT_FALSE(drive.exists(kHostJob));
    EXPECT_TRUE(drive.exists(kLastJob));
    EXPECT_TRUE(main().Timer1->isActive());
    EXPECT_EQ(main().Timer1->interval(), 3000);
    EXPECT_EQ(main().Label1->text(), cp("Figyel\xe9s..."));
    EXPECT_TRUE(allOneColour(image(), windowColour()));
}

TEST_F(PreviewWindow, ClosingKeepsAJobFileTheHostHasRewritten) {
    openFromWatch("Hello\r\n");
    drive.write(kHostJob, "A newer, longer job\r\n");
    preview().close();
    EXPECT_EQ(drive.read(kHostJob), "A newer, longer job\r\n");
    EXPECT_TRUE(main().Timer1->isActive());
}

TEST_F(PreviewWindow, ClosingAfterTheLastJobButtonKeepsTheLastJobCopy) {
    openLastJob(threePages());
    EXPECT_FALSE(g().cycle.currentJob());
    preview().close();
    EXPECT_EQ(drive.read(kLastJob), threePages());
    EXPECT_TRUE(main().Timer1->isActive());
    EXPECT_EQ(main().Label1->text(), cp("Figyel\xe9s..."));
}

// Esc closes from the print button, the four navigation buttons and the window
// itself; the other four focusable controls ignore it.
TEST_F(PreviewWindow, EscapeClosesOnlyFromItsFiveButtonsAndTheWindow) {
    struct Case {
        QWidget* control;
        bool closes;
    };
    openLastJob(threePages());
    TNyomt& p = preview();
    const Case cases[] = {
        {p.Kinyomtat, true},          {p.ElsoOldal, true},   {p.ElozoOldal, true},
        {p.KovetkezoOldal, true},     {p.UtolsoOldal, true}, {p.FilebaNyomtatGomb, false},
        {p.EgyOldal, false},          {p.MailbeGomb, false}, {p.ReszletNyomt, false},
    };
    for (const Case& c : cases) {
        openLastJob(threePages());
        c.control->setFocus();
        QTest::keyClick(c.control, Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_EQ(p.isVisible(), !c.closes) << c.control->metaObject()->className() << " "
                                            << c.control->property("text").toString().toStdString();
    }
    openLastJob(threePages());
    if (QWidget* f = p.focusWidget()) f->clearFocus();
    QTest::keyClick(&p, Qt::Key_Escape);
    EXPECT_FALSE(p.isVisible());

    // Other keys do not close.
    openLastJob(threePages());
    QTest::keyClick(p.Kinyomtat, Qt::Key_A);
    EXPECT_TRUE(p.isVisible());
}

// ---------------------------------------------------------------------------------
// Activation

TEST_F(PreviewWindow, SwitchingToTheMainWindowAndBackResetsTheLabel) {
    openLastJob(threePages());
    click(preview().KovetkezoOldal);
    click(preview().KovetkezoOldal);
    ASSERT_TRUE(activate(&preview()));
    ASSERT_TRUE(activate(&main()));
    ASSERT_TRUE(activate(&preview()));
    EXPECT_EQ(preview().pageNumber(), 1);
    EXPECT_EQ(pageLabel(), "Ez a 1. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 3));  // not redrawn
    click(preview().KovetkezoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 2. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 2));
}

TEST_F(PreviewWindow, ReturningFromTheMailWindowKeepsThePage) {
    openLastJob(threePages());
    ASSERT_TRUE(activate(&preview()));
    click(preview().KovetkezoOldal);
    click(preview().KovetkezoOldal);
    bool mailShown = false;
    QTimer::singleShot(0, [&] {
        mailShown = program->mailWindow().isVisible();
        program->mailWindow().MegseGomb->click();
    });
    click(preview().MailbeGomb);
    EXPECT_TRUE(mailShown);
    QTest::qWait(50);
    EXPECT_EQ(preview().pageNumber(), 3);
    EXPECT_EQ(pageLabel(), "Ez a 3. oldal");
    click(preview().KovetkezoOldal);
    EXPECT_EQ(pageLabel(), "Ez a 4. oldal");
}

// ---------------------------------------------------------------------------------
// Printing

TEST_F(PreviewWindow, PrintsEveryPageOfTheShownFileAndStaysOnItsPage) {
    const std::string pdf = drive.root().string() + "/preview.pdf";
    g().currentPrinter->setOutputFormat(QPrinter::PdfFormat);
    g().currentPrinter->setOutputFileName(QString::fromStdString(pdf));
    openLastJob(threePages());
    click(preview().KovetkezoOldal);

    click(preview().Kinyomtat);
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors[0].text.toStdString();
    EXPECT_TRUE(preview().isVisible());
    EXPECT_EQ(pageLabel(), "Ez a 2. oldal");
    EXPECT_EQ(firstDarkRow(image()), ruleRow(image(), 2));
    EXPECT_EQ(main().Label1->text(), cp("Nyomtat\xe1s..."));
    EXPECT_EQ(drive.read(kLastJob), threePages());

#if defined(_WIN32)
    // No poppler under Windows: the page objects that Qt's PDF writer makes.
    std::ifstream in(pdf, std::ios::binary);
    const std::string doc{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(QString::fromStdString(doc).count(QRegularExpression("/Type /Page\\b(?!s)")), 3);
#else
    QProcess info;
    info.start("pdfinfo", {QString::fromStdString(pdf)});
    ASSERT_TRUE(info.waitForFinished(10000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+3\\b")));

    // Printed as it stands: accented letters are not mapped a second time.
    QProcess text;
    text.start("pdftotext", {QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(text.waitForFinished(10000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("tükörfúrógép"))) << printed.toStdString();
#endif
}

// ---------------------------------------------------------------------------------
// Exports

// Every case of the line copy in one source: a space code, a form feed at a line
// start, a 300-byte line, box code 26 mid-job, a CR inside a line, bytes 128 to 255
// and a last line without LF.
std::string exportSource() {
    std::string s = "Sz\xe1mla\x0bsz\xe1m:\x0b" "12\r\n";
    s += "\x1e\x1b\x1b\x16\n";
    s += "\x0c\x01" "Fej\x02" "l\xe9" "c\n";
    s += std::string(300, 'x') + "\n";
    s += "a\x1a" "b\x14\x15\n";
    s += "c\rd\r\n";
    for (int b = 128; b < 256; ++b) s += static_cast<char>(b);
    s += "\n";
    s += "v\xe9ge";
    return s;
}
std::string exportExpected() {
    std::string s = "Sz\xe1mla sz\xe1m: 12\r\n";
    s += "\r\n";
    s += "\x0c" "Fejl\xe9\x63\r\n";
    s += std::string(300, 'x') + "\r\n";
    s += "ab\r\n";
    s += "cd\r\n";
    for (int b = 128; b < 256; ++b) s += static_cast<char>(b);
    s += "\r\n";
    s += "v\xe9ge\r\n";
    return s;
}

TEST_F(PreviewWindow, FileExportWritesThePlainTextOfTheWholeJob) {
    openLastJob(exportSource());
    click(preview().KovetkezoOldal);  // the export covers the whole file on any page
    click(preview().FilebaNyomtatGomb);
    ASSERT_EQ(dialogs.inputs.size(), 1u);
    EXPECT_EQ(dialogs.inputs[0].caption, cp("Nyomtat\xe1s ment\xe9se file-ba"));
    EXPECT_EQ(dialogs.inputs[0].prompt, "Hova:");
    EXPECT_EQ(dialogs.inputs[0].value, "C:\\norvexa\\eredmeny.txt");
    EXPECT_EQ(dialogs.inputs[0].maxLength, 255);
    EXPECT_EQ(drive.read("c:\\norvexa\\eredmeny.txt"), exportExpected());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], cp("A ment\xe9s megt\xf6rt\xe9nt."));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PreviewWindow, FileExportOfAnEmptyJobIsAnEmptyFile) {
    openLastJob("");
    dialogs.inputAnswers.push_back(QStringLiteral("C:\\norvexa\\ures.txt"));
    click(preview().FilebaNyomtatGomb);
    EXPECT_TRUE(drive.exists("c:\\norvexa\\ures.txt"));
    EXPECT_EQ(drive.read("c:\\norvexa\\ures.txt"), "");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], cp("A ment\xe9s megt\xf6rt\xe9nt."));
}

TEST_F(PreviewWindow, FileExportCancelledOrToAMissingDirectoryWritesNothing) {
    openLastJob(exportSource());
    dialogs.inputAnswers.push_back(std::nullopt);
    click(preview().FilebaNyomtatGomb);
    EXPECT_FALSE(drive.exists("c:\\norvexa\\eredmeny.txt"));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.errors.empty());

    dialogs.inputAnswers.push_back(QStringLiteral("C:\\nincs\\ott.txt"));
    click(preview().FilebaNyomtatGomb);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "C:\\nincs\\ott.txt IO hiba: 3");
    EXPECT_FALSE(std::filesystem::exists(drive.root() / "nincs"));
    EXPECT_TRUE(dialogs.errors.empty());
}

// Fails every read of one file while armed.
class FailReads final : public nx::FaultHook {
public:
    explicit FailReads(std::string host) : host_(std::move(host)) {}
    bool armed = true;
    int before(nx::FileOp op, const std::string& hostPath) override {
        return armed && op == nx::FileOp::Read && hostPath == host_ ? nx::kAccessDenied : 0;
    }

private:
    std::string host_;
};

TEST_F(PreviewWindow, AFailedExportIsReportedAndTheNextOneWorks) {
    openLastJob(exportSource());
    FailReads faults(g().fs.hostPath(kLastJob));
    g().fs.setFaultHook(&faults);
    click(preview().FilebaNyomtatGomb);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].text, "File access denied.");
    EXPECT_TRUE(dialogs.messages.empty());  // no completion message
    EXPECT_TRUE(drive.exists("c:\\norvexa\\eredmeny.txt"));

    faults.armed = false;
    click(preview().FilebaNyomtatGomb);
    g().fs.setFaultHook(nullptr);
    EXPECT_EQ(drive.read("c:\\norvexa\\eredmeny.txt"), exportExpected());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], cp("A ment\xe9s megt\xf6rt\xe9nt."));
}

TEST_F(PreviewWindow, TwoFileExportsToOnePathLeaveTheSecond) {
    openLastJob(exportSource());
    click(preview().FilebaNyomtatGomb);
    openLastJob("r\xf6vid\n");
    click(preview().FilebaNyomtatGomb);
    EXPECT_EQ(drive.read("c:\\norvexa\\eredmeny.txt"), "r\xf6vid\r\n");
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PreviewWindow, MailExportWritesTheAttachmentAndShowsTheMailWindow) {
    openLastJob(exportSource());
    bool mailShown = false;
    QTimer::singleShot(0, [&] {
        mailShown = program->mailWindow().isVisible();
        program->mailWindow().MegseGomb->click();
    });
    click(preview().MailbeGomb);
    EXPECT_TRUE(mailShown);
    EXPECT_EQ(drive.read("c:\\norvexa\\kuldes.txt"), exportExpected());
    EXPECT_TRUE(dialogs.messages.empty());  // no completion message
    EXPECT_TRUE(dialogs.errors.empty());

    // A second export of a shorter job replaces the attachment.
    openLastJob("r\xf6vid\n");
    QTimer::singleShot(0, [&] { program->mailWindow().MegseGomb->click(); });
    click(preview().MailbeGomb);
    EXPECT_EQ(drive.read("c:\\norvexa\\kuldes.txt"), "r\xf6vid\r\n");
}

TEST_F(PreviewWindow, MailExportThatCannotCreateTheAttachmentShowsNoMailWindow) {
    openLastJob(exportSource());
    drive.mkdir("c:\\norvexa\\kuldes.txt");  // a directory in the attachment's place
    bool mailShown = false;
    QTimer::singleShot(0, [&] {
        mailShown = program->mailWindow().isVisible();
        if (mailShown) program->mailWindow().MegseGomb->click();
    });
    click(preview().MailbeGomb);
    QTest::qWait(20);
    EXPECT_FALSE(mailShown);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "C:\\NORVEXA\\KULDES.TXT IO hiba: 5");
}

// ---------------------------------------------------------------------------------
// Geometry

// What the user sees at the sizes the window is made with and larger: every
// control inside the window, none over another, the page area taking the free width and height, the buttons along
// the bottom edge in their order, the print button in the bottom right corner.
TEST_F(PreviewWindow, ResizeLaysTheControlsOutAlongTheEdges) {
    openLastJob(threePages());
    TNyomt& p = preview();
    const std::vector<QWidget*> controls = {p.Label1,      p.ProgressBar1,   p.ScrollBox1, p.ElsoOldal,
                                            p.ElozoOldal,  p.KovetkezoOldal, p.UtolsoOldal, p.Label2,
                                            p.EgyOldal,    p.FilebaNyomtatGomb, p.ReszletNyomt,
                                            p.MailbeGomb,  p.Kinyomtat,      p.PdfMentes};
    for (const QSize size : {TNyomt::creationSize({1024, 768}), QSize(900, 700), QSize(1024, 700),
                             QSize(1280, 960)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        p.resize(size);
        QCoreApplication::processEvents();
        ASSERT_EQ(p.size(), size);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(p.rect().contains(controls[i]->geometry())) << controls[i]->metaObject()->className() << i;
            for (std::size_t k = i + 1; k < controls.size(); ++k)
                EXPECT_FALSE(controls[i]->geometry().intersects(controls[k]->geometry())) << i << " and " << k;
        }
        // The page area: from its place to 16 from the right edge, down to just
        // above the row of buttons.
        const QRect page = p.ScrollBox1->geometry();
        EXPECT_EQ(page.topLeft(), QPoint(16, 32));
        EXPECT_EQ(size.width() - (page.right() + 1), 16);
        const int row = p.ElsoOldal->y();
        EXPECT_GE(row - (page.bottom() + 1), 0);
        EXPECT_LE(row - (page.bottom() + 1), 16);
        // The print button in the corner, the others along the bottom, left to right.
        const QRect print = p.Kinyomtat->geometry();
        EXPECT_EQ(QPoint(size.width() - (print.right() + 1), size.height() - (print.bottom() + 1)),
                  QPoint(8, 8));
        EXPECT_EQ(p.MailbeGomb->geometry().bottom(), print.bottom());
        // The PDF button on the lower row, left of "Részlet nyomt.".
        EXPECT_EQ(p.PdfMentes->geometry().bottom(), print.bottom());
        EXPECT_LT(p.PdfMentes->geometry().right(), p.ReszletNyomt->x());
        if (std::getenv("NORVEXA_SHOW_GEOMETRY")) {
            for (QWidget* w : {static_cast<QWidget*>(p.ElsoOldal), static_cast<QWidget*>(p.UtolsoOldal),
                               static_cast<QWidget*>(p.Label2), static_cast<QWidget*>(p.PdfMentes),
                               static_cast<QWidget*>(p.ReszletNyomt), static_cast<QWidget*>(p.EgyOldal),
                               static_cast<QWidget*>(p.FilebaNyomtatGomb), static_cast<QWidget*>(p.MailbeGomb),
                               static_cast<QWidget*>(p.Kinyomtat)}) {
                const QRect r = w->geometry();
                std::printf("%dx%d %s %d,%d %dx%d\n", size.width(), size.height(),
                            qPrintable(w->property("text").toString()),
                            r.x(), r.y(), r.width(), r.height());
            }
        }
        const std::vector<QWidget*> leftToRight = {p.ElsoOldal, p.ElozoOldal, p.KovetkezoOldal, p.UtolsoOldal,
                                                   p.Label2,    p.EgyOldal,   p.FilebaNyomtatGomb, p.Kinyomtat};
        for (std::size_t i = 1; i < leftToRight.size(); ++i) {
            EXPECT_LT(leftToRight[i - 1]->geometry().right(), leftToRight[i]->x()) << i;
            EXPECT_GE(leftToRight[i]->y(), row) << i;
        }
        EXPECT_EQ(p.NyomtLista->pos(), QPoint(8, 8));
    }
}

TEST(PreviewWindowCreation, SizeFollowsTheScreen) {
    EXPECT_EQ(TNyomt::creationSize({1024, 768}), QSize(800, 668));
    EXPECT_EQ(TNyomt::creationSize({1280, 1024}), QSize(800, 924));
    EXPECT_EQ(TNyomt::creationSize({1920, 1600}), QSize(800, 1398));
    // Screen minus margin equal to the wanted size is not greater: the screen wins.
    EXPECT_EQ(TNyomt::creationSize({820, 1498}), QSize(800, 1398));
    EXPECT_EQ(TNyomt::creationSize({819, 1497}), QSize(799, 1397));
}

TEST_F(PreviewWindow, ControlsHaveTheirCaptionsAndTabOrder) {
    TNyomt& p = preview();
    EXPECT_EQ(p.Kinyomtat->text(), "Ki&nyomtat");
    EXPECT_EQ(p.ElsoOldal->text(), cp("Els\xf5 &oldal"));
    EXPECT_EQ(p.ElozoOldal->text(), cp("&El\xf5z\xf5 oldal"));
    EXPECT_EQ(p.KovetkezoOldal->text(), cp("&K\xf6v. oldal"));
    EXPECT_EQ(p.UtolsoOldal->text(), cp("&Utols\xf3 oldal"));
    EXPECT_EQ(p.FilebaNyomtatGomb->text(), cp("&F\xe1jlba nyomt."));
    EXPECT_EQ(p.EgyOldal->text(), cp("aktu\xe1lis oldal"));
    EXPECT_EQ(p.MailbeGomb->text(), "E-&mail");
    EXPECT_EQ(p.ReszletNyomt->text(), cp("&R\xe9szlet nyomt."));

    openLastJob(threePages());
    // Every caption shows whole, also where a wider face stands in for the font.
    for (QWidget* w : {static_cast<QWidget*>(p.Kinyomtat), static_cast<QWidget*>(p.ElsoOldal),
                       static_cast<QWidget*>(p.ElozoOldal), static_cast<QWidget*>(p.KovetkezoOldal),
                       static_cast<QWidget*>(p.UtolsoOldal), static_cast<QWidget*>(p.FilebaNyomtatGomb),
                       static_cast<QWidget*>(p.EgyOldal), static_cast<QWidget*>(p.MailbeGomb),
                       static_cast<QWidget*>(p.ReszletNyomt)})
        EXPECT_LE(w->sizeHint().width(), w->width()) << w->metaObject()->className();
    const QWidget* expected[] = {p.ElsoOldal, p.ElozoOldal, p.KovetkezoOldal, p.UtolsoOldal,
                                 p.FilebaNyomtatGomb, p.EgyOldal, p.MailbeGomb, p.ReszletNyomt,
                                 p.Kinyomtat};
    p.Kinyomtat->setFocus();
    for (const QWidget* w : expected) {
        QTest::keyClick(p.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(p.focusWidget(), w);
    }
}

}  // namespace
