// Other DOS programs print ESC/P into watched folders while the service runs: DOSBox
// (headless) runs a DOS program of ours (tests/hosts/printjob.asm) that writes an
// ESC/P job through DOS file calls in pieces a few seconds apart, and the service,
// with its real main window, watch timer and folders file, prints on a queue of a
// private CUPS scheduler. Every job must reach the scheduler once and whole, and
// its file must be gone from the folder.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/forms/dosbox_support.h"
#include "tests/forms/fault_support.h"
#include "tests/integration/pdf_support.h"
#include "tests/integration/private_cups.h"

namespace {

namespace fs = std::filesystem;
using namespace nx::test;

// "tükörfúrógép", the same bytes in code pages 437 and 852; 852 adds "árvíztűrő".
constexpr const char* kCommon = "t\x81k\x94rf\xa3r\xa2g\x82p";
constexpr const char* kCp852Only = "\xa0rv\xa1zt\xfbr\x8b";

// An ESC/P job as an accounting program prints it: reset, bold heading, a box of
// single lines, token lines that name the job, a form feed between pages.
std::string escpJob(const std::string& id, int pages) {
    std::string out = "\x1b@\x1bt\x01";
    for (int p = 1; p <= pages; ++p) {
        if (p > 1) out += '\x0c';
        out += "\x1b" "EJOB-" + id + "-P" + std::to_string(p) + "\x1b" "F\r\n";
        out += "\xda" + std::string(40, '\xc4') + "\xbf\r\n";
        out += "\xb3 " + std::string(kCp852Only) + " " + kCommon + "\r\n";
        out += "\xc0" + std::string(40, '\xc4') + "\xd9\r\n";
        for (int l = 1; l <= 20; ++l) {
            char line[96];
            std::snprintf(line, sizeof line, "%s/P%d/L%02d/ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\r\n",
                          id.c_str(), p, l);
            out += line;
        }
    }
    out += "END-" + id + "\r\n\x0c";
    return out;
}

// A job of the seven host programs' line format, in code page 852.
std::string lineJob(const std::string& id, int pages) {
    std::string out;
    for (int p = 1; p <= pages; ++p) {
        if (p > 1) out += '\x0c';
        out += "JOB-" + id + "-P" + std::to_string(p) + "\r\n";
        out += "\xb3 " + std::string(kCp852Only) + " " + kCommon + "\r\n";
        for (int l = 1; l <= 20; ++l) {
            char line[96];
            std::snprintf(line, sizeof line, "%s/P%d/L%02d/ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\r\n",
                          id.c_str(), p, l);
            out += line;
        }
    }
    return out + "END-" + id + "\r\n";
}

struct Writer {
    std::string name;     // of the .COM file
    std::string path;     // DOS path it prints to
    std::string id;
    std::string job;      // its bytes
    int pages = 2;
    bool cp852 = true;    // its letters come out in code page 852
    int parts = 1;
    int pauseTicks = 0;
    int holdTicks = 0;
};

class DosFolders : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cups_ = new PrivateCups; }
    static void TearDownTestSuite() {
        delete cups_;
        cups_ = nullptr;
    }

    std::unique_ptr<Env> env;
    fs::path bin;
    QString dosbox;
    std::vector<std::unique_ptr<QProcess>> running;
    QElapsedTimer clock;
    std::size_t before = 0;

    void SetUp() override {
        dosbox = QStandardPaths::findExecutable(QStringLiteral("dosbox"));
        if (dosbox.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("nasm")).isEmpty())
            GTEST_SKIP() << "dosbox or nasm is not installed (scripts/packages.txt has both)";
        if (!havePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        if (!cups_->ready()) GTEST_SKIP() << "no private CUPS scheduler: " << cups_->why();
        if (!QPrinterInfo::availablePrinterNames().contains(QString::fromLatin1(kQueue)))
            GTEST_SKIP() << "Qt's CUPS support does not see the private queue";
        env = std::make_unique<Env>();
        QPrinter& printer = *env->g().currentPrinter;
        printer.setOutputFileName(QString());
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName(QString::fromLatin1(kQueue));
        bin = env->drive.root() / "bin";
        fs::create_directory(bin);
        env->drive.mkdir("C:\\IRODA\\NYOMTAT");
        env->drive.mkdir("C:\\BER");
        env->drive.write("c:\\norvexa\\mappak.ini",
                         "[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\ntipus=24\r\nkodlap=852\r\nmuvelet=nyomtatas\r\n"
                         "[mappa2]\r\nutvonal=C:\\BER\r\ntipus=9\r\nkodlap=437\r\nmuvelet=nyomtatas\r\n");
        before = cups_->documents(0, std::chrono::milliseconds(0)).size();
        clock.start();
    }
    void TearDown() override {
        for (auto& p : running) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
        env.reset();
    }

    // Assembles the writer's program and starts DOSBox on it, drive C the service's.
    void start(const Writer& w) {
        assemblePrintProgram(bin, w.name, w.path, w.job, w.parts, w.pauseTicks, w.holdTicks);
        auto p = startDosbox(dosbox, bin, env->drive.root(), w.name, {w.name});
        ASSERT_TRUE(p->waitForStarted(5000));
        running.push_back(std::move(p));
    }

    std::vector<fs::path> documents() {
        auto docs = cups_->documents(0, std::chrono::milliseconds(0));
        docs.erase(docs.begin(), docs.begin() + static_cast<std::ptrdiff_t>(before));
        return docs;
    }

    // Runs the service until every writer has ended, every job file is gone and
    // `jobs` documents have reached the scheduler, then 8 s more (nearly three watch
    // cycles, in which a second print of any job would arrive). Returns the time
    // from each job file's close to the scheduler's next new document.
    std::vector<qint64> serve(const std::vector<Writer>& writers, std::size_t jobs, qint64 limitMs) {
        std::map<std::string, qint64> closedAt;
        std::vector<qint64> latencies;
        std::size_t seenDocs = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            for (const Writer& w : writers) {
                nx::FileProbe p;
                if (env->g().fs.probe(w.path, p) == nx::kOk && p.writers == nx::Writers::None &&
                    !closedAt.count(w.path))
                    closedAt[w.path] = clock.elapsed();
            }
            const std::size_t docs = documents().size();
            if (docs > seenDocs) {
                seenDocs = docs;
                for (auto& [path, at] : closedAt)
                    if (at >= 0 && !env->drive.exists(path)) {
                        latencies.push_back(clock.elapsed() - at);
                        at = -1;
                    }
            }
        });
        probe.start(20);
        env->main().armWatch();
        auto busy = [&] {
            for (auto& p : running)
                if (p->state() != QProcess::NotRunning) return true;
            for (const Writer& w : writers)
                if (env->drive.exists(w.path)) return true;
            return documents().size() < jobs;
        };
        QElapsedTimer t;
        t.start();
        while (busy() && t.elapsed() < limitMs) QTest::qWait(50);
        EXPECT_FALSE(busy()) << "not done in " << limitMs << " ms\n" << cups_->log();
        QTest::qWait(8000);
        probe.stop();
        return latencies;
    }

    // Each writer's job at the scheduler exactly once and whole; no other document.
    void expectEachOnceAndWhole(const std::vector<Writer>& writers) {
        EXPECT_TRUE(env->dialogs.errors.empty()) << env->dialogs.errors.front().text.toStdString();
        for (auto& p : running) EXPECT_EQ(p->exitCode(), 0) << p->readAll().toStdString();
        std::map<std::string, int> whole;
        int partial = 0;
        for (const fs::path& doc : documents()) {
            const std::string text = run("pdftotext -enc UTF-8 -layout " + quoted(doc.string()) + " -");
            bool matched = false;
            for (const Writer& w : writers) {
                if (text.find("JOB-" + w.id + "-P1") == std::string::npos) continue;
                matched = true;
                bool all = true;
                for (const std::string& token : tokensOf(w.id, w.pages, 20, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
                    if (text.find(token) == std::string::npos) all = false;
                all ? ++whole[w.id] : ++partial;
                EXPECT_NE(text.find("tükörfúrógép"), std::string::npos) << text.substr(0, 600);
                if (w.cp852) {
                    EXPECT_NE(text.find("árvíztűrő"), std::string::npos) << text.substr(0, 600);
                }
            }
            if (!matched) ADD_FAILURE() << doc << " shows no job:\n" << text.substr(0, 400);
        }
        EXPECT_EQ(partial, 0) << "prints of part of a job";
        for (const Writer& w : writers) {
            EXPECT_EQ(whole[w.id], 1) << w.id << " printed whole, once";
            EXPECT_FALSE(env->drive.exists(w.path)) << w.path << " not removed";
        }
    }

    static PrivateCups* cups_;
};

PrivateCups* DosFolders::cups_ = nullptr;

void report(const std::vector<qint64>& latencies) {
    for (qint64 ms : latencies)
        std::printf("[ dos      ] a DOS program's close to its job at CUPS: %lld ms\n", static_cast<long long>(ms));
}

TEST_F(DosFolders, AnEscpJobWrittenInPiecesSecondsApartReachesCupsOnceAndWhole) {
    // Three pieces 3 s apart: the file stands still, open, for a whole watch cycle.
    const Writer w{"SZAMLA", "C:\\IRODA\\NYOMTAT\\SZAMLA.PRN", "E1", escpJob("E1", 2), 2, true, 3, 55, 0};
    start(w);
    report(serve({w}, 1, 60000));
    expectEachOnceAndWhole({w});
}

TEST_F(DosFolders, TwoFoldersAndTheSevenJobPathsBusyAtOnce) {
    const std::vector<Writer> writers = {
        {"SZAMLA", "C:\\IRODA\\NYOMTAT\\SZAMLA.PRN", "E1", escpJob("E1", 2), 2, true, 3, 55, 0},
        // 9 pins, code page 437: held open 6 s after its last write.
        {"BER", "C:\\BER\\BER.PRN", "E2", escpJob("E2", 2), 2, false, 1, 0, 110},
        {"TALVERA", "C:\\TALVERA\\WNYOMTAT.TXT", "L1", lineJob("L1", 2), 2, true, 2, 40, 0},
        {"QUENLIT", "C:\\QUENLIT\\WNYOMTAT.TXT", "L2", lineJob("L2", 2), 2, true, 1, 0, 0},
    };
    for (const Writer& w : writers) start(w);
    report(serve(writers, writers.size(), 90000));
    expectEachOnceAndWhole(writers);
}

}  // namespace
