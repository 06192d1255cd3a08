// The job history on the memory backend: what it keeps, its limits, and a history
// that stays whole whichever of its file operations fails.
#include <gtest/gtest.h>

#include "intake/history.h"

#include <algorithm>
#include "platform/memory_backend.h"
#include "tests/support/fault_plan.h"

namespace nx {
namespace {

using test::FaultPlan;

constexpr const char* kIndexHost = "/c/norvexa/elozmeny/elozmeny.txt";

struct History : ::testing::Test {
    MemoryBackend memory;
    FileSystem fs{DriveTable("/c"), memory};

    void SetUp() override { memory.makeDirectory("/c/norvexa"); }

    // A job of the first host program, written and kept in `history` as printed.
    bool keep(JobHistory& history, const std::string& bytes, int pages = 1) {
        memory.makeDirectory("/c/talvera");
        memory.put("/c/talvera/wnyomtat.txt", bytes);
        std::uint64_t sum = 14695981039346656037ull;
        for (unsigned char c : bytes) sum = (sum ^ c) * 1099511628211ull;
        HistoryEntry e;
        e.source = sourceName("c:\\talvera\\wnyomtat.txt");
        e.format = "line";
        e.pages = pages;
        e.printer = "HP_LaserJet";
        e.copy = history.keepCopy("c:\\talvera\\wnyomtat.txt", sum, e.bytes);
        return history.add(e);
    }
};

TEST_F(History, EntriesAreReadBackAsWrittenWithTheirCopiesAndFolderKeys) {
    JobHistory history(fs);
    ASSERT_TRUE(keep(history, std::string("SZ\x8a\x0c\x00\xff", 6), 3));
    HistoryEntry folderJob;
    folderJob.source = "C:\\IRODA\\SZAMLA.PRN";
    folderJob.format = "escp";
    folderJob.result = HistoryEntry::Result::Failed;
    folderJob.message = "A nyomtat\xC3\xB3 nem tal\xC3\xA1lhat\xC3\xB3:\tx\\y\nz";
    folderJob.folder = WatchedFolder{"C:\\IRODA", 9, 852, false, "Matrix\t1", "240x305", 2.5, -1, false,
                                     {"C:\\FORM\\EREDETI.PNG", "/srv/forms/m\tasolat.pdf"}};
    ASSERT_TRUE(history.add(folderJob));

    const std::vector<HistoryEntry> all = JobHistory(fs).entries();  // after a restart
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].source, "C:\\TALVERA\\WNYOMTAT.TXT");
    EXPECT_EQ(all[0].pages, 3);
    EXPECT_EQ(all[0].printer, "HP_LaserJet");
    EXPECT_EQ(resultText(all[0]), "printed");
    EXPECT_FALSE(all[0].folder);
    EXPECT_EQ(memory.get("/c/norvexa/elozmeny/" + all[0].copy), std::string("SZ\x8a\x0c\x00\xff", 6));
    EXPECT_EQ(all[1].message, folderJob.message);
    EXPECT_EQ(resultText(all[1]), "failed: " + folderJob.message);
    EXPECT_EQ(all[1].folder, folderJob.folder);
    EXPECT_TRUE(history.copyPath(all[1]).empty());  // it had none
    EXPECT_GT(all[1].id, all[0].id);
    EXPECT_GT(all[1].time, 1700000000);
    EXPECT_EQ(memory.openHandles(), 0u);

    // An index written before backgrounds were kept (one field less) is read as it was.
    const std::string old = memory.get("/c/norvexa/elozmeny/elozmeny.txt").value_or("");
    std::string shorter;
    for (std::size_t at = 0; at < old.size();) {
        const std::size_t nl = old.find('\n', at);
        std::string line = old.substr(at, nl - at);
        for (int fields = static_cast<int>(std::count(line.begin(), line.end(), '\t')); fields > 15; --fields)
            line.erase(line.rfind('\t'));
        shorter += line + "\n";
        at = nl + 1;
    }
    memory.put("/c/norvexa/elozmeny/elozmeny.txt", shorter);
    const std::vector<HistoryEntry> before = JobHistory(fs).entries();
    ASSERT_EQ(before.size(), 2u);
    ASSERT_TRUE(before[1].folder);
    EXPECT_EQ(before[1].folder->paper, "240x305");
    EXPECT_TRUE(before[1].folder->backgrounds.empty());

    // A job rewritten since it was taken keeps no copy that is not the job printed.
    memory.put("/c/talvera/wnyomtat.txt", "NEW");
    std::int64_t bytes = -1;
    EXPECT_TRUE(history.keepCopy("c:\\talvera\\wnyomtat.txt", 12345, bytes).empty());
    EXPECT_EQ(bytes, 0);
    EXPECT_TRUE(history.problem().empty());
}

TEST_F(History, TheNewestJobsAndCopiesWithinTheLimitsAreKeptAndACopyRemovedByHandIsGone) {
    JobHistory history(fs, 200, 2000);
    for (int i = 1; i <= 201; ++i) ASSERT_TRUE(keep(history, "job " + std::to_string(i)));
    std::vector<HistoryEntry> all = history.entries();
    ASSERT_EQ(all.size(), 200u);
    EXPECT_EQ(*memory.get("/c/norvexa/elozmeny/" + all.front().copy), "job 2");
    EXPECT_EQ(*memory.get("/c/norvexa/elozmeny/" + all.back().copy), "job 201");
    std::vector<DirEntry> files;
    ASSERT_EQ(memory.listFiles("/c/norvexa/elozmeny", files), kOk);
    EXPECT_EQ(files.size(), 201u);  // 200 copies and the index

    // Copies over 2000 bytes in all: the oldest go, however few entries remain.
    const std::string big(400, 'x');
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(keep(history, big + char('a' + i)));
    all = history.entries();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(*memory.get("/c/norvexa/elozmeny/" + all.front().copy), big + 'b');
    EXPECT_EQ(*memory.get("/c/norvexa/elozmeny/" + all.back().copy), big + 'e');
    ASSERT_EQ(memory.listFiles("/c/norvexa/elozmeny", files), kOk);
    EXPECT_EQ(files.size(), all.size() + 1);  // no copy without its entry

    memory.remove("/c/norvexa/elozmeny/" + all.back().copy);
    EXPECT_TRUE(history.copyPath(all.back()).empty());
    EXPECT_FALSE(history.copyPath(all[all.size() - 2]).empty());
}

TEST_F(History, AFailureAtAnyFileOperationLeavesThePreviousHistoryWholeAndIsToldOnce) {
    JobHistory history(fs);
    ASSERT_TRUE(keep(history, "first job"));
    ASSERT_TRUE(keep(history, "second job"));
    const std::string index = *memory.get(kIndexHost);
    const std::vector<HistoryEntry> before = history.entries();

    // The operations one more job makes, each made to fail in turn.
    FaultPlan counted;
    fs.setFaultHook(&counted);
    {
        JobHistory probe(fs);
        ASSERT_TRUE(keep(probe, "third job"));
    }
    fs.setFaultHook(nullptr);
    // Back to the two jobs, as before the count.
    memory.put(kIndexHost, index);
    int injected = 0;
    for (FileOp op : test::kAllFileOps) {
        for (int n = 1; n <= counted.calls(op); ++n) {
            SCOPED_TRACE(std::string(fileOpName(op)) + " #" + std::to_string(n));
            JobHistory h(fs);
            FaultPlan plan;
            plan.failAt(op, n, 29);
            fs.setFaultHook(&plan);
            const bool added = keep(h, "third job");
            fs.setFaultHook(nullptr);
            ++injected;
            const std::vector<HistoryEntry> now = JobHistory(fs).entries();
            if (!added) {
                // Not added: the history is the one before, whole, and said once.
                EXPECT_EQ(memory.get(kIndexHost), index);
                EXPECT_FALSE(h.problem().empty());
                EXPECT_TRUE(h.problem().empty());
            } else {
                // Added (a failure the history could do without, as a copy not kept
                // or a dropped copy left for later): the two jobs and the third.
                ASSERT_EQ(now.size(), 3u);
            }
            for (std::size_t i = 0; i < before.size(); ++i) {
                ASSERT_LT(i, now.size());
                EXPECT_EQ(now[i].id, before[i].id);
                EXPECT_EQ(memory.get("/c/norvexa/elozmeny/" + now[i].copy),
                          memory.get("/c/norvexa/elozmeny/" + before[i].copy));
                EXPECT_FALSE(h.copyPath(now[i]).empty());
            }
            EXPECT_FALSE(memory.exists("/c/norvexa/elozmeny/.elozmeny.uj"));
            EXPECT_EQ(memory.openHandles(), 0u);
            memory.put(kIndexHost, index);
        }
    }
    EXPECT_GT(injected, 8);

    // A history that cannot be read is told once; the jobs go on.
    memory.put(kIndexHost, "not a history");
    JobHistory broken(fs);
    EXPECT_TRUE(broken.entries().empty());
    EXPECT_FALSE(broken.add(HistoryEntry{}));
    EXPECT_NE(broken.problem().find("elozmeny.txt"), std::string::npos);
    EXPECT_FALSE(broken.add(HistoryEntry{}));
    EXPECT_TRUE(broken.problem().empty());
    EXPECT_EQ(*memory.get(kIndexHost), "not a history");
}

}  // namespace
}  // namespace nx
