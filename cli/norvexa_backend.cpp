// norvexa-backend: the CUPS backend "norvexa". A queue whose device is
// norvexa:/TARGET?KEY=VALUE&... hands it each job's raw bytes; it draws them with
// the service's own code (ESC/P by the keys, or the seven host programs' format with
// forma=sor) into a PDF and submits that to the queue TARGET of the same scheduler,
// with the job's title, user and copies.
//
//   norvexa-backend                                   the device, for lpinfo -v
//   norvexa-backend JOB USER TITLE COPIES OPTIONS [FILE]
//
// It follows the scheduler's conventions: "ERROR:" and "INFO:" lines on standard
// error, and the exit codes that tell it what to do with the job: 0 done; 6 (retry
// later) while TARGET does not exist or refuses the job, so the job stays queued;
// 5 (cancel) for a job that cannot be read at all; 4 (stop the queue) for a device
// it cannot read. The job file is only read; everything written goes into TMPDIR.
#include <QGuiApplication>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "formats/device_uri.h"
#include "formats/open.h"
#include "intake/settings.h"
#include "platform/cp1250_utf8.h"
#include "platform/files.h"
#include "platform/progress.h"
#include "platform/qt/background.h"
#include "render/qt/pdf.h"

namespace {

// The scheduler's exit codes (cups/backend.h).
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kStop = 4;
constexpr int kCancel = 5;
constexpr int kRetry = 6;

int say(const char* level, const std::string& text, int code) {
    std::fprintf(stderr, "%s: %s\n", level, text.c_str());
    return code;
}

// The job's bytes, read from `file` (or standard input) into `copy`.
bool readJob(const char* file, const std::string& copy, std::string& why, std::uintmax_t& bytes) {
    std::ifstream named;
    if (file) {
        named.open(file, std::ios::binary);
        if (!named) {
            why = std::string(file) + ": the job cannot be opened for reading";
            return false;
        }
    }
    std::istream& in = file ? static_cast<std::istream&>(named) : std::cin;
    std::ofstream out(copy, std::ios::binary | std::ios::trunc);
    if (!out) {
        why = copy + ": the job's copy cannot be written";
        return false;
    }
    char block[64 * 1024];
    bytes = 0;
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        out.write(block, in.gcount());
        bytes += static_cast<std::uintmax_t>(in.gcount());
    }
    if (in.bad()) {
        why = "the job could not be read to its end";
        return false;
    }
    out.close();
    if (!out) {
        why = copy + ": the job's copy could not be written whole (disk full?)";
        return false;
    }
    return true;
}

// Runs `program` with `args`; its exit status, or -1 when it could not run. What it
// wrote to standard error comes back in `errors`.
int runTool(const QString& program, const QStringList& args, std::string& errors) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        errors = program.toStdString() + " could not be started";
        return -1;
    }
    p.closeWriteChannel();
    p.waitForFinished(120000);
    errors = QString::fromLocal8Bit(p.readAllStandardError()).trimmed().toStdString();
    if (p.exitStatus() != QProcess::NormalExit) return -1;
    return p.exitCode();
}

int runJob(int argc, char** argv) {
    const char* uri = std::getenv("DEVICE_URI");
    std::string why;
    const std::optional<nx::QueueDevice> device = nx::parseDeviceUri(uri ? uri : argv[0], why);
    if (!device) return say("ERROR", why, kStop);
    const std::string user = argv[2];
    const std::string title = argv[3];
    const int copies = std::max(1, std::atoi(argv[4]));

    QTemporaryDir temp;  // in TMPDIR, which the scheduler gives each job
    if (!temp.isValid()) return say("ERROR", "no temporary directory: " + temp.errorString().toStdString(), kRetry);
    const std::string job = temp.filePath(QStringLiteral("job.prn")).toStdString();
    std::uintmax_t bytes = 0;
    if (!readJob(argc > 6 ? argv[6] : nullptr, job, why, bytes)) return say("ERROR", why, kCancel);
    if (bytes == 0) return say("INFO", "The job is empty: nothing to print", kDone);

    // The target first: while it is missing the job stays queued, undrawn.
    std::string errors;
    if (runTool(QStringLiteral("lpstat"), {QStringLiteral("-p"), QString::fromStdString(device->target)}, errors) != 0)
        return say("ERROR",
                   "The target queue " + device->target + " does not exist" +
                       (errors.empty() ? std::string() : " (" + errors + ")") + "; the job is kept and tried again",
                   kRetry);

    // A background that cannot be read now (not there yet, or not readable by the
    // scheduler's user) keeps the job queued, as a missing target does.
    for (const std::string& file : device->keys.backgrounds)
        if (const std::string problem = nx::qt::backgroundProblem(file); !problem.empty())
            return say("ERROR", "The background cannot be drawn: " + problem + "; the job is kept and tried again",
                       kRetry);

    std::fprintf(stderr, "INFO: Drawing the job (%ju bytes)\n", bytes);
    nx::FileSystem fs{nx::DriveTable(temp.path().toStdString())};
    nx::Settings settings;
    const std::string pdf = temp.filePath(QStringLiteral("job.pdf")).toStdString();
    int pages = 0;
    try {
        const std::unique_ptr<nx::Document> doc = nx::openDocument(
            fs, job, nx::originOf(*device, temp.filePath(QStringLiteral("nyomtat1.txt")).toStdString()),
            {settings, [] { return false; }});
        nx::NoProgress progress;
        // The whole job once under each background.
        pages = doc->pageCount(progress) * static_cast<int>(std::max<std::size_t>(1, doc->sheet().backgrounds.size()));
        nx::qt::savePdf(*doc, QString::fromStdString(pdf), progress);
    } catch (const nx::IoError& e) {
        return say("ERROR", "The job cannot be drawn: " + nx::cp1250ToUtf8(nx::withFullStop(e.what())), kCancel);
    } catch (const std::exception& e) {
        return say("ERROR", std::string("The job cannot be drawn: ") + e.what(), kCancel);
    }

    std::fprintf(stderr, "INFO: Sending %d page(s) to %s\n", pages, device->target.c_str());
    const QStringList args = {QStringLiteral("-d"), QString::fromStdString(device->target),
                              QStringLiteral("-t"), QString::fromStdString(title),
                              QStringLiteral("-U"), QString::fromStdString(user),
                              QStringLiteral("-n"), QString::number(copies),
                              QStringLiteral("--"), QString::fromStdString(pdf)};
    if (const int rc = runTool(QStringLiteral("lp"), args, errors); rc != 0)
        return say("ERROR", "The target queue " + device->target + " did not take the job" +
                                (errors.empty() ? std::string() : ": " + errors) + "; the job is kept and tried again",
                   kRetry);
    std::fprintf(stderr, "PAGE: total %d\n", pages * copies);
    return say("INFO", "Sent to " + device->target, kDone);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        // The device the scheduler lists (lpinfo -v).
        std::printf("direct %s \"Unknown\" \"Norvexa: DOS jobs drawn and printed on another queue\"\n",
                    std::string(nx::kDeviceScheme).c_str());
        return kDone;
    }
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return kFailed;
    }
    // No display: the drawing needs none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    return runJob(argc, argv);
}
