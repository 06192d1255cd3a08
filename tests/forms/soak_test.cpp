// The watch cycle under load: seven host programs (real processes) write 500 jobs
// into the seven job paths, each job in a few chunks with short pauses, each writer
// some holding the file open a while after the last chunk, each writer waiting
// until the service has taken its previous job. The service prints at once to a
// PDF file per cycle. Afterwards every job's whole text is in the printed output
// exactly once, no print shows part of a job, nothing is left in the job paths,
// and the last-job copy is the last job converted.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "intake/charmap.h"
#include "tests/forms/fault_support.h"

namespace {

namespace fs = std::filesystem;
using namespace nx::test;

constexpr int kJobs = 500;
constexpr qint64 kSoakLimitMs = 280000;

std::string readAll(const fs::path& p) {
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return {};
    std::string out;
    char buf[8192];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, f)) out.append(buf, n);
    std::fclose(f);
    return out;
}

// The lines of a job that a print must show: its begin marker, one token per line
// and its end marker (the decoration lines are not plain tokens).
std::vector<std::string> tokensOf(const std::string& id, const std::string& job) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < job.size()) {
        std::size_t end = job.find("\r\n", at);
        if (end == std::string::npos) end = job.size();
        std::string line = job.substr(at, end - at);
        if (!line.empty() && line[0] == '\x0c') line.erase(0, 1);
        if (line.rfind("JOB-" + id, 0) == 0 || line.rfind(id + "/", 0) == 0 ||
            line == "END-" + id)
            out.push_back(line);
        at = end + 2;
    }
    return out;
}

// The job a print belongs to: the id in its begin marker.
std::string idOf(const std::string& text) {
    const auto at = text.find("JOB-");
    if (at == std::string::npos) return {};
    const auto end = text.find("-BEGIN", at);
    return end == std::string::npos ? std::string() : text.substr(at + 4, end - at - 4);
}

std::string mapped(const std::string& bytes) {
    std::string out(bytes);
    for (char& c : out) c = static_cast<char>(nx::mapByte(static_cast<std::uint8_t>(c)));
    return out;
}

TEST(Soak, FiveHundredJobsFromSevenConcurrentWriters) {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) GTEST_SKIP() << "python3 is not installed";
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";

    Env env;
    const fs::path root = env.drive.root();
    const fs::path sent = root / "sent";
    const fs::path out = root / "prints";
    fs::create_directory(sent);
    fs::create_directory(out);
    ASSERT_TRUE(env.main().AzonnalNyomtat->isChecked());

    // Seven writers, one per job path, 500 jobs between them. The pause between the
    // chunks of a job is short against the time a print takes (NX_SOAK_PAUSE_MS
    // overrides it).
    const QString pauseMs = qEnvironmentVariableIsSet("NX_SOAK_PAUSE_MS")
                                ? qEnvironmentVariable("NX_SOAK_PAUSE_MS")
                                : QStringLiteral("3");
    const std::string script = std::string(NORVEXA_SOURCE_DIR) + "/tests/forms/soak_writer.py";
    std::vector<std::unique_ptr<QProcess>> writers;
    int given = 0;
    for (int w = 0; w < 7; ++w) {
        const int count = kJobs / 7 + (w < kJobs % 7 ? 1 : 0);
        given += count;
        const std::string path = env.drive.host(nx::paths::kJobCandidates[static_cast<std::size_t>(w)]);
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(python, {QString::fromStdString(script), "--path", QString::fromStdString(path),
                          "--sent", QString::fromStdString(sent.string()), "--writer",
                          QStringLiteral("W%1").arg(w + 1), "--count", QString::number(count),
                          "--chunks", "3", "--pause-ms", pauseMs, "--hold-ms", "20", "--seed",
                          QString::number(w + 7)});
        ASSERT_TRUE(p->waitForStarted(5000));
        writers.push_back(std::move(p));
    }
    ASSERT_EQ(given, kJobs);

    auto writersRunning = [&] {
        for (auto& p : writers)
            if (p->state() != QProcess::NotRunning) return true;
        return false;
    };
    auto jobsWaiting = [&] {
        for (std::string_view c : nx::paths::kJobCandidates)
            if (env.drive.exists(c)) return true;
        return false;
    };

    // The watch cycle, run directly instead of by its 3 s timer, with a short pause.
    QElapsedTimer clock;
    clock.start();
    std::vector<fs::path> prints;
    int cycles = 0, idle = 0, offAfterCycle = 0;
    qint64 longestCycleMs = 0;
    bool drained = false;
    while (clock.elapsed() < kSoakLimitMs) {
        const fs::path pdf = out / ("print-" + std::to_string(cycles) + ".pdf");
        env.g().currentPrinter->setOutputFileName(QString::fromStdString(pdf.string()));
        env.pdf = pdf.string();
        QElapsedTimer t;
        t.start();
        env.cycle();
        longestCycleMs = std::max(longestCycleMs, t.elapsed());
        ++cycles;
        if (!env.main().Timer1->isActive()) ++offAfterCycle;
        env.main().Timer1->stop();  // the loop drives the cycles, not the timer
        if (fs::exists(pdf))
            prints.push_back(pdf);
        else
            ++idle;
        if (!env.dialogs.errors.empty() || env.program->terminationRequested()) break;
        QCoreApplication::processEvents();
        if (!writersRunning() && !jobsWaiting()) {
            drained = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const qint64 elapsed = clock.elapsed();

    std::string writerOutput;
    for (auto& p : writers) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(2000);
        }
        writerOutput += p->readAll().toStdString();
    }

    ASSERT_TRUE(env.dialogs.errors.empty())
        << env.dialogs.errors.front().text.toStdString();
    ASSERT_FALSE(env.program->terminationRequested());
    ASSERT_TRUE(drained) << "not done after " << elapsed << " ms; writers said:\n" << writerOutput;
    int cuts = 0;
    for (std::size_t at = writerOutput.find("CUT "); at != std::string::npos;
         at = writerOutput.find("CUT ", at + 1))
        ++cuts;
    EXPECT_EQ(cuts, 0) << "jobs deleted while their host was still writing them:\n"
                       << writerOutput;
    EXPECT_EQ(writerOutput.find("STUCK"), std::string::npos) << writerOutput;
    EXPECT_EQ(offAfterCycle, 0) << "cycles that left the watch off";
    EXPECT_FALSE(jobsWaiting());
    EXPECT_FALSE(env.drive.exists(nx::paths::kWorkingCopy));

    // Every job sent, whole.
    std::map<std::string, std::string> jobs;
    for (const auto& e : fs::directory_iterator(sent))
        jobs[e.path().filename().string()] = readAll(e.path());
    ASSERT_EQ(jobs.size(), static_cast<std::size_t>(kJobs)) << writerOutput;

    // The text of every print, two converters at a time.
    const std::string convert = "cd '" + out.string() +
                                "' && ls | grep '\\.pdf$' | xargs -P 2 -n 8 sh -c "
                                "'for f; do pdftotext -q \"$f\" \"$f.txt\"; done' sh";
    ASSERT_EQ(std::system(convert.c_str()), 0);

    // Each print: which job, and whether all of it. A print taken before the host
    // had written anything is a blank page.
    std::map<std::string, int> whole;
    int partial = 0, blank = 0;
    std::string lastId;
    for (const fs::path& pdf : prints) {
        const std::string text = readAll(pdf.string() + ".txt");
        const std::string id = idOf(text);
        if (id.empty() && text.find_first_not_of(" \n\f") == std::string::npos) {
            ++blank;
            continue;
        }
        if (!jobs.count(id)) {
            ADD_FAILURE() << pdf << " shows no job that was sent:\n" << text;
            continue;
        }
        bool all = true;
        for (const std::string& token : tokensOf(id, jobs[id]))
            if (text.find(token) == std::string::npos) all = false;
        if (all)
            ++whole[id];
        else
            ++partial;
        lastId = id;
    }
    int missing = 0, doubled = 0;
    for (const auto& [id, bytes] : jobs) {
        if (whole[id] == 0) ++missing;
        if (whole[id] > 1) ++doubled;
    }
    EXPECT_EQ(missing, 0) << "jobs never printed whole";
    EXPECT_EQ(doubled, 0) << "jobs printed whole more than once";
    EXPECT_EQ(partial, 0) << "prints of part of a job";
    EXPECT_EQ(blank, 0) << "prints of a job before its host wrote anything";

    // The last-job copy is the last job printed, converted.
    ASSERT_FALSE(lastId.empty());
    EXPECT_EQ(env.drive.read(nx::paths::kLastJobCopy), mapped(jobs[lastId]));

    std::printf("[ soak     ] %d jobs from 7 writers (chunk pause %s ms) in %.1f s: %d cycles "
                "(%d idle), %zu prints: %d partial prints (%d of them blank), %d jobs printed "
                "whole twice, %d never whole, %d cut by a deletion; longest cycle %lld ms\n",
                kJobs, pauseMs.toStdString().c_str(), static_cast<double>(elapsed) / 1000.0,
                cycles, idle, prints.size(), partial + blank, blank, doubled, missing, cuts,
                static_cast<long long>(longestCycleMs));
    std::fflush(stdout);
}

}  // namespace
