// The QPrinter print job writing PDF files: a finished job is one whole document, an
// abandoned or failed one leaves nothing behind.
#include <QPrinter>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/qt/print_job.h"
#include "tests/integration/pdf_support.h"
#include "tests/support/temp_drive.h"

namespace fs = std::filesystem;
using nx::qt::QtPrintJob;

namespace {

std::size_t entries(const fs::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

void pdfPrinter(QPrinter& printer, const fs::path& out) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(out.string()));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(600);
}

TEST(QtPrintJob, FinishedJobIsOneDocumentWithItsTitleAndPages) {
    if (!nx::test::havePoppler()) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    nx::test::TempDrive drive;
    const fs::path out = drive.root() / "out.pdf";
    QPrinter printer(QPrinter::HighResolution);
    pdfPrinter(printer, out);
    QtPrintJob job(printer);
    job.setTitle("Nyomtat\xe1si eredm\xe9ny");
    job.setLandscape(true);
    ASSERT_TRUE(job.begin());
    job.surface().setFontFace("Courier New");
    job.surface().setFontSize(11);
    job.surface().drawText(0, 0, "\xc1rv\xedzt\xfbr\xf5");
    job.newPage();
    job.surface().moveTo(100, 100);
    job.surface().lineTo(1000, 100);
    job.newPage();
    job.end();
    EXPECT_TRUE(job.succeeded());
    EXPECT_EQ(job.pages(), 3);
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(entries(drive.root()), 2u);  // "norvexa" and the PDF: no temporary left
    EXPECT_EQ(nx::test::pdfInfo(out.string(), "Pages"), "3");
    EXPECT_EQ(nx::test::pdfInfo(out.string(), "Title"), "Nyomtat\u00e1si eredm\u00e9ny");
    EXPECT_EQ(nx::test::pdfInfo(out.string(), "Page size"), "842 x 595 pts (A4)");  // landscape
    // The printer is left pointing at the file the caller chose.
    EXPECT_EQ(printer.outputFileName().toStdString(), out.string());
}

TEST(QtPrintJob, AbortLeavesNoHalfDocumentAndKeepsAnEarlierOne) {
    nx::test::TempDrive drive;
    const fs::path out = drive.root() / "out.pdf";
    {
        std::ofstream old(out);
        old << "earlier";
    }
    QPrinter printer(QPrinter::HighResolution);
    pdfPrinter(printer, out);
    {
        QtPrintJob job(printer);
        ASSERT_TRUE(job.begin());
        job.surface().setFontSize(11);
        job.surface().drawText(0, 0, "half");
        job.newPage();
        job.abort();
        EXPECT_FALSE(job.succeeded());
        EXPECT_FALSE(job.active());
    }
    std::ifstream in(out);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "earlier");
    EXPECT_EQ(entries(drive.root()), 2u);

    // A job dropped while running counts as abandoned too.
    fs::remove(out);
    {
        QtPrintJob job(printer);
        ASSERT_TRUE(job.begin());
        job.surface().drawText(0, 0, "x");
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(entries(drive.root()), 1u);
}

TEST(QtPrintJob, BeginFailsWhereTheFileCannotBeWritten) {
    nx::test::TempDrive drive;
    QPrinter printer(QPrinter::HighResolution);
    pdfPrinter(printer, drive.root() / "missing" / "out.pdf");
    QtPrintJob job(printer);
    EXPECT_FALSE(job.begin());
    EXPECT_FALSE(job.active());
    job.end();  // harmless when nothing began
    job.abort();
    EXPECT_FALSE(fs::exists(drive.root() / "missing"));
}

}  // namespace
