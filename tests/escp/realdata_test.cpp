// Real ESC/P print files of DOS programs beside the project (skipped when absent):
// their text comes out whole, in the right letters, on the pages they make.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "escp/job.h"
#include "tests/support/recording.h"
#include "tests/support/temp_drive.h"

namespace nx::escp {
namespace {

struct NoProgress : Progress {
    void setMaximum(std::int64_t) override {}
    void setPosition(std::int64_t) override {}
    void setStep(int) override {}
    void stepIt() override {}
};

class RealEscp : public ::testing::Test {
protected:
    void SetUp() override {
        shared_ = test::sharedDir();
        if (shared_.empty()) GTEST_SKIP() << "../shared/realdata not present";
    }
    // The file's text as the interpreter reads it, from a copy on the drive.
    std::string text(const std::string& name, Options options) {
        std::ifstream in(std::filesystem::path(shared_) / "realdata" / name, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_FALSE(bytes.empty()) << name;
        drive_.write("c:\\job.prn", bytes);
        NoProgress progress;
        return textOf(drive_.fs(), "c:\\job.prn", options, progress);
    }
    static bool has(const std::string& text, const std::string& what) {
        return text.find(what) != std::string::npos;
    }

    std::string shared_;
    test::TempDrive drive_;
};

TEST_F(RealEscp, EachFileReadsAsItsProgramPrintedIt) {
    // A German invoice in 850: two pages, umlauts and sharp s.
    const std::string invoice = text("dotprint_test_Graphics_invoice.CP850.prn", {Pins::TwentyFour, CodePage::Cp850});
    EXPECT_TRUE(has(invoice, "Rechnung")) << invoice;
    EXPECT_TRUE(has(invoice, "Oberfl\xc3\xa4" "chenbehandlung")) << invoice;
    EXPECT_TRUE(has(invoice, "wei\xc3\x9f")) << invoice;
    EXPECT_EQ(std::count(invoice.begin(), invoice.end(), '\f'), 1);

    // The FX test page: double-width title, the national sets (France's "é" at "{").
    const std::string test = text("epsontest.prn", {Pins::Nine, CodePage::Cp437});
    EXPECT_TRUE(has(test, "EPSON EMULATION PRINT TEST PAGE")) << test;
    EXPECT_TRUE(has(test, "France")) << test;

    // A French listing whose accents come from ESC R 1.
    const std::string forth = text("escparser_fx80_tst.tst", {Pins::Nine, CodePage::Cp437});
    EXPECT_TRUE(has(forth, "ANATOMIE DE WORDS")) << forth;
    EXPECT_TRUE(has(forth, "ex\xc3\xa9" "cuter")) << forth;

    // A payroll form in 852 under ESC 3 21 (NAK as a parameter, not a code).
    const std::string payroll = text("fmk_payroll_epson.txt", {Pins::TwentyFour, CodePage::Cp852});
    EXPECT_TRUE(has(payroll, "S P E C I F I K A C I J A")) << payroll;
    EXPECT_FALSE(has(payroll, "\xe2\x94")) << "box characters left as letters";
}

TEST_F(RealEscp, AGraphicsCaptureDrawsItsImagesAndNoStrayLetters) {
    std::ifstream in(std::filesystem::path(shared_) / "realdata" / "dosprint_pmmain_000.prt", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    test::RecordingSurface page;
    page.recordMeasurements = false;
    class Target final : public PageTarget {
    public:
        explicit Target(test::RecordingSurface& s) : s_(s) {}
        Surface& surface() override { return s_; }
        void newPage() override { ++s_.page; }

    private:
        test::RecordingSurface& s_;
    } target(page);
    MemorySource source(bytes);
    const int pages = Interpreter(Options{}, Paper::a4(600, 600)).run(source, target);
    EXPECT_GE(pages, 1);
    EXPECT_GT(page.ofKind(test::RecordingSurface::Kind::Ink).size(), 1000u);
    // Image data full of 0x0C and 0x1B is never taken for form feeds or commands.
    EXPECT_TRUE(page.texts().empty());
}

}  // namespace
}  // namespace nx::escp
