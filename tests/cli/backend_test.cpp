// The office print server on private CUPS schedulers: queues made by norvexa-queue
// whose backend draws DOS jobs and hands the PDF to their target queue, a job from
// "another machine" over IPP, a target that does not exist yet, and the backend fed
// jobs that are empty, garbage or cut short.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "tests/integration/pdf_support.h"
#include "tests/integration/private_cups.h"

namespace {

namespace fs = std::filesystem;
using namespace nx::test;

// A TCP port nothing listens on now.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

std::string pdfText(const fs::path& pdf) { return run("pdftotext " + quoted(pdf.string()) + " - 2>/dev/null"); }

// An ESC/P job in code page 852: lines SOR-1 to SOR-5 and the Hungarian letters.
const std::string kEscpJob =
    "\x1b@\x1bt\x01SOR-1\r\nSOR-2\r\n\x1b" "E\xa0rv\xa1zt\xfbr\x8b t\x81k\x94rf\xa3r\xa2g\x82p\x1b" "F\r\n"
    "SOR-3\r\nSOR-4\r\nSOR-5\r\n\x0c";

class OfficeServer : public PrivateCupsSuite {
protected:
    // The scheduler runs the built backend and listens on a port as well.
    static void SetUpTestSuite() {
        port_ = freePort();
        cups_ = new PrivateCups(NORVEXA_BACKEND, port_);
    }
    void SetUp() override {
        if (!cups_->ready()) GTEST_SKIP() << "no private CUPS scheduler: " << cups_->why();
        if (!havePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        ::setenv("CUPS_SERVER", cups_->socket().c_str(), 1);
        ASSERT_EQ(std::system("lpadmin -p cel -E -v file:///dev/null"), 0);
        dir_ = cups_->drive().root() / ("jobs-" + std::to_string(++made_));
        fs::create_directories(dir_);
        fs::permissions(dir_, fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
    }
    fs::path job(const std::string& name, const std::string& bytes) {
        writeFile(dir_ / name, bytes);
        return dir_ / name;
    }
    // norvexa-queue's exit status.
    static int queue(const std::string& args) {
        const int status = std::system((quoted(NORVEXA_QUEUE) + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The documents `target` has received, waiting up to `seconds` for `count`.
    static std::vector<fs::path> at(const std::string& target, std::size_t count, int seconds = 20) {
        std::vector<fs::path> docs;
        for (int i = 0; i < seconds * 10; ++i) {
            docs = cups_->documentsByQueue()[target];
            if (docs.size() >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return docs;
    }

    static int port_;
    static int made_;
    fs::path dir_;
};

int OfficeServer::port_ = 0;
int OfficeServer::made_ = 0;

TEST_F(OfficeServer, AQueuesEscpAndLineJobsReachTheTargetDrawnWithTheirTitleAndUser) {
    ASSERT_EQ(queue("add dos --target cel --codepage 852"), 0);
    ASSERT_EQ(queue("add sor --target cel --format line"), 0);
    const std::string listed = run(quoted(NORVEXA_QUEUE) + " list");
    EXPECT_NE(listed.find("dos\tcel\tforma=escp tipus=24 kodlap=852 papir=A4 eltolas=0,0\n"), std::string::npos)
        << listed;
    EXPECT_NE(listed.find("sor\tcel\tforma=sor"), std::string::npos) << listed;
    EXPECT_EQ(listed.rfind("cel\t", 0), std::string::npos);  // not one of ours
    EXPECT_EQ(listed.find("\ncel\t"), std::string::npos);
    // Not shared unless asked.
    EXPECT_NE(run("lpoptions -p dos").find("printer-is-shared=false"), std::string::npos);

    const std::size_t had = cups_->documentsByQueue()["cel"].size();
    ASSERT_EQ(std::system(("lp -d dos -t SZAMLA-42 -U konyvelo " + quoted(job("szamla.prn", kEscpJob).string()) +
                           " >/dev/null").c_str()), 0);
    std::vector<fs::path> docs = at("cel", had + 1);
    ASSERT_EQ(docs.size(), had + 1) << cups_->log();
    // The target's job carries the job's title and user (its control file c<job>
    // beside the document d<job>-001).
    const fs::path controlFile = docs.back().parent_path() / ("c" + docs.back().filename().string().substr(1, 5));
    std::string control;
    for (int i = 0; i < 50 && control.find("konyvelo") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        control = readFile(controlFile);
    }
    EXPECT_NE(control.find("SZAMLA-42"), std::string::npos);
    EXPECT_NE(control.find("konyvelo"), std::string::npos);
    const std::string text = pdfText(docs.back());
    for (int i = 1; i <= 5; ++i) EXPECT_NE(text.find("SOR-" + std::to_string(i)), std::string::npos) << text;
    EXPECT_NE(text.find("árvíztűrő tükörfúrógép"), std::string::npos) << text;
    EXPECT_EQ(run("file -b --mime-type " + quoted(docs.back().string())), "application/pdf\n");

    // The seven programs' format (code page 852), through the character map.
    ASSERT_EQ(std::system(("lp -d sor " + quoted(job("wnyomtat.txt", "SZ\xb5MLA \x9f\xb5LYA\r\n").string()) +
                           " >/dev/null").c_str()), 0);
    docs = at("cel", had + 2);
    ASSERT_EQ(docs.size(), had + 2) << cups_->log();
    EXPECT_NE(pdfText(docs.back()).find("SZÁMLA"), std::string::npos) << pdfText(docs.back());

    // Bad arguments and a missing target change nothing.
    EXPECT_EQ(queue("add rossz --target cel --pins 12"), 2);
    EXPECT_EQ(queue("add rossz --target nincs"), 1);
    EXPECT_EQ(queue("add cel --target dos"), 1);  // a queue of another kind keeps its device
    EXPECT_NE(std::system("lpstat -p rossz >/dev/null 2>&1"), 0);
    EXPECT_EQ(queue("remove cel"), 1);
    EXPECT_EQ(queue("remove sor"), 0);
    EXPECT_EQ(run(quoted(NORVEXA_QUEUE) + " list").find("sor\t"), std::string::npos);
}

TEST_F(OfficeServer, AJobFromAnotherMachineOverIppPrintsAtTheTargetOnce) {
    ASSERT_EQ(queue("add dos --target cel --codepage 852"), 0);
    const std::size_t had = cups_->documentsByQueue()["cel"].size();
    PrivateCups other;  // the other machine's scheduler
    ::setenv("CUPS_SERVER", cups_->socket().c_str(), 1);
    ASSERT_TRUE(other.ready()) << other.why();
    const std::string there = "-h " + quoted(other.socket().string());
    ASSERT_EQ(std::system(("lpadmin " + there + " -p iroda -E -v ipp://127.0.0.1:" + std::to_string(port_) +
                           "/printers/dos").c_str()), 0);
    ASSERT_EQ(std::system(("lp " + there + " -d iroda " + quoted(job("tavoli.prn", kEscpJob).string()) +
                           " >/dev/null").c_str()), 0);
    std::vector<fs::path> docs = at("cel", had + 1, 40);
    ASSERT_EQ(docs.size(), had + 1) << other.log() << cups_->log();
    EXPECT_NE(pdfText(docs.back()).find("SOR-5"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::seconds(3));  // a second print would be there by now
    EXPECT_EQ(cups_->documentsByQueue()["cel"].size(), had + 1);
}

TEST_F(OfficeServer, AJobForATargetThatDoesNotExistYetStaysQueuedAndPrintsOnceItDoes) {
    ASSERT_EQ(std::system("lpadmin -p kesobb -E -v file:///dev/null"), 0);
    ASSERT_EQ(queue("add var --target kesobb"), 0);
    ASSERT_EQ(std::system("lpadmin -x kesobb"), 0);
    ASSERT_EQ(std::system(("lp -d var " + quoted(job("var.prn", "\x1b@VARAKOZIK\r\n\x0c").string()) +
                           " >/dev/null").c_str()), 0);
    // Tried, kept, and the queue says why (the queue's description names the target
    // from the start: what is awaited is the backend's reason).
    std::string state;
    for (int i = 0; i < 200 && state.find("does not exist") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        state = run("lpstat -l -p var");
    }
    EXPECT_NE(state.find("does not exist"), std::string::npos) << state;
    std::this_thread::sleep_for(std::chrono::seconds(5));  // more than one retry
    EXPECT_NE(run("lpstat -o var"), "") << "the job was dropped";

    ASSERT_EQ(std::system("lpadmin -p kesobb -E -v file:///dev/null"), 0);
    std::vector<fs::path> docs = at("kesobb", 1, 30);
    ASSERT_EQ(docs.size(), 1u) << cups_->log();
    EXPECT_NE(pdfText(docs.back()).find("VARAKOZIK"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    EXPECT_EQ(cups_->documentsByQueue()["kesobb"].size(), 1u);
    EXPECT_EQ(run("lpstat -o var"), "");
}

TEST_F(OfficeServer, TheBackendAnswersTheSchedulerForEveryKindOfJob) {
    // Without arguments: its device, for lpinfo.
    EXPECT_EQ(run(quoted(NORVEXA_BACKEND)).rfind("direct norvexa ", 0), 0u);
    auto backend = [&](const std::string& uri, const std::string& file, std::string* err = nullptr) {
        const fs::path log = dir_ / "stderr.txt";
        int status = -1;
        run("DEVICE_URI=" + quoted(uri) + " " + quoted(NORVEXA_BACKEND) + " 7 konyvelo proba 1 '' " + quoted(file) +
                " 2>" + quoted(log.string()),
            &status);
        if (err) *err = readFile(log);
        return status;
    };
    std::mt19937 random(42);
    std::string garbage(20000, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    const std::size_t had = cups_->documentsByQueue()["cel"].size();
    std::string err;
    EXPECT_EQ(backend("norvexa:/cel?kodlap=852", job("ures.prn", "").string(), &err), 0) << err;
    EXPECT_EQ(backend("norvexa:/cel", job("szemet.prn", garbage).string(), &err), 0) << err;
    // Cut in the middle of a bit image and of a command with arguments.
    EXPECT_EQ(backend("norvexa:/cel?tipus=9", job("csonka.prn", "\x1b@CSONKA\r\n\x1b*\x27\x40\x01\xff\xff").string()), 0);
    EXPECT_EQ(backend("norvexa:/cel", job("csonka2.prn", "\x1b@CSONKA2\x1b(").string()), 0);
    EXPECT_EQ(at("cel", had + 3).size(), had + 3);  // the empty one printed nothing
    // A job that cannot be read is cancelled, a device that cannot be read stops the
    // queue, each with its reason.
    EXPECT_EQ(backend("norvexa:/cel", (dir_ / "nincs.prn").string(), &err), 5);
    EXPECT_NE(err.find("ERROR: "), std::string::npos) << err;
    EXPECT_EQ(backend("norvexa:/cel?papir=A0", job("a0.prn", "x").string(), &err), 4);
    EXPECT_NE(err.find("ERROR: bad value in the device: papir=A0"), std::string::npos) << err;
    EXPECT_EQ(backend("norvexa:/nincs", job("hova.prn", "x").string(), &err), 6);
    EXPECT_NE(err.find("nincs does not exist"), std::string::npos) << err;
}

}  // namespace
