// The watch cycle under load: seven host programs (real processes) write 500 jobs
// into the seven job paths, each job in a few chunks with short pauses, each writer
// some holding the file open a while after the last chunk, each writer waiting
// until the service has taken its previous job. The service prints at once to a
// PDF file per cycle. Afterwards every job's whole text is in the printed output
// exactly once, no print shows part of a job, nothing is left in the job paths,
// and the last-job copy is the last job converted. A second run adds three watched
// folders that other DOS programs fill with ESC/P jobs at the same time; each
// folder's jobs print in the order they were written.
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

// One soak run: the writers, the cycles, and what the prints show.
struct Writer {
    QString name;
    int count = 0;
    std::string path;    // a job path, or
    std::string folder;  // a watched folder (ESC/P jobs, one file each)
};

struct SoakResult {
    qint64 elapsedMs = 0;
    int cycles = 0, idle = 0, prints = 0, partial = 0, blank = 0, doubled = 0, missing = 0, cuts = 0;
    qint64 longestCycleMs = 0;
    std::string lastLineJob;  // the id of the last line-format job printed
    std::map<std::string, std::string> jobs;  // id -> bytes, every job sent
};

SoakResult soak(Env& env, const std::vector<Writer>& plan, const QString& pauseMs) {
    SoakResult r;
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    const fs::path root = env.drive.root();
    const fs::path sent = root / "sent";
    const fs::path out = root / "prints";
    fs::create_directory(sent);
    fs::create_directory(out);
    EXPECT_TRUE(env.main().AzonnalNyomtat->isChecked());

    const std::string script = std::string(NORVEXA_SOURCE_DIR) + "/tests/forms/soak_writer.py";
    std::vector<std::unique_ptr<QProcess>> writers;
    int seed = 7;
    for (const Writer& w : plan) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        QStringList args = {QString::fromStdString(script), "--sent", QString::fromStdString(sent.string()),
                            "--writer", w.name, "--count", QString::number(w.count), "--chunks", "3",
                            "--pause-ms", pauseMs, "--hold-ms", "20", "--seed", QString::number(seed++)};
        if (w.folder.empty())
            args << "--path" << QString::fromStdString(w.path);
        else
            args << "--folder" << QString::fromStdString(w.folder);
        p->start(python, args);
        EXPECT_TRUE(p->waitForStarted(5000));
        writers.push_back(std::move(p));
    }

    auto writersRunning = [&] {
        for (auto& p : writers)
            if (p->state() != QProcess::NotRunning) return true;
        return false;
    };
    auto jobsWaiting = [&] {
        for (const Writer& w : plan) {
            if (!w.path.empty() && fs::exists(w.path)) return true;
            if (!w.folder.empty() && !fs::is_empty(w.folder)) return true;
        }
        return false;
    };

    // The watch cycle, run directly instead of by its 3 s timer, with a short pause;
    // one job a cycle, so that each print has its own file.
    env.main().setBurstSlice(std::chrono::milliseconds(0));
    QElapsedTimer clock;
    clock.start();
    std::vector<fs::path> prints;
    int offAfterCycle = 0;
    bool drained = false;
    while (clock.elapsed() < kSoakLimitMs) {
        const fs::path pdf = out / ("print-" + std::to_string(r.cycles) + ".pdf");
        env.g().currentPrinter->setOutputFileName(QString::fromStdString(pdf.string()));
        env.pdf = pdf.string();
        QElapsedTimer t;
        t.start();
        env.cycle();
        r.longestCycleMs = std::max(r.longestCycleMs, t.elapsed());
        ++r.cycles;
        if (!env.main().Timer1->isActive()) ++offAfterCycle;
        env.main().Timer1->stop();  // the loop drives the cycles, not the timer
        if (fs::exists(pdf))
            prints.push_back(pdf);
        else
            ++r.idle;
        if (!env.dialogs.errors.empty() || env.program->terminationRequested()) break;
        QCoreApplication::processEvents();
        if (!writersRunning() && !jobsWaiting()) {
            drained = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    r.elapsedMs = clock.elapsed();
    r.prints = static_cast<int>(prints.size());

    std::string writerOutput;
    for (auto& p : writers) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(2000);
        }
        writerOutput += p->readAll().toStdString();
    }

    EXPECT_TRUE(env.dialogs.errors.empty()) << env.dialogs.errors.front().text.toStdString();
    EXPECT_FALSE(env.program->terminationRequested());
    EXPECT_TRUE(drained) << "not done after " << r.elapsedMs << " ms; writers said:\n" << writerOutput;
    for (std::size_t at = writerOutput.find("CUT "); at != std::string::npos;
         at = writerOutput.find("CUT ", at + 1))
        ++r.cuts;
    EXPECT_EQ(r.cuts, 0) << "jobs deleted while their host was still writing them:\n" << writerOutput;
    EXPECT_EQ(writerOutput.find("STUCK"), std::string::npos) << writerOutput;
    EXPECT_EQ(offAfterCycle, 0) << "cycles that left the watch off";
    EXPECT_FALSE(jobsWaiting());
    EXPECT_FALSE(env.drive.exists(nx::paths::kWorkingCopy));
    EXPECT_FALSE(env.drive.exists(nx::paths::kFolderWorkingCopy));

    // Every job sent, whole.
    for (const auto& e : fs::directory_iterator(sent)) r.jobs[e.path().filename().string()] = readAll(e.path());
    int given = 0;
    for (const Writer& w : plan) given += w.count;
    EXPECT_EQ(r.jobs.size(), static_cast<std::size_t>(given)) << writerOutput;

    // The text of every print, two converters at a time.
    const std::string convert = "cd '" + out.string() +
                                "' && ls | grep '\\.pdf$' | xargs -P 2 -n 8 sh -c "
                                "'for f; do pdftotext -q \"$f\" \"$f.txt\"; done' sh";
    EXPECT_EQ(std::system(convert.c_str()), 0);

    // Each print: which job, and whether all of it. A print taken before the host
    // had written anything is a blank page. A folder's jobs come in the order its
    // writer wrote them.
    std::map<std::string, int> whole;
    std::map<std::string, std::string> lastOfWriter;
    for (const fs::path& pdf : prints) {
        const std::string text = readAll(pdf.string() + ".txt");
        const std::string id = idOf(text);
        if (id.empty() && text.find_first_not_of(" \n\f") == std::string::npos) {
            ++r.blank;
            continue;
        }
        if (!r.jobs.count(id)) {
            ADD_FAILURE() << pdf << " shows no job that was sent:\n" << text;
            continue;
        }
        bool all = true;
        for (const std::string& token : tokensOf(id, r.jobs[id]))
            if (text.find(token) == std::string::npos) all = false;
        if (all)
            ++whole[id];
        else
            ++r.partial;
        const std::string writer = id.substr(0, id.find('-'));
        std::string& last = lastOfWriter[writer];
        EXPECT_LT(last, id) << "out of the order its writer wrote it";
        last = id;
        if (r.jobs[id].rfind("\x1b@", 0) != 0) r.lastLineJob = id;
    }
    for (const auto& [id, bytes] : r.jobs) {
        if (whole[id] == 0) ++r.missing;
        if (whole[id] > 1) ++r.doubled;
    }
    EXPECT_EQ(r.missing, 0) << "jobs never printed whole";
    EXPECT_EQ(r.doubled, 0) << "jobs printed whole more than once";
    EXPECT_EQ(r.partial, 0) << "prints of part of a job";
    EXPECT_EQ(r.blank, 0) << "prints of a job before its host wrote anything";
    return r;
}

void report(const char* what, const SoakResult& r, const QString& pauseMs) {
    std::printf("[ soak     ] %s (chunk pause %s ms) in %.1f s: %d cycles (%d idle), %d prints: "
                "%d partial prints (%d of them blank), %d jobs printed whole twice, %d never whole, "
                "%d cut by a deletion; longest cycle %lld ms\n",
                what, pauseMs.toStdString().c_str(), static_cast<double>(r.elapsedMs) / 1000.0, r.cycles,
                r.idle, r.prints, r.partial + r.blank, r.blank, r.doubled, r.missing, r.cuts,
                static_cast<long long>(r.longestCycleMs));
    std::fflush(stdout);
}

QString chunkPause() {
    // The pause between the chunks of a job is short against the time a print takes
    // (NX_SOAK_PAUSE_MS overrides it).
    return qEnvironmentVariableIsSet("NX_SOAK_PAUSE_MS") ? qEnvironmentVariable("NX_SOAK_PAUSE_MS")
                                                         : QStringLiteral("3");
}

bool canSoak() {
    return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty() &&
           std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

TEST(Soak, FiveHundredJobsFromSevenConcurrentWriters) {
    if (!canSoak()) GTEST_SKIP() << "python3 or pdftotext (poppler-utils) is not installed";
    Env env;
    std::vector<Writer> plan;
    for (int w = 0; w < 7; ++w)
        plan.push_back({QStringLiteral("W%1").arg(w + 1), kJobs / 7 + (w < kJobs % 7 ? 1 : 0),
                        env.drive.host(nx::paths::kJobCandidates[static_cast<std::size_t>(w)]), {}});
    const QString pause = chunkPause();
    const SoakResult r = soak(env, plan, pause);
    // The last-job copy is the last job printed, converted.
    ASSERT_FALSE(r.lastLineJob.empty());
    EXPECT_EQ(env.drive.read(nx::paths::kLastJobCopy), mapped(r.jobs.at(r.lastLineJob)));
    report("500 jobs from 7 writers", r, pause);
}

TEST(Soak, ThreeHundredJobsOverThreeFoldersAndTheSevenPaths) {
    if (!canSoak()) GTEST_SKIP() << "python3 or pdftotext (poppler-utils) is not installed";
    Env env;
    std::string ini;
    std::vector<Writer> plan;
    for (int w = 0; w < 7; ++w)
        plan.push_back({QStringLiteral("W%1").arg(w + 1), 20,
                        env.drive.host(nx::paths::kJobCandidates[static_cast<std::size_t>(w)]), {}});
    const char* pages[] = {"437", "850", "852"};
    for (int f = 0; f < 3; ++f) {
        const std::string dos = "C:\\MAPPA" + std::to_string(f + 1);
        env.drive.mkdir(dos);
        ini += "[mappa" + std::to_string(f + 1) + "]\r\nutvonal=" + dos + "\r\ntipus=" + (f == 1 ? "9" : "24") +
               "\r\nkodlap=" + pages[f] + "\r\nmuvelet=nyomtatas\r\n";
        plan.push_back({QStringLiteral("F%1").arg(f + 1), f == 2 ? 54 : 53, {}, env.drive.host(dos)});
    }
    env.drive.write("c:\\norvexa\\mappak.ini", ini);
    const QString pause = chunkPause();
    const SoakResult r = soak(env, plan, pause);
    EXPECT_EQ(r.jobs.size(), 300u);
    ASSERT_FALSE(r.lastLineJob.empty());
    EXPECT_EQ(env.drive.read(nx::paths::kLastJobCopy), mapped(r.jobs.at(r.lastLineJob)));
    report("300 jobs from 7 writers and 3 folders", r, pause);
}

}  // namespace
