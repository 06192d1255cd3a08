// Sample jobs printed into PDF files through QPrinter, read back with poppler-utils.
#include <QPrinter>
#include <gtest/gtest.h>

#include "platform/cp1250_utf8.h"
#include "platform/qt/print_job.h"
#include "render/printer_output.h"
#include "tests/integration/pdf_support.h"
#include "tests/support/recording.h"
#include "tests/support/temp_drive.h"

namespace fs = std::filesystem;

namespace {

struct Printed {
    std::string stream;
    fs::path pdf;
    // Accented words of the text runs that lie wholly on the paper, page by page.
    std::vector<std::vector<std::string>> words;
};

// Passes everything on to the real job and notes the text runs that fit the page.
class RunCollector final : public nx::PrintJob, public nx::Surface {
public:
    RunCollector(nx::qt::QtPrintJob& job, int pageWidth) : job_(job), pageWidth_(pageWidth) {}
    std::vector<std::vector<std::string>> words;

    void setTitle(std::string_view t) override { job_.setTitle(t); }
    void setLandscape(bool l) override { job_.setLandscape(l); }
    bool begin() override {
        words.assign(1, {});
        return job_.begin();
    }
    void newPage() override {
        job_.newPage();
        words.emplace_back();
    }
    void end() override { job_.end(); }
    void abort() override { job_.abort(); }
    nx::Surface& surface() override { return *this; }

    void setFontFace(std::string_view f) override { job_.surface().setFontFace(f); }
    void setFontSize(int p) override { job_.surface().setFontSize(p); }
    int fontSize() const override { return job_.surface().fontSize(); }
    void setBold(bool b) override { job_.surface().setBold(b); }
    bool bold() const override { return job_.surface().bold(); }
    int textWidth(std::string_view t) override { return job_.surface().textWidth(t); }
    int textHeight(std::string_view t) override { return job_.surface().textHeight(t); }
    void drawText(int x, int y, std::string_view t) override {
        if (x >= 0 && x + textWidth(t) <= pageWidth_) {
            // The surface takes UTF-8; the words are looked for in the stream's code page.
            const auto found = nx::test::accentedWordsByPage(nx::utf8ToCp1250(t));
            for (const std::string& w : found.front()) words.back().push_back(w);
        }
        job_.surface().drawText(x, y, t);
    }
    void moveTo(int x, int y) override { job_.surface().moveTo(x, y); }
    void lineTo(int x, int y) override { job_.surface().lineTo(x, y); }
    void fillRect(int a, int b, int c, int d) override { job_.surface().fillRect(a, b, c, d); }

private:
    nx::qt::QtPrintJob& job_;
    int pageWidth_;
};

Printed printSample(nx::test::TempDrive& drive, const std::string& sample, bool landscape) {
    Printed p;
    p.stream = nx::test::printStreamOf(nx::test::sampleJob(sample));
    drive.write("c:\\norvexa\\nyomtat1.txt", p.stream);
    p.pdf = drive.root() / (sample + ".pdf");

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(p.pdf.string()));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(600);
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const int pageWidth = printer.pageLayout().paintRectPixels(printer.resolution()).width();
    nx::qt::QtPrintJob job(printer);
    RunCollector collector(job, pageWidth);

    nx::Settings settings;
    settings.leftMargin = 60;
    settings.topMargin = 60;
    nx::test::RecordingProgress progress;
    nx::RenderContext ctx{drive.fs(), settings, [] { return false; }, progress};
    nx::printStream(ctx, "c:\\norvexa\\nyomtat1.txt", collector, landscape);
    p.words = collector.words;
    EXPECT_TRUE(job.succeeded());
    return p;
}

class PdfOutput : public ::testing::Test {
protected:
    void SetUp() override {
        if (!nx::test::havePoppler()) GTEST_SKIP() << "poppler-utils (pdfinfo, pdftotext) are not installed";
    }
    nx::test::TempDrive drive;
};

TEST_F(PdfOutput, PagesTitleAndPaperFollowTheJob) {
    for (const char* sample : {"invoice.txt", "ledger.txt", "report.txt"}) {
        for (bool landscape : {false, true}) {
            SCOPED_TRACE(std::string(sample) + (landscape ? " landscape" : " portrait"));
            const Printed p = printSample(drive, sample, landscape);
            const std::string file = p.pdf.string();
            EXPECT_EQ(nx::test::pdfInfo(file, "Pages"), std::to_string(nx::test::pagesByFormFeeds(p.stream)));
            EXPECT_EQ(nx::test::pdfInfo(file, "Title"), "Nyomtat\u00e1si eredm\u00e9ny");
            EXPECT_EQ(nx::test::pdfInfo(file, "Page size"),
                      landscape ? "842 x 595 pts (A4)" : "595 x 842 pts (A4)");
        }
    }
}

TEST_F(PdfOutput, EveryPageCarriesItsOwnTextWithHungarianLetters) {
    for (const char* sample : {"invoice.txt", "ledger.txt", "report.txt"}) {
        SCOPED_TRACE(sample);
        const Printed p = printSample(drive, sample, std::string(sample) == "report.txt");
        const auto& words = p.words;
        const int pages = nx::test::pagesByFormFeeds(p.stream);
        ASSERT_EQ(static_cast<int>(words.size()), pages);
        std::size_t checked = 0;
        for (int page = 1; page <= pages; ++page) {
            const std::string text = nx::test::run("pdftotext -enc UTF-8 -f " + std::to_string(page) +
                                                   " -l " + std::to_string(page) + " " +
                                                   nx::test::quoted(p.pdf.string()) + " -");
            for (const std::string& w : words[static_cast<std::size_t>(page - 1)]) {
                EXPECT_NE(text.find(w), std::string::npos) << "page " << page << " lacks \"" << w << "\"";
                ++checked;
            }
        }
        EXPECT_GT(checked, 5u);
    }
}

// A print job whose surface draws every call as it comes, without batching.
class Unbatched final : public nx::PrintJob {
public:
    explicit Unbatched(nx::qt::QtPrintJob& job) : job_(job) {}
    void setTitle(std::string_view t) override { job_.setTitle(t); }
    void setLandscape(bool l) override { job_.setLandscape(l); }
    bool begin() override {
        if (!job_.begin()) return false;
        plain();
        return true;
    }
    void newPage() override {
        job_.newPage();
        plain();
    }
    void end() override { job_.end(); }
    void abort() override { job_.abort(); }
    nx::Surface& surface() override { return job_.surface(); }

private:
    void plain() { dynamic_cast<nx::qt::PainterSurface&>(job_.surface()).setBatching(false); }
    nx::qt::QtPrintJob& job_;
};

TEST_F(PdfOutput, BatchedPagesRasterizeLikeCallByCallDrawing) {
    // A form feed on the last line draws over the top of the last page.
    std::string stream = nx::test::printStreamOf(nx::test::sampleJob("invoice.txt") +
                                                 nx::test::sampleJob("ledger.txt"));
    stream += "\x0c\x01" "fel\xfcl\x0b\x0b\xedrva\x14\x1b\x1b\x1b\r\n";
    drive.write("c:\\norvexa\\nyomtat1.txt", stream);
    nx::Settings settings;
    nx::test::RecordingProgress progress;
    nx::RenderContext ctx{drive.fs(), settings, [] { return false; }, progress};
    auto print = [&](const fs::path& out, bool batched) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(out.string()));
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setResolution(600);
        nx::qt::QtPrintJob job(printer);
        Unbatched plain(job);
        if (batched) nx::printStream(ctx, "c:\\norvexa\\nyomtat1.txt", job, false);
        else nx::printStream(ctx, "c:\\norvexa\\nyomtat1.txt", plain, false);
        EXPECT_TRUE(job.succeeded());
    };
    const fs::path a = drive.root() / "batched.pdf", b = drive.root() / "plain.pdf";
    print(a, true);
    print(b, false);
    EXPECT_LT(fs::file_size(a), fs::file_size(b));
    // Without antialiasing every pixel is either covered or not: the two must agree.
    const std::string raster = "pdftoppm -r 150 -aa no -aaVector no -gray ";
    for (const char* page : {"1", "2", "4"}) {
        SCOPED_TRACE(std::string("page ") + page);
        const std::string range = std::string("-f ") + page + " -l " + page + " ";
        const std::string ra = nx::test::run(raster + range + nx::test::quoted(a.string()));
        const std::string rb = nx::test::run(raster + range + nx::test::quoted(b.string()));
        ASSERT_GT(ra.size(), 100000u) << ra;
        EXPECT_TRUE(ra == rb);
    }
}

}  // namespace
