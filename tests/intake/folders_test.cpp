// Watched folders on the memory backend: the folders file (what is watched, what is
// told, how it is written), and the cycle taking the folders' jobs after the seven
// job paths.
#include <gtest/gtest.h>

#include "intake/cycle.h"
#include "intake/folders.h"
#include "platform/memory_backend.h"
#include "tests/support/fault_plan.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

constexpr const char* kIni = "/c/norvexa/mappak.ini";
// A folder named by its host path where the memory backend's paths are the host's
// (POSIX); on Windows, whose host paths have drive letters, one more on drive C.
#if defined(_WIN32)
constexpr const char* kLabels = "C:\\LABELS";
constexpr const char* kLabelsJob = "C:\\LABELS\\a.prn";
#else
constexpr const char* kLabels = "/srv/labels";
constexpr const char* kLabelsJob = "/srv/labels/a.prn";
#endif
constexpr const char* kLabelsHost = "/srv/labels";

using test::FaultPlan;

std::string labelsJobHost() {
#if defined(_WIN32)
    return "/c/labels/a.prn";
#else
    return std::string(kLabelsHost) + "/a.prn";
#endif
}

struct Folders : ::testing::Test {
    MemoryBackend memory;
    FileSystem fs{DriveTable("/c"), memory};
    NoProgress progress;

    void SetUp() override {
        for (const char* dir : {"/c/norvexa", "/c/talvera", "/c/iroda/nyomtat", "/c/ber", "/srv/labels", "/c/labels"})
            memory.makeDirectory(dir);
    }
};

TEST_F(Folders, EachMalformedEntryIsToldOnceWithItsSectionAndTheOthersAreWatched) {
    const std::string text =
        "\xEF\xBB\xBF; kézzel írt\r\n"
        "[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\ntipus=9\r\nkodlap=852\r\nmuvelet=elonezet\r\n"
        "[szin]\r\nutvonal=C:\\BER\r\nszin=piros\r\n"
        "[tipus]\r\nutvonal=C:\\BER\r\ntipus=12\r\n"
        "[kodlap]\r\nutvonal=C:\\BER\r\nkodlap=1250\r\n"
        "[muvelet]\r\nutvonal=C:\\BER\r\nmuvelet=torles\r\n"
        "[nincs]\r\nutvonal=C:\\NINCS\r\n"
        "[ures]\r\ntipus=24\r\n"
        "[sajat]\r\nutvonal=c:\\norvexa\r\n"
        "[gazda]\r\nutvonal=C:\\TALVERA\r\n"
        "[relativ]\r\nutvonal=IRODA\r\n"
        "[ketszer]\r\nutvonal=c:\\iroda\\nyomtat\\\r\n"
        "[mappa2]\r\nutvonal=" + std::string(kLabels) + "\r\n";
    const FolderList list = parseFolders(fs, text);
    ASSERT_EQ(list.folders.size(), 2u);
    EXPECT_EQ(list.folders[0], (WatchedFolder{"C:\\IRODA\\NYOMTAT", 9, 852, true}));
    EXPECT_EQ(list.folders[1], (WatchedFolder{kLabels, 24, 437, false}));
    const std::vector<std::pair<std::string, std::string>> told = {
        {"[szin]", "ismeretlen kulcs: szin"},      {"[tipus]", "tipus=12"},
        {"[kodlap]", "kodlap=1250"},               {"[muvelet]", "muvelet=torles"},
        {"[nincs]", "nem érhető el"},              {"[ures]", "hiányzik az utvonal"},
        {"[sajat]", "saját mappája"},              {"[gazda]", "már figyeli"},
        {"[relativ]", "nem mappa útvonal"},        {"[ketszer]", "már szerepel"},
    };
    ASSERT_EQ(list.problems.size(), told.size());
    for (std::size_t i = 0; i < told.size(); ++i) {
        EXPECT_EQ(list.problems[i].rfind("C:\\NORVEXA\\MAPPAK.INI, " + told[i].first, 0), 0u) << list.problems[i];
        EXPECT_NE(list.problems[i].find(told[i].second), std::string::npos) << list.problems[i];
    }
}

TEST_F(Folders, TheFileIsWrittenWholeOrNotAtAllAndReadBackAsItWasWritten) {
    const std::vector<WatchedFolder> before = {{"C:\\IRODA\\NYOMTAT", 24, 852, false}};
    ASSERT_EQ(saveFolders(fs, before), kOk);
    const std::string old = *memory.get(kIni);
    EXPECT_EQ(loadFolders(fs).folders, before);

    const std::vector<WatchedFolder> after = {{"C:\\BER", 9, 437, true}, {kLabels, 24, 850, false}};
    for (FileOp op : {FileOp::Create, FileOp::Write, FileOp::Close, FileOp::Replace}) {
        SCOPED_TRACE(fileOpName(op));
        FaultPlan plan;
        plan.failAt(op, 1, 29);
        fs.setFaultHook(&plan);
        EXPECT_NE(saveFolders(fs, after), kOk);
        fs.setFaultHook(nullptr);
        EXPECT_EQ(memory.get(kIni), old);
        EXPECT_FALSE(memory.exists("/c/norvexa/.mappak.ini.uj"));
    }
    ASSERT_EQ(saveFolders(fs, after), kOk);
    EXPECT_EQ(loadFolders(fs).folders, after);
    EXPECT_EQ(memory.openHandles(), 0u);
}

TEST_F(Folders, EachFoldersRouteIsReadWrittenBackAndEachMalformedValueTold) {
    const std::string text =
        "[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\nnyomtato=Matrix 1\r\npapir=letter\r\n"
        "eltolas= 2.5 , -1\r\nnyers=igen\r\n"
        "[papir]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\npapir=A3\r\n"
        "[eltolas]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\neltolas=60,0\r\n"
        "[vesszo]\r\nutvonal=" + std::string(kLabels) + "\r\neltolas=2,5\r\n"
        "[nyers]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\nnyers=talan\r\n";
    const FolderList list = parseFolders(fs, text);
    ASSERT_EQ(list.folders.size(), 2u);  // "2,5" is an offset of 2 and 5 mm
    WatchedFolder routed{"C:\\IRODA\\NYOMTAT", 24, 437, false, "Matrix 1", "Letter", 2.5, -1, true};
    EXPECT_EQ(list.folders[0], routed);
    EXPECT_EQ(list.folders[1].offsetX, 2);
    EXPECT_EQ(list.folders[1].offsetY, 5);
    ASSERT_EQ(list.problems.size(), 3u);
    EXPECT_NE(list.problems[0].find("papir=A3"), std::string::npos) << list.problems[0];
    EXPECT_NE(list.problems[1].find("eltolas=60,0"), std::string::npos) << list.problems[1];
    EXPECT_NE(list.problems[2].find("nyers=talan"), std::string::npos) << list.problems[2];
    // Written back and read again as it was; a folder without a route keeps the
    // five lines it always had.
    const std::string written = formatFolders({routed, {"C:\\BER", 9, 852, false}});
    EXPECT_NE(written.find("eltolas=2.5,-1\r\n"), std::string::npos) << written;
    EXPECT_EQ(parseFolders(fs, written, false).folders, (std::vector<WatchedFolder>{routed, {"C:\\BER", 9, 852, false}}));
    EXPECT_EQ(formatFolders({{"C:\\BER", 9, 852, false}}),
              "[mappa1]\r\nutvonal=C:\\BER\r\ntipus=9\r\nkodlap=852\r\nmuvelet=nyomtatas\r\n");
}

// The cycle with two folders beside the seven job paths.
struct FolderCycle : Folders {
    JobCycle cycle{fs};

    void SetUp() override {
        Folders::SetUp();
        ASSERT_EQ(saveFolders(fs, {{"C:\\IRODA\\NYOMTAT", 9, 852, false}, {kLabels, 24, 437, true}}),
                  kOk);
        EXPECT_TRUE(cycle.refreshFolders().empty());
    }
    JobCycle::Decision next() {
        if (!cycle.look()) return {};
        return cycle.take(true, progress);
    }
};

TEST_F(FolderCycle, JobsComeAfterTheSevenPathsInArrivalOrderAsTheirFolderSaysAndThenGo) {
    memory.put("/c/iroda/nyomtat/B.PRN", "\x1b@second");
    memory.put(labelsJobHost(), "label");
    memory.put("/c/iroda/nyomtat/.hidden", "passed over");
    memory.put("/c/iroda/nyomtat/A.PRN", "\x1b@third");
    memory.put("/c/talvera/wnyomtat.txt", "host job");  // last to arrive, first to go

    JobCycle::Decision d = next();
    ASSERT_EQ(d.step, JobCycle::Step::Print);
    EXPECT_FALSE(d.folder);
    cycle.printed();

    d = next();
    ASSERT_EQ(d.step, JobCycle::Step::Print);  // its folder prints at once
    EXPECT_EQ(d.job, "C:\\IRODA\\NYOMTAT\\B.PRN");
    ASSERT_TRUE(d.folder);
    EXPECT_EQ(d.folder->pins, 9);
    EXPECT_EQ(d.folder->codePage, 852);
    EXPECT_EQ(memory.get("/c/norvexa/nyomtat1.prn"), std::string("\x1b@second"));  // as it is
    cycle.printed();
    EXPECT_FALSE(memory.exists("/c/iroda/nyomtat/B.PRN"));
    EXPECT_FALSE(memory.exists("/c/norvexa/nyomtat1.prn"));

    d = next();
    ASSERT_EQ(d.step, JobCycle::Step::Show);  // the preview folder, whatever the main window says
    EXPECT_EQ(d.job, kLabelsJob);
    cycle.previewClosed();
    EXPECT_FALSE(memory.exists(labelsJobHost()));

    d = next();
    EXPECT_EQ(d.job, "C:\\IRODA\\NYOMTAT\\A.PRN");
    cycle.printed();
    EXPECT_EQ(next().step, JobCycle::Step::Nothing);
    EXPECT_TRUE(memory.exists("/c/iroda/nyomtat/.hidden"));
    EXPECT_EQ(memory.openHandles(), 0u);
}

TEST_F(FolderCycle, AJobHeldByItsWriterWaitsAndAFailedOneIsSetAsideUntilItChanges) {
    memory.put("/c/iroda/nyomtat/JOB.PRN", "part one");
    FileBackend::Handle writer{};
    ASSERT_EQ(memory.open("/c/iroda/nyomtat/JOB.PRN", Access::Write, false, writer), kOk);
    EXPECT_EQ(next().step, JobCycle::Step::Nothing);  // still being written
    ASSERT_EQ(memory.close(writer), kOk);

    // The copy cannot read it: told once, kept, not tried again while it stays so.
    FaultPlan plan([](const std::string& p) { return p.find("JOB.PRN") != std::string::npos; });
    plan.failAt(FileOp::Read, 1, 30);
    fs.setFaultHook(&plan);
    JobCycle::Decision d = next();
    fs.setFaultHook(nullptr);
    ASSERT_EQ(d.step, JobCycle::Step::Failed);
    EXPECT_EQ(d.code, 30);
    EXPECT_EQ(d.job, "C:\\IRODA\\NYOMTAT\\JOB.PRN");
    EXPECT_EQ(next().step, JobCycle::Step::Nothing);
    EXPECT_TRUE(memory.exists("/c/iroda/nyomtat/JOB.PRN"));

    // Written again: tried again; its print fails: kept and set aside again.
    memory.put("/c/iroda/nyomtat/JOB.PRN", "part one, part two");
    ASSERT_EQ(next().step, JobCycle::Step::Print);
    cycle.printFailed();
    EXPECT_EQ(next().step, JobCycle::Step::Nothing);
    EXPECT_EQ(memory.get("/c/iroda/nyomtat/JOB.PRN"), std::string("part one, part two"));

    // A folder added by hand is taken up; a changed folders file may have mended
    // the route, so the job set aside is tried again, once; a new job beside it is
    // not held up.
    memory.makeDirectory("/c/uj");
    memory.put(kIni, *memory.get(kIni) + "\r\n[mappa3]\r\nutvonal=C:\\UJ\r\n");
    EXPECT_TRUE(cycle.refreshFolders().empty());
    EXPECT_TRUE(cycle.refreshFolders().empty());
    memory.put("/c/uj/X", "new");
    d = next();
    EXPECT_EQ(d.job, "C:\\IRODA\\NYOMTAT\\JOB.PRN");
    cycle.printFailed();
    d = next();
    EXPECT_EQ(d.job, "C:\\UJ\\X");
    cycle.printed();
    EXPECT_FALSE(memory.exists("/c/uj/X"));
}

// The same on the real file system of this platform (on Windows the writer's share
// mode tells whether it is done), with a service stopped and started again between.
TEST(FolderOnDisk, AJobHeldByItsWriterWaitsAndOneLeftAtAStopIsPrintedOnceAtTheNextStart) {
    test::TempDrive drive;
    drive.mkdir("C:\\IRODA\\NYOMTAT");
    FileSystem& fs = drive.fs();
    ASSERT_EQ(saveFolders(fs, {{"C:\\IRODA\\NYOMTAT", 24, 852, false}}), kOk);
    drive.write("C:\\IRODA\\NYOMTAT\\JOB.PRN", "\x1b@first part");
    FileBackend& system = fs.backend();
    FileBackend::Handle writer = -1;
    ASSERT_EQ(system.open(drive.host("C:\\IRODA\\NYOMTAT\\JOB.PRN"), Access::Write, false, writer), kOk);
    NoProgress progress;
    {
        JobCycle running{fs};
        running.refreshFolders();
        EXPECT_FALSE(running.look());  // its writer holds it
        EXPECT_FALSE(running.look());  // however long
        ASSERT_EQ(system.write(writer, 12, ", second part", 13), kOk);
        ASSERT_EQ(system.close(writer), kOk);
        ASSERT_TRUE(running.look());
        EXPECT_EQ(running.take(true, progress).step, JobCycle::Step::Print);
        // The service stops here, before the print.
    }
    EXPECT_TRUE(drive.exists("C:\\IRODA\\NYOMTAT\\JOB.PRN"));
    JobCycle restarted{fs};
    restarted.refreshFolders();
    ASSERT_TRUE(restarted.look());
    const JobCycle::Decision d = restarted.take(true, progress);
    ASSERT_EQ(d.step, JobCycle::Step::Print);
    EXPECT_EQ(drive.read(std::string(paths::kFolderWorkingCopy)), "\x1b@first part, second part");
    restarted.printed();
    EXPECT_FALSE(drive.exists("C:\\IRODA\\NYOMTAT\\JOB.PRN"));
    EXPECT_FALSE(restarted.look());
}

}  // namespace
}  // namespace nx
