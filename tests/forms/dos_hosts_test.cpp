// Real DOS host programs print while the service watches: DOSBox (headless) runs
// small DOS programs, assembled with nasm from tests/hosts/printjob.asm, that write
// a code page 852 job with box drawing and Hungarian letters into their job path
// through DOS file calls. DOSBox keeps the host file open while the program holds
// its handle and writes through a 4 KiB buffer, so until the close the file holds
// whole blocks of the job only. The service runs with its real main window and its
// 3000 ms watch timer, printing at once into a PDF file per job. Each job must be
// printed exactly once and whole, and its job file consumed.
//
// NX_DOS_JOBS sets how many jobs the first case prints one after another (3 by
// default); it also prints the time from each host's close to its print.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/forms/dosbox_support.h"
#include "tests/forms/fault_support.h"
#include "tests/integration/pdf_support.h"

namespace {

namespace fs = std::filesystem;
using namespace nx::test;

// A job of `pages` pages as a host writes it: token lines that name the job, a
// boxed table with Hungarian words, a form feed between pages. About 3.2 KB a page.
std::string makeJob(const std::string& id, int pages) {
    std::string out;
    for (int p = 1; p <= pages; ++p) {
        if (p > 1) out += '\x0c';
        out += "JOB-" + id + "-P" + std::to_string(p) + "\r\n";
        out += "\xda" + std::string(40, '\xc4') + "\xbf\r\n";
        // "árvíztűrő tükörfúrógép" in code page 852
        out += "\xb3 \xa0rv\xa1zt\xfbr\x8b t\x81k\x94rf\xa3r\xa2g\x82p                  \xb3\r\n";
        out += "\xc0" + std::string(40, '\xc4') + "\xd9\r\n";
        for (int l = 1; l <= 40; ++l) {
            char line[96];
            std::snprintf(line, sizeof line, "%s/P%d/L%02d/ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefgh\r\n",
                          id.c_str(), p, l);
            out += line;
        }
    }
    out += "END-" + id + "\r\n";
    return out;
}

struct Host {
    std::string name;      // of the .COM file
    std::string jobPath;   // DOS path it prints to
    std::vector<std::string> ids;  // the jobs it prints, in order
    int pages = 3;
    int parts = 1;
    int pauseTicks = 0;
    int holdTicks = 0;
};

class DosHosts : public ::testing::Test {
protected:
    Env env;
    fs::path bin;
    QString dosbox;
    std::vector<std::unique_ptr<QProcess>> running;
    std::vector<fs::path> prints;
    std::map<std::string, qint64> closedAt;  // job path -> when its host closed it
    std::vector<qint64> latencies;
    QElapsedTimer clock;

    void SetUp() override {
        dosbox = QStandardPaths::findExecutable(QStringLiteral("dosbox"));
        if (dosbox.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("nasm")).isEmpty())
            GTEST_SKIP() << "dosbox or nasm is not installed (scripts/packages.txt has both)";
        if (!havePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        bin = env.drive.root() / "bin";
        fs::create_directory(bin);
        fs::create_directory(env.drive.root() / "prints");
        ASSERT_TRUE(env.main().AzonnalNyomtat->isChecked());
        clock.start();
    }
    void TearDown() override {
        for (auto& p : running) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }

    // Assembles the host's program with its jobs, one program per job.
    void assemble(const Host& h) {
        for (std::size_t i = 0; i < h.ids.size(); ++i)
            assemblePrintProgram(bin, h.name + std::to_string(i), h.jobPath, makeJob(h.ids[i], h.pages),
                                 h.parts, h.pauseTicks, h.holdTicks);
    }

    // Starts DOSBox on the host's programs, drive C the service's drive.
    void start(const Host& h) {
        std::vector<std::string> programs;
        for (std::size_t i = 0; i < h.ids.size(); ++i) programs.push_back(h.name + std::to_string(i));
        auto p = startDosbox(dosbox, bin, env.drive.root(), h.name, programs);
        ASSERT_TRUE(p->waitForStarted(5000));
        running.push_back(std::move(p));
    }

    // Runs the service with its watch timer until every host has ended and every job
    // path is empty, or `limitMs` has passed. Each print is kept as its own PDF; the
    // job paths are watched for the moment their host closes them.
    bool serve(const std::vector<Host>& hosts, qint64 limitMs) {
        const fs::path pdf = env.drive.root() / "prints" / "current.pdf";
        env.g().currentPrinter->setOutputFileName(QString::fromStdString(pdf.string()));
        // Connected after the window's own handler, so it runs right after each cycle.
        QObject::connect(env.main().Timer1, &QTimer::timeout, [&] {
            if (!fs::exists(pdf)) return;
            const fs::path kept = pdf.parent_path() / ("print-" + std::to_string(prints.size()) + ".pdf");
            fs::rename(pdf, kept);
            prints.push_back(kept);
            for (const Host& h : hosts) {
                auto it = closedAt.find(h.jobPath);
                if (it != closedAt.end() && !env.drive.exists(h.jobPath)) {
                    latencies.push_back(clock.elapsed() - it->second);
                    closedAt.erase(it);
                }
            }
        });
        // A job's host has closed it from the first look that finds the file there
        // and nobody writing it, until the service takes the job away.
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            for (const Host& h : hosts) {
                nx::FileProbe p;
                if (env.g().fs.probe(h.jobPath, p) != nx::kOk) continue;
                if (p.writers == nx::Writers::None && !closedAt.count(h.jobPath))
                    closedAt[h.jobPath] = clock.elapsed();
            }
        });
        probe.start(10);
        env.main().armWatch();

        QElapsedTimer t;
        t.start();
        auto busy = [&] {
            for (auto& p : running)
                if (p->state() != QProcess::NotRunning) return true;
            for (const Host& h : hosts)
                if (env.drive.exists(h.jobPath)) return true;
            return false;
        };
        while (busy() && t.elapsed() < limitMs) QTest::qWait(50);
        probe.stop();
        return !busy();
    }

    // Every job printed exactly once and whole; no other print.
    void expectEachJobOnceAndWhole(const std::vector<Host>& hosts) {
        EXPECT_TRUE(env.dialogs.errors.empty());
        for (auto& p : running) {
            EXPECT_EQ(p->exitCode(), 0) << p->readAll().toStdString();
        }
        std::map<std::string, int> whole;
        int partial = 0;
        for (const fs::path& pdf : prints) {
            const std::string text = run("pdftotext -layout " + quoted(pdf.string()) + " -");
            bool matched = false;
            for (const Host& h : hosts)
                for (const std::string& id : h.ids) {
                    if (text.find("JOB-" + id + "-P1") == std::string::npos) continue;
                    matched = true;
                    bool all = true;
                    for (const std::string& token : tokensOf(id, h.pages, 40))
                        if (text.find(token) == std::string::npos) all = false;
                    if (all) ++whole[id]; else ++partial;
                    EXPECT_NE(text.find("\xc3\xa1rv\xc3\xadzt\xc5\xb1r\xc5\x91"), std::string::npos);
                }
            if (!matched) ADD_FAILURE() << pdf << " shows no job:\n" << text.substr(0, 400);
        }
        EXPECT_EQ(partial, 0) << "prints of part of a job";
        for (const Host& h : hosts) {
            for (const std::string& id : h.ids) EXPECT_EQ(whole[id], 1) << id << " printed whole";
            EXPECT_FALSE(env.drive.exists(h.jobPath)) << h.jobPath << " not consumed";
        }
        EXPECT_FALSE(env.drive.exists(nx::paths::kWorkingCopy));
    }
};

TEST_F(DosHosts, JobsWrittenAtOnceArePrintedOnceEach) {
    const int n = qEnvironmentVariableIsSet("NX_DOS_JOBS") ? qEnvironmentVariableIntValue("NX_DOS_JOBS") : 3;
    Host h{"ATONCE", "c:\\talvera\\wnyomtat.txt", {}, 3};
    for (int i = 0; i < n; ++i) h.ids.push_back("A" + std::to_string(i));
    assemble(h);
    start(h);
    ASSERT_TRUE(serve({h}, 30000 + 6000LL * n));
    expectEachJobOnceAndWhole({h});

    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty())
        std::printf("[ dos      ] %zu jobs: host's close to its print %lld / %lld / %lld ms (min / median / max)\n",
                    latencies.size(), static_cast<long long>(latencies.front()),
                    static_cast<long long>(latencies[latencies.size() / 2]),
                    static_cast<long long>(latencies.back()));
}

// Three hosts at once: one writes three pages with a pause of 3 s between them
// (several watch intervals), one writes its job at once and keeps the file open 6 s
// before closing it, one writes at once and closes.
TEST_F(DosHosts, SlowHeldAndQuickHostsAtTheSameTime) {
    const std::vector<Host> hosts = {
        {"SLOW", "c:\\talvera\\wnyomtat.txt", {"S"}, 3, 3, 55, 0},
        {"HELD", "c:\\brimost\\wnyomtat.txt", {"H"}, 2, 1, 0, 110},
        {"QUICK", "c:\\quenlit\\wnyomtat.txt", {"Q"}, 2, 1, 0, 0},
    };
    for (const Host& h : hosts) assemble(h);
    for (const Host& h : hosts) start(h);
    ASSERT_TRUE(serve(hosts, 60000));
    expectEachJobOnceAndWhole(hosts);
}

}  // namespace
