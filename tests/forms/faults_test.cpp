// Every file operation of the watch cycle and of the preview window made to fail,
// one at a time: printing at once, handing a job to the preview and closing it,
// paging with the last-page count, and printing from the preview. After each run:
// the message is the one for the code, no handler ran past its bound, the watch is
// armed or off as it must be, and the job file is gone only when its job was
// printed or its preview closed.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <utility>

#include "tests/forms/fault_support.h"
#include "tests/integration/pdf_support.h"

namespace {

using namespace nx::test;
using nx::FileOp;

// Two short pages: a job is quick to print, and each byte read is one call.
constexpr std::string_view kTwoPages = "A1 B\r\n\x0c" "C2\r\n";
constexpr std::string_view kThreePages = "P1\r\n\x0cP2\r\n\x0cP3\r\n";

bool onJob(const FileCall& c) { return pathHas(c.path, "talvera"); }
bool onWork(const FileCall& c) { return pathHas(c.path, "nyomtat1.txt"); }
// The watched folders' file: one that cannot be looked at is no folders, and the
// seven job paths go on as without it.
bool onFolders(const FileCall& c) { return pathHas(c.path, "mappak.ini"); }
bool onLast(const FileCall& c) { return pathHas(c.path, "legutobb.txt"); }
// The job history: its own files, and its second reading of the job for the copy
// it keeps (between the job's second open and its second close).
bool onHistory(const FileCall& c, const FaultPlan& counted) {
    if (pathHas(c.path, "elozmeny")) return true;
    if (!onJob(c)) return false;
    int opens = 0, closes = 0, from = -1, to = -1;
    for (const FileCall& k : counted.trace()) {
        if (!onJob(k)) continue;
        if (k.op == FileOp::Open && ++opens == 2) from = k.seq;
        if (k.op == FileOp::Close && ++closes == 2) to = k.seq;
    }
    return from >= 0 && c.seq >= from && c.seq <= to;
}
// A failure in the history: the job goes on as without one, the history is told at
// most once, and what it held stays readable.
void verifyHistoryFault(Expect e, const Outcome& o) {
    if (o.errors.size() == 1 && o.errors[0].contains(QStringLiteral("elozmeny.txt"))) e.errors = o.errors;
    verify(e, o);
    EXPECT_TRUE(o.facts.at("history") == "0" || o.facts.at("history") == "1") << o.facts.at("history");
}
// How many jobs the history lists afterwards, or why it cannot be read.
std::string historyFact(Env& env) {
    nx::JobHistory history(env.g().fs);
    const auto entries = history.entries();
    const std::string problem = history.problem();
    return problem.empty() ? std::to_string(entries.size()) : problem;
}

// What the user sees for the failure of `c`.
QString textFor(const FileCall& c) { return ioText(faultCode(c.op)); }

Expect printedAndConsumed() {
    Expect e;
    e.armed = true;
    e.jobKept = false;
    e.printed = true;
    return e;
}
// A checked failure: reported, the watch stays off, the job stays for later.
Expect stopped(const FileCall& c, bool printed) {
    Expect e;
    e.errors = {textFor(c)};
    e.armed = false;
    e.jobKept = true;
    e.printed = printed;
    return e;
}
// The job cannot be copied or read: reported, the program ends, nothing consumed.
Expect ended(const FileCall& c) {
    Expect e = stopped(c, false);
    e.terminated = true;
    return e;
}

// The copy phase of a watch cycle (choosing the job, copying it, closing the three
// files), the same whether the job is then printed or shown. `used` is where the
// copy's output is first used (the print's or the preview's open of the working
// copy). Returns false for calls after it.
bool expectCopyPhase(const FileCall& c, const FaultPlan& counted, int used, Expect& e) {
    // The job's first probe is the check for writers; later ones come after the copy.
    const bool check =
        onJob(c) && c.op == FileOp::Probe && c.seq == counted.firstSeq(FileOp::Probe, "talvera");
    if (onJob(c) && c.op == FileOp::Probe && !check) return false;
    if (c.seq >= used && !(onJob(c) && c.op == FileOp::Open && c.index == 1) && !check) return false;
    if (onJob(c) && (c.op == FileOp::Open || check)) {
        // The only job cannot be opened or looked at: passed over, tried again next time.
        e = Expect{};
        e.armed = true;
        e.jobKept = true;
        e.printed = false;
    } else if (onJob(c) && c.op == FileOp::Read) {
        e = ended(c);
    } else if ((onWork(c) || onLast(c)) && c.op == FileOp::Create) {
        e = ended(c);
    } else {
        e = stopped(c, false);  // size, end test, write, close
    }
    return true;
}

// The printer output of the working copy, for a failure at `c` in it.
Expect expectPrint(const FileCall& c, Expect whole) {
    switch (c.op) {
        case FileOp::Open: return whole;  // tried again a moment later
        case FileOp::Close: return stopped(c, true);  // the job had ended on paper
        // An unreadable byte: the job is abandoned, reported, and the program ends;
        // nothing half-printed and nothing deleted.
        case FileOp::Read: return ended(c);
        default: return stopped(c, false);
    }
}

TEST(Faults, WatchCyclePrintingAtOnce) {
    Sweep s;
    s.name = "watch cycle, printing at once";
    s.run = [](FaultPlan& plan) {
        Env env;
        env.drive.write(kHostJob, kTwoPages);
        env.main().armWatch();
        Outcome o = runSteps(env, plan, {{"cycle", [](Env& e) { e.cycle(); }}});
        o.facts["work"] = env.drive.exists(nx::paths::kWorkingCopy) ? "kept" : "gone";
        o.facts["history"] = historyFact(env);
        return o;
    };
    s.clean = [](const Outcome& o) {
        verify(printedAndConsumed(), o);
        EXPECT_EQ(o.facts.at("work"), "gone");
        EXPECT_EQ(o.facts.at("history"), "1");
    };
    s.check = [](const FileCall& c, const FaultPlan& counted, const Outcome& o) {
        const int printOpen = counted.firstSeq(FileOp::Open, "nyomtat1.txt");
        Expect e;
        if (onHistory(c, counted)) {
            verifyHistoryFault(printedAndConsumed(), o);
            return;
        }
        if (onFolders(c)) {
            e = printedAndConsumed();
        } else if (expectCopyPhase(c, counted, printOpen, e)) {
        } else if (onWork(c) && c.op == FileOp::Delete) {
            e = stopped(c, true);
            e.jobKept = false;  // the job was printed and deleted before it
        } else if (onWork(c)) {
            e = expectPrint(c, printedAndConsumed());
        } else if (onJob(c) && (c.op == FileOp::Open || c.op == FileOp::Close ||
                                c.op == FileOp::Probe)) {
            // The looks at the job after the copy and before deleting the printed job
            // are unchecked: where they cannot tell, it goes.
            e = printedAndConsumed();
        } else if (onJob(c)) {
            e = stopped(c, true);  // size or delete after printing: printed again later
        } else {
            ADD_FAILURE() << "a call nobody expected";
        }
        verify(e, o);
        // The working copy goes with the job, or stays for its next print.
        if (!o.jobKept && o.armed) {
            EXPECT_EQ(o.facts.at("work"), "gone");
        }
    };
    EXPECT_GT(runSweep(s), 20);
}

TEST(Faults, WatchCycleIntoThePreviewAndClosingIt) {
    Sweep s;
    s.name = "watch cycle into the preview, closing it";
    s.run = [](FaultPlan& plan) {
        Env env;
        env.drive.write(kHostJob, kTwoPages);
        env.main().AzonnalNyomtat->setChecked(false);
        env.main().armWatch();
        bool shown = false;
        Outcome o = runSteps(env, plan,
                             {{"cycle",
                               [&](Env& e) {
                                   e.cycle();
                                   shown = e.preview().isVisible();
                                   // The watch stays off while a job's preview is open.
                                   if (shown) {
                                       EXPECT_FALSE(e.main().Timer1->isActive());
                                   }
                               }},
                              {"close", [](Env& e) {
                                   if (e.preview().isVisible()) e.preview().close();
                               }}});
        o.facts["shown"] = shown ? "yes" : "no";
        o.facts["lastjob"] = env.drive.read(nx::paths::kLastJobCopy);
        o.facts["history"] = historyFact(env);
        return o;
    };
    s.clean = [](const Outcome& o) {
        Expect e;
        e.armed = true;
        e.jobKept = false;
        e.printed = false;
        verify(e, o);
        EXPECT_EQ(o.facts.at("shown"), "yes");
        EXPECT_EQ(o.facts.at("lastjob"), "A1\x0b" "B\r\n\x0c" "C2\r\n");
        EXPECT_EQ(o.facts.at("history"), "1");
    };
    s.check = [](const FileCall& c, const FaultPlan& counted, const Outcome& o) {
        const int renderOpen = counted.firstSeq(FileOp::Open, "nyomtat1.txt", "cycle");
        Expect e;
        e.printed = false;
        // The history's count of the shown job's pages reads the working copy once
        // more, after the page is drawn; it goes on without.
        int count = 0, countFrom = -1;
        for (const FileCall& k : counted.trace())
            if (onWork(k) && k.phase == "cycle" && k.op == FileOp::Open && ++count == 2) countFrom = k.seq;
        if (onHistory(c, counted) || (onWork(c) && c.phase == "cycle" && countFrom >= 0 && c.seq >= countFrom)) {
            EXPECT_EQ(o.facts.at("shown"), "yes");
            e.armed = true;
            e.jobKept = false;
            verifyHistoryFault(e, o);
            return;
        }
        if (onFolders(c)) {
            EXPECT_EQ(o.facts.at("shown"), "yes");
            e.armed = true;
            e.jobKept = false;
        } else if (expectCopyPhase(c, counted, renderOpen, e)) {
            EXPECT_EQ(o.facts.at("shown"), "no");
        } else if (c.phase == "cycle" && onWork(c)) {
            EXPECT_EQ(o.facts.at("shown"), "yes");
            if (c.op == FileOp::Read) {
                // An unreadable byte while drawing: the program ends with the preview
                // never closed, so the job stays.
                e.terminated = true;
                e.armed = false;
                e.jobKept = true;
            } else {
                // Open: tried again. Others: reported; the page stays as drawn, and
                // closing the preview then consumes the job as usual.
                if (c.op != FileOp::Open) e.errors = {textFor(c)};
                e.armed = true;
                e.jobKept = false;
            }
        } else if (onJob(c) && c.op == FileOp::Probe) {
            // A look at the job that cannot tell (after the copy, or before deleting
            // it on closing) keeps nothing back: shown, and consumed by closing.
            EXPECT_EQ(o.facts.at("shown"), "yes");
            e.armed = true;
            e.jobKept = false;
        } else if (c.phase == "close" && onJob(c)) {
            // Closing releases the job by the rule used after printing, unchecked:
            // nothing is reported and the watch goes on. Where the job cannot be
            // opened to compare its size, or our read handle's close fails, it goes
            // as a printed job does; a failed size or deletion keeps it, and it is
            // shown again later.
            e.armed = true;
            e.jobKept = c.op != FileOp::Open && c.op != FileOp::Close;
        } else {
            ADD_FAILURE() << "a call nobody expected";
        }
        verify(e, o);
    };
    EXPECT_GT(runSweep(s), 20);
}

TEST(Faults, PagingAndTheLastPageCount) {
    Sweep s;
    s.name = "paging and the last-page count";
    const std::vector<int> cleanPages = {2, 1, 2, 1};
    s.run = [](FaultPlan& plan) {
        Env env;
        env.drive.write(kHostJob, kThreePages);
        env.main().AzonnalNyomtat->setChecked(false);
        env.cycle();  // into the preview, without failures
        EXPECT_TRUE(env.preview().isVisible());
        auto click = [](QPushButton* TNyomt::*button) {
            return [button](Env& e) { (e.preview().*button)->click(); };
        };
        return runSteps(env, plan,
                        {{"next", click(&TNyomt::KovetkezoOldal)},
                         {"previous", click(&TNyomt::ElozoOldal)},
                         {"last", click(&TNyomt::UtolsoOldal)},
                         {"first", click(&TNyomt::ElsoOldal)}});
    };
    s.clean = [cleanPages](const Outcome& o) {
        Expect e;
        e.armed = false;
        e.jobKept = true;
        verify(e, o);
        EXPECT_EQ(o.pages, cleanPages);
    };
    s.check = [cleanPages](const FileCall& c, const FaultPlan& counted, const Outcome& o) {
        Expect e;
        e.armed = false;  // the preview of a watch cycle keeps the watch off
        e.jobKept = true;
        std::vector<int> pages = cleanPages;
        // In the last step the count comes first, then the render of the page found.
        int countEnd = -1;
        for (const FileCall& k : counted.trace())
            if (k.phase == "last" && k.op == FileOp::Open && k.seq > counted.firstSeq(FileOp::Open, "", "last")) {
                countEnd = k.seq;
                break;
            }
        const bool inCount = c.phase == "last" && c.seq < countEnd;
        const FileCall* prev = counted.previous(c);
        if (!onWork(c)) {
            ADD_FAILURE() << "a call nobody expected";
        } else if (c.op == FileOp::Open) {
            // tried again a moment later
        } else if (inCount) {
            // The count is abandoned: the page stays and nothing is drawn.
            e.errors = {textFor(c)};
            pages[2] = 1;
        } else if (c.op == FileOp::Read && prev && prev->op != FileOp::Position) {
            // A byte of a line cannot be read: the program ends after this step.
            e.terminated = true;
            std::size_t done = 0;
            for (const char* step : {"next", "previous", "last", "first"}) {
                ++done;
                if (c.phase == step) break;
            }
            pages.resize(done);
        } else {
            // Finding the page, the size, an end test, a position, the seek at a form
            // feed, the close: reported; the label has moved on, the page shows what
            // was drawn before the failure.
            e.errors = {textFor(c)};
        }
        verify(e, o);
        EXPECT_EQ(o.pages, pages);
    };
    EXPECT_GT(runSweep(s), 40);
}

TEST(Faults, PrintingFromThePreview) {
    Sweep s;
    s.name = "printing from the preview";
    s.run = [](FaultPlan& plan) {
        Env env;
        env.drive.write(kHostJob, kTwoPages);
        env.main().AzonnalNyomtat->setChecked(false);
        env.cycle();
        env.setPdf("preview.pdf");
        Outcome o = runSteps(env, plan,
                             {{"print", [](Env& e) { e.preview().Kinyomtat->click(); }}});
        o.facts["visible"] = env.preview().isVisible() ? "yes" : "no";
        o.facts["work"] = env.drive.read(nx::paths::kWorkingCopy);
        return o;
    };
    s.clean = [](const Outcome& o) {
        Expect e;
        e.armed = false;
        e.jobKept = true;
        e.printed = true;
        verify(e, o);
        EXPECT_EQ(o.pages, std::vector<int>{1});
    };
    s.check = [](const FileCall& c, const FaultPlan&, const Outcome& o) {
        Expect whole;
        whole.armed = false;
        whole.jobKept = true;
        whole.printed = true;
        Expect e = onWork(c) ? expectPrint(c, whole) : Expect{};
        if (!onWork(c)) ADD_FAILURE() << "a call nobody expected";
        e.armed = false;    // the preview is still open: the watch stays off
        e.jobKept = true;   // and its job is not consumed by printing
        verify(e, o);
        if (!o.terminated) {
            EXPECT_EQ(o.facts.at("visible"), "yes");
        }
        // Printing never changes the file the preview shows.
        EXPECT_EQ(o.facts.at("work"), "A1\x0b" "B\r\n\x0c" "C2\r\n");
    };
    EXPECT_GT(runSweep(s), 10);
}

// Opens that are tried again give up within their bound when the failure stays:
// the error is reported and the job is kept.
struct PersistentOpenFailure : ::testing::Test {
    FaultPlan plan{[](const std::string& path) { return pathHas(path, "nyomtat1.txt"); }};
    Env env;
    void SetUp() override {
        plan.failAt(FileOp::Open, 1, nx::kAccessDenied, 1000000);
        env.drive.write(kHostJob, kTwoPages);
        env.main().armWatch();
    }
    static void expectBounded(const Outcome& o) {
        ASSERT_FALSE(o.stepMs.empty());
        EXPECT_GE(o.stepMs.back(), 1000);  // it was tried again for a while
        EXPECT_LT(o.stepMs.back(), kHandlerBoundMs);
    }
};

TEST_F(PersistentOpenFailure, OfThePrinterOutput) {
    const Outcome o = runSteps(env, plan, {{"cycle", [](Env& e) { e.cycle(); }}});
    expectBounded(o);
    verify(stopped(*plan.failedCall(), false), o);
    EXPECT_GT(plan.injected(), 10);
}

TEST_F(PersistentOpenFailure, OfThePreviewAndItsLastPageCount) {
    env.main().AzonnalNyomtat->setChecked(false);
    Outcome o = runSteps(env, plan, {{"cycle", [](Env& e) { e.cycle(); }}});
    expectBounded(o);
    EXPECT_TRUE(env.preview().isVisible());
    EXPECT_EQ(o.errors, std::vector<QString>{ioText(nx::kAccessDenied)});
    EXPECT_FALSE(o.armed);
    EXPECT_TRUE(o.jobKept);

    FaultPlan again{[](const std::string& path) { return pathHas(path, "nyomtat1.txt"); }};
    again.failAt(FileOp::Open, 1, nx::kSharingViolation, 1000000);
    o = runSteps(env, again, {{"last", [](Env& e) { e.preview().UtolsoOldal->click(); }}});
    expectBounded(o);
    EXPECT_EQ(o.errors, std::vector<QString>{ioText(nx::kSharingViolation)});
    EXPECT_EQ(o.pages, std::vector<int>{1});
    EXPECT_TRUE(o.jobKept);
}

// A host that has the job file open for writing may still be writing it: the job
// is taken only once its host has closed it, so it is printed once and whole.
struct HostStillWriting : ::testing::Test {
    Env env;
    int fd = -1;

    void SetUp() override {
        env.main().armWatch();
        fd = openWriter();
        write("FIRST\r\n");
    }
    void TearDown() override {
        env.g().fs.setFaultHook(nullptr);
        if (fd >= 0) ::close(fd);
    }
    int openWriter() {
        const std::string host = env.drive.host(kHostJob);
        const int f = ::open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        EXPECT_GE(f, 0);
        return f;
    }
    void write(std::string_view bytes) {
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void finish(std::string_view rest) {
        write(rest);
        ::close(fd);
        fd = -1;
    }
};

TEST_F(HostStillWriting, AJobIsTakenOnlyOnceItsHostHasClosedIt) {
    env.drive.write("c:\\quenlit\\wnyomtat.txt", "THIRD PATH\r\n");
    env.cycle();  // the first path is passed over, the cycle goes on to the third
    EXPECT_TRUE(env.printed());
    EXPECT_NE(nx::test::run("pdftotext -layout " + nx::test::quoted(env.pdf) + " -").find("THIRD PATH"), std::string::npos);
    EXPECT_EQ(env.drive.read(kHostJob), "FIRST\r\n");

    env.setPdf("held.pdf");
    env.cycle();
    env.cycle();
    EXPECT_FALSE(env.printed());
    EXPECT_EQ(env.main().Label1->text(), QStringLiteral("Figyelés..."));
    EXPECT_TRUE(env.main().Timer1->isActive());

    // The host writes the rest and closes the file: one print, whole.
    finish("\x0c" "SECOND\r\nEND\r\n");
    env.cycle();
    EXPECT_EQ(pdfInfo(env.pdf, "Pages"), "2");
    EXPECT_FALSE(env.drive.exists(kHostJob));
    EXPECT_EQ(env.drive.read(nx::paths::kLastJobCopy), "FIRST\r\n\x0c" "SECOND\r\nEND\r\n");
    EXPECT_TRUE(env.dialogs.errors.empty());
}

TEST_F(HostStillWriting, AHostThatComesBackDuringTheCopyOrThePrintGetsNoSecondPrint) {
    ::close(fd);
    fd = -1;
    // The host opens the job again between the check and the copy: not printed.
    FailOn reopen(FileOp::Open, "talvera", [this] { fd = openWriter(); });
    env.g().fs.setFaultHook(&reopen);
    env.cycle();
    EXPECT_FALSE(env.printed());
    EXPECT_TRUE(env.drive.exists(kHostJob));
    EXPECT_TRUE(env.main().Timer1->isActive());
    finish("MORE\r\n");

    // Taken whole; the host opens it again while it prints, without writing.
    FailOn duringPrint(FileOp::Open, "nyomtat1.txt", [this] { fd = openWriter(); });
    env.g().fs.setFaultHook(&duringPrint);
    env.cycle();
    EXPECT_NE(nx::test::run("pdftotext -layout " + nx::test::quoted(env.pdf) + " -").find("MORE"), std::string::npos);
    EXPECT_TRUE(env.drive.exists(kHostJob));  // its host may not be done with it

    // The host lets go without writing more: consumed without a second print.
    env.setPdf("again.pdf");
    finish("");
    env.cycle();
    EXPECT_FALSE(env.printed());
    EXPECT_FALSE(env.drive.exists(kHostJob));
    EXPECT_FALSE(env.drive.exists(nx::paths::kWorkingCopy));

    // A new job at the same path with the same text is a new job, printed again.
    env.drive.write(kHostJob, "FIRST\r\nMORE\r\n");
    env.cycle();
    EXPECT_TRUE(env.printed());
    EXPECT_FALSE(env.drive.exists(kHostJob));
    EXPECT_TRUE(env.dialogs.errors.empty());
}

TEST_F(HostStillWriting, ThePreviewOpensOnlyOnceItsHostHasClosedTheJob) {
    env.main().AzonnalNyomtat->setChecked(false);
    env.cycle();
    EXPECT_FALSE(env.preview().isVisible());
    EXPECT_TRUE(env.main().Timer1->isActive());

    finish("SECOND\r\n");
    env.cycle();
    ASSERT_TRUE(env.preview().isVisible());
    EXPECT_EQ(env.drive.read(nx::paths::kWorkingCopy), "FIRST\r\nSECOND\r\n");
    env.preview().close();
    EXPECT_FALSE(env.drive.exists(kHostJob));
    EXPECT_TRUE(env.dialogs.errors.empty());
}

}  // namespace
