// The frame for running a piece of the program once per file operation it makes,
// failing that operation only: a program on a fresh temporary drive, scenario steps
// run as the event loop would run their handlers, and what the user and the host
// programs would see afterwards.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "forms/NyomtUnit.h"
#include "forms/Nyomtato.h"
#include "intake/paths.h"
#include "platform/files.h"
#include "platform/qt/codec.h"
#include "tests/support/fault_plan.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_drive.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace nx::test {

// A host path without its temporary drive root, the same in every run.
inline std::string onDrive(const std::string& hostPath) {
    const auto at = hostPath.find("norvexa-test-");
    if (at == std::string::npos) return hostPath;
    const auto slash = hostPath.find_first_of("/\\", at);
    return slash == std::string::npos ? hostPath : hostPath.substr(slash);
}

inline constexpr const char* kHostJob = "c:\\talvera\\wnyomtat.txt";

// No handler may run longer than this, whatever fails (the longest bounded retry,
// of an open, lasts about two seconds).
inline constexpr qint64 kHandlerBoundMs = 5000;

// The result code each operation is made to fail with: a denied open, create, read,
// close or delete, a full disk for writes, and codes without a text of their own
// ("I/O error 103") for the end test, size, position and seek.
inline int faultCode(FileOp op) {
    switch (op) {
        case FileOp::Write: return kDiskFull;
        case FileOp::Eof:
        case FileOp::Size:
        case FileOp::Position:
        case FileOp::Seek: return kFileNotOpen;
        default: return kAccessDenied;
    }
}

// The error box text for a code, as the user reads it.
inline QString ioText(int code) { return qt::fromCp1250(withFullStop(ioMessage(code))); }

// A running program on its own drive, the seven job directories made, the printer
// pointed at a PDF file, the main window's boxes filled as its activation fills them.
struct Env {
    TempDrive drive;
    ScriptedDialogs dialogs;
    std::unique_ptr<app::Program> program;
    std::string pdf;

    Env() {
        for (std::string_view dir : nx::paths::kHostDirs)
            std::filesystem::create_directory(drive.root() / dir);
        program = std::make_unique<app::Program>(DriveTable(drive.root().string()), dialogs,
                                                 "/usr/bin/norvexa");
        main().BetuKiir();
        setPdf("out.pdf");
        dialogs.messages.clear();
        dialogs.errors.clear();
    }
    ~Env() { program.reset(); }
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

    Globals& g() { return program->globals(); }
    TNyomtat& main() { return program->mainWindow(); }
    TNyomt& preview() { return program->previewWindow(); }

    void setPdf(const std::string& name) {
        pdf = (drive.root() / name).string();
        g().currentPrinter->setOutputFormat(QPrinter::PdfFormat);
        g().currentPrinter->setOutputFileName(QString::fromStdString(pdf));
    }
    // One watch cycle, as the timer runs it.
    void cycle() {
        g().dispatcher.run([this] { main().Figyeles(main().Timer1); });
    }
    bool printed() const { return std::filesystem::exists(pdf); }
};

// What a scenario left behind.
struct Outcome {
    std::vector<QString> errors;    // error boxes, in order
    std::vector<QString> messages;  // plain message boxes, in order
    std::vector<qint64> stepMs;     // time each step's handler took
    std::vector<int> pages;         // the page number after each step
    bool terminated = false;        // termination asked (the remaining steps were not run)
    bool armed = false;             // the watch timer is running
    bool jobKept = false;           // the host's job file is still there
    bool printed = false;           // a complete print job reached the PDF
    std::map<std::string, std::string> facts;  // anything else a scenario observes
};

struct Step {
    std::string name;
    std::function<void(Env&)> run;
};

// Runs `steps` under `plan`, each tagged with its name, until one asks the program
// to terminate (the real program would end there).
inline Outcome runSteps(Env& env, FaultPlan& plan, const std::vector<Step>& steps) {
    Outcome out;
    const std::size_t errors0 = env.dialogs.errors.size();
    const std::size_t messages0 = env.dialogs.messages.size();
    {
        ScopedFaultHook hook(env.g().fs, plan);
        for (const Step& step : steps) {
            plan.setPhase(step.name);
            QElapsedTimer t;
            t.start();
            step.run(env);
            out.stepMs.push_back(t.elapsed());
            out.pages.push_back(env.preview().pageNumber());
            if (env.program->terminationRequested()) {
                out.terminated = true;
                break;
            }
        }
        plan.setPhase({});
    }
    for (std::size_t i = errors0; i < env.dialogs.errors.size(); ++i) {
        EXPECT_EQ(env.dialogs.errors[i].title, QString::fromStdString(env.program->title()));
        out.errors.push_back(env.dialogs.errors[i].text);
    }
    for (std::size_t i = messages0; i < env.dialogs.messages.size(); ++i)
        out.messages.push_back(env.dialogs.messages[i]);
    out.armed = env.main().Timer1->isActive();
    out.jobKept = env.drive.exists(kHostJob);
    out.printed = env.printed();
    return out;
}

// What a scenario must leave behind; unset fields are not looked at.
struct Expect {
    std::vector<QString> errors;
    std::vector<QString> messages;
    bool terminated = false;
    std::optional<bool> armed;
    std::optional<bool> jobKept;
    std::optional<bool> printed;
};

inline void verify(const Expect& e, const Outcome& o) {
    EXPECT_EQ(o.errors, e.errors);
    EXPECT_EQ(o.messages, e.messages);
    EXPECT_EQ(o.terminated, e.terminated);
    if (e.armed) {
        EXPECT_EQ(o.armed, *e.armed) << "watch state";
    }
    if (e.jobKept) {
        EXPECT_EQ(o.jobKept, *e.jobKept) << "job file kept";
    }
    if (e.printed) {
        EXPECT_EQ(o.printed, *e.printed) << "printed";
    }
}

// Runs a scenario once with the counting plan, then once per (operation, call index)
// it made, failing that call only. Returns the number of failures injected.
struct Sweep {
    std::string name;
    FaultPlan::Filter filter;
    std::function<Outcome(FaultPlan&)> run;
    std::function<void(const Outcome&)> clean;  // the run without failures
    // The failed call, the counted calls of the clean run, the outcome.
    std::function<void(const FileCall&, const FaultPlan&, const Outcome&)> check;
    // Calls of these operations are tried at every `sample`-th index only (plus
    // the first and the last); the others at every index.
    std::vector<FileOp> sampled;
    int sample = 1;
};

inline int runSweep(const Sweep& s) {
    FaultPlan counted(s.filter);
    const Outcome clean = s.run(counted);
    {
        SCOPED_TRACE(s.name + ": without failures");
        for (qint64 ms : clean.stepMs) EXPECT_LT(ms, kHandlerBoundMs);
        s.clean(clean);
    }
    if (std::getenv("NX_FAULT_TRACE")) {
        for (const FileCall& c : counted.trace()) std::printf("  %s\n", describe(c).c_str());
    }
    if (::testing::Test::HasFailure()) return 0;

    int injected = 0;
    for (FileOp op : kAllFileOps) {
        const int n = counted.calls(op);
        const bool sampled =
            s.sample > 1 && std::find(s.sampled.begin(), s.sampled.end(), op) != s.sampled.end();
        for (int i = 1; i <= n; ++i) {
            if (sampled && i != 1 && i != n && i % s.sample != 0) continue;
            const FileCall& call = *counted.call(op, i);
            SCOPED_TRACE(s.name + ": " + describe(call) + " fails with " +
                         std::to_string(faultCode(op)));
            FaultPlan plan(s.filter);
            plan.failAt(op, i, faultCode(op));
            const Outcome o = s.run(plan);
            ++injected;
            // The run went the same way up to the failure.
            if (!plan.failedCall()) {
                ADD_FAILURE() << "the failure was never injected";
                continue;
            }
            EXPECT_EQ(onDrive(plan.failedCall()->path), onDrive(call.path));
            EXPECT_EQ(plan.failedCall()->phase, call.phase);
            EXPECT_EQ(plan.injected(), 1);
            for (qint64 ms : o.stepMs) EXPECT_LT(ms, kHandlerBoundMs);
            s.check(call, counted, o);
            if (::testing::Test::HasFatalFailure()) return injected;
        }
    }
    std::printf("[ faults   ] %s: %d injected failures (clean run: %s)\n", s.name.c_str(), injected,
                counted.summary().c_str());
    std::fflush(stdout);
    return injected;
}

}  // namespace nx::test
