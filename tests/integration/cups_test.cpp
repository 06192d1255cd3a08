// Printing into a real CUPS scheduler that the test starts on a private socket, with a
// queue that keeps its job files, and reading back the document it received.
#include <QPrinter>
#include <QPrinterInfo>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/qt/print_job.h"
#include "render/page_choice.h"
#include "render/printer_output.h"
#include "tests/integration/pdf_support.h"
#include "tests/support/recording.h"
#include "tests/support/temp_drive.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kQueue = "norvexa-test";
constexpr const char* kCupsd = "/usr/sbin/cupsd";

bool canConnect(const fs::path& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// A scheduler of our own: configuration, spool and socket in a temporary directory.
class PrivateCups {
public:
    PrivateCups() {
        if (!fs::exists(kCupsd)) {
            why_ = std::string(kCupsd) + " is not installed (package cups-daemon)";
            return;
        }
        const fs::path root = drive_.root() / "cups";
        socket_ = root / "cups.sock";
        if (socket_.string().size() >= sizeof(sockaddr_un{}.sun_path)) {
            why_ = "the temporary directory's path is too long for a socket";
            return;
        }
        spool_ = root / "spool";
        log_ = root / "log" / "error_log";
        // The scheduler's configuration is the Windows stage's too (one script).
        std::vector<std::string> args = {"/bin/sh", NORVEXA_PRIVATE_CUPSD, root.string(), kQueue};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            why_ = "cupsd could not be started";
            return;
        }
        // Up to five seconds for the socket to answer.
        for (int i = 0; i < 100 && !canConnect(socket_); ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                why_ = "cupsd stopped at start: " + nx::test::readFile(log_);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!canConnect(socket_)) {
            why_ = "cupsd did not open its socket within five seconds";
            return;
        }
        ::setenv("CUPS_SERVER", socket_.c_str(), 1);
        ready_ = true;
    }
    ~PrivateCups() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (::waitpid(pid_, &status, WNOHANG) == 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
            }
        }
        ::unsetenv("CUPS_SERVER");
    }
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    bool ready() const { return ready_; }
    const std::string& why() const { return why_; }
    nx::test::TempDrive& drive() { return drive_; }

    // The documents the scheduler has spooled (d<job>-<n> files), waiting up to
    // `timeout` for at least `count`.
    std::vector<fs::path> documents(std::size_t count, std::chrono::milliseconds timeout) const {
        const auto until = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            std::vector<fs::path> docs;
            for (const auto& e : fs::directory_iterator(spool_))
                if (e.path().filename().string().rfind("d", 0) == 0) docs.push_back(e.path());
            std::sort(docs.begin(), docs.end());
            if (docs.size() >= count || std::chrono::steady_clock::now() >= until) return docs;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    std::string log() const { return nx::test::readFile(log_); }

private:
    nx::test::TempDrive drive_;
    fs::path socket_, spool_, log_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string why_;
};

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
