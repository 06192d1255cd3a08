// Printing into a real CUPS scheduler that the test starts on a private socket, with a
// queue that keeps its job files, and reading back the document it received.
#include <QPrinter>
#include <QPrinterInfo>
#include <gtest/gtest.h>

#include <chrono>

#include "platform/qt/print_job.h"
#include "platform/chosen_pages.h"
#include "render/printer_output.h"
#include "tests/integration/pdf_support.h"
#include "tests/integration/private_cups.h"
#include "tests/support/recording.h"
#include "tests/support/temp_drive.h"

namespace fs = std::filesystem;

namespace {

using nx::test::kQueue;
using nx::test::PrivateCups;

// One scheduler for all the tests: the CUPS client library takes the server from the
// environment only once per process.
class CupsPrinting : public ::testing::Test {
protected:
    static void SetUpTestSuite() { scheduler_ = new PrivateCups; }
    static void TearDownTestSuite() {
        delete scheduler_;
        scheduler_ = nullptr;
    }
    void SetUp() override {
        if (!cups_.ready()) GTEST_SKIP() << "no private CUPS scheduler: " << cups_.why();
        if (!nx::test::havePoppler()) GTEST_SKIP() << "poppler-utils are not installed";
        if (!QPrinterInfo::availablePrinterNames().contains(QString::fromLatin1(kQueue)))
            GTEST_SKIP() << "Qt's CUPS support does not see the private queue";
        before_ = cups_.documents(0, std::chrono::milliseconds(0)).size();
    }
    // Documents spooled since the test began, waiting up to `timeout` for `count`.
    std::vector<fs::path> newDocuments(std::size_t count, std::chrono::milliseconds timeout) {
        auto docs = cups_.documents(before_ + count, timeout);
        docs.erase(docs.begin(), docs.begin() + static_cast<std::ptrdiff_t>(before_));
        return docs;
    }
    static PrivateCups* scheduler_;
    PrivateCups& cups_ = *scheduler_;
    std::size_t before_ = 0;
};

PrivateCups* CupsPrinting::scheduler_ = nullptr;

TEST_F(CupsPrinting, TheSchedulerReceivesTheWholeJobAsOneDocument) {
    const std::string stream = nx::test::printStreamOf(nx::test::sampleJob("ledger.txt"));
    cups_.drive().write("c:\\norvexa\\nyomtat1.txt", stream);

    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QString::fromLatin1(kQueue));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(600);
    nx::qt::QtPrintJob job(printer);
    nx::Settings settings;
    nx::test::RecordingProgress progress;
    nx::RenderContext ctx{cups_.drive().fs(), settings, [] { return false; }, progress};
    nx::printStream(ctx, "c:\\norvexa\\nyomtat1.txt", job, false);
    ASSERT_TRUE(job.succeeded());

    const auto docs = newDocuments(1, std::chrono::seconds(10));
    ASSERT_EQ(docs.size(), 1u) << cups_.log();
    const std::string doc = docs.front().string();
    EXPECT_EQ(nx::test::pdfInfo(doc, "Pages"), std::to_string(nx::test::pagesByFormFeeds(stream)));
    EXPECT_EQ(nx::test::pdfInfo(doc, "Title"), "Nyomtat\u00e1si eredm\u00e9ny");
    EXPECT_EQ(nx::test::pdfInfo(doc, "Page size"), "595 x 842 pts (A4)");
    // The same text, page by page, as the job printed into a PDF file.
    const fs::path direct = cups_.drive().root() / "direct.pdf";
    {
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(QString::fromStdString(direct.string()));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(600);
        nx::qt::QtPrintJob pdfJob(pdf);
        nx::printStream(ctx, "c:\\norvexa\\nyomtat1.txt", pdfJob, false);
        ASSERT_TRUE(pdfJob.succeeded());
    }
    const std::string text = nx::test::run("pdftotext -enc UTF-8 -layout " + nx::test::quoted(doc) + " -");
    EXPECT_EQ(text, nx::test::run("pdftotext -enc UTF-8 -layout " + nx::test::quoted(direct.string()) + " -"));
    EXPECT_NE(text.find("\u00e1"), std::string::npos);  // Hungarian letters came through
    EXPECT_NE(text.find("\u0151"), std::string::npos);
}

TEST_F(CupsPrinting, PartOfAJobReachesTheSchedulerAsOneDocumentOfTheChosenPages) {
    std::string stream;
    for (int k = 1; k <= 5; ++k) stream += "oldal" + std::to_string(k) + (k < 5 ? "\x0c" : "") + "\r\n";
    cups_.drive().write("c:\\norvexa\\nyomtat1.txt", stream);
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QString::fromLatin1(kQueue));
    printer.setResolution(600);
    nx::qt::QtPrintJob job(printer);
    nx::ChosenPages chosen(job, {2, 4, 5});
    nx::Settings settings;
    nx::test::RecordingProgress progress;
    nx::RenderContext ctx{cups_.drive().fs(), settings, [] { return false; }, progress};
    nx::printStream(ctx, "c:\\norvexa\\nyomtat1.txt", chosen, false);
    ASSERT_TRUE(job.succeeded());

    const auto docs = newDocuments(1, std::chrono::seconds(10));
    ASSERT_EQ(docs.size(), 1u) << cups_.log();
    EXPECT_EQ(nx::test::pdfInfo(docs.front().string(), "Pages"), "3");
    const std::string text = nx::test::run("pdftotext " + nx::test::quoted(docs.front().string()) + " -");
    const auto at = [&](const char* s) { return text.find(s); };
    EXPECT_EQ(at("oldal1"), std::string::npos);
    EXPECT_EQ(at("oldal3"), std::string::npos);
    EXPECT_LT(at("oldal2"), at("oldal4"));
    EXPECT_LT(at("oldal4"), at("oldal5"));
    EXPECT_NE(at("oldal5"), std::string::npos);
}

TEST_F(CupsPrinting, AnAbortedJobNeverReachesTheScheduler) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QString::fromLatin1(kQueue));
    {
        nx::qt::QtPrintJob job(printer);
        ASSERT_TRUE(job.begin());
        job.surface().setFontFace("Courier New");
        job.surface().setFontSize(11);
        job.surface().drawText(0, 0, "f\xe9l oldal");
        job.newPage();
        job.abort();
        EXPECT_FALSE(job.succeeded());
    }
    // Then a whole job, so that the scheduler has had its chance to receive both.
    {
        nx::qt::QtPrintJob job(printer);
        ASSERT_TRUE(job.begin());
        job.surface().setFontSize(11);
        job.surface().drawText(0, 0, "eg\xe9sz");
        job.end();
        EXPECT_TRUE(job.succeeded());
    }
    const auto docs = newDocuments(2, std::chrono::seconds(3));
    ASSERT_EQ(docs.size(), 1u) << cups_.log();
    EXPECT_EQ(nx::test::pdfInfo(docs.front().string(), "Pages"), "1");
}

}  // namespace
