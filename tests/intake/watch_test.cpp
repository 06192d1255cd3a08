// The job's life without windows: which candidate is taken while other processes
// hold job files open for writing, and when a printed job file may go.
#include "intake/watch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_drive.h"

namespace nx {
namespace {

using test::TempDrive;
constexpr std::string_view kFirst = paths::kJobCandidates[0];
constexpr std::string_view kThird = paths::kJobCandidates[2];

// Another process that holds a file open for writing until it is let go, writing
// `rest` just before it closes the file.
class Writer {
public:
    Writer(const std::string& hostPath, std::string rest = {}) {
        int ready[2], go[2];
        if (::pipe(ready) != 0 || ::pipe(go) != 0) std::abort();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(go[1]);
            const int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            char c = fd >= 0 ? 'y' : 'n';
            (void)!::write(ready[1], &c, 1);
            while (::read(go[0], &c, 1) > 0) {
            }
            if (!rest.empty()) (void)!::write(fd, rest.data(), rest.size());
            ::_exit(::close(fd) == 0 ? 0 : 1);
        }
        ::close(ready[1]);
        ::close(go[0]);
        go_ = go[1];
        char c = 'n';
        (void)!::read(ready[0], &c, 1);
        ::close(ready[0]);
        opened_ = c == 'y';
    }
    ~Writer() { letGo(); }
    bool opened() const { return opened_; }
    // Writes the rest, closes the file and ends; returns once it has.
    void letGo() {
        if (go_ < 0) return;
        ::close(go_);
        go_ = -1;
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }

private:
    pid_t pid_ = -1;
    int go_ = -1;
    bool opened_ = false;
};

struct Watch : ::testing::Test {
    TempDrive d;
    JobWatch watch{d.fs()};
    NoProgress progress;

    void SetUp() override {
        for (std::string_view c : paths::kJobCandidates)
            d.mkdir(std::string(c.substr(0, c.rfind('\\'))));
    }
    // One cycle's choice and copy; the taken job's path, or "" when none was ready.
    std::string takeOne(TakenJob* taken = nullptr) {
        ByteFile job(d.fs());
        const auto path = watch.choose(job);
        if (!path) return {};
        TakenJob t = watch.copy(*path, job, progress);
        EXPECT_EQ(t.copied.status, JobCopyResult::Status::Copied);
        if (taken) *taken = t;
        return t.settled ? *path : "unsettled";
    }
};

TEST_F(Watch, AJobOpenForWritingInAnotherProcessWaitsWhileTheNextPathIsTaken) {
    d.write(kFirst, "ELSO-RESZ\r\n");
    d.write(kThird, "HARMADIK\r\n");
    Writer host(d.host(kFirst), "MASODIK-RESZ\r\n");
    ASSERT_TRUE(host.opened());

    TakenJob third;
    EXPECT_EQ(takeOne(&third), std::string(kThird));
    EXPECT_EQ(watch.release(third), kOk);
    EXPECT_FALSE(d.exists(kThird));
    EXPECT_EQ(takeOne(), "");  // still written: nothing is taken, nothing deleted
    EXPECT_EQ(d.read(kFirst), "ELSO-RESZ\r\n");

    host.letGo();
    TakenJob first;
    EXPECT_EQ(takeOne(&first), std::string(kFirst));
    EXPECT_EQ(d.read(paths::kLastJobCopy), "ELSO-RESZ\r\nMASODIK-RESZ\r\n");
    EXPECT_FALSE(watch.handledBefore(first));
    EXPECT_EQ(watch.release(first), kOk);
    EXPECT_FALSE(d.exists(kFirst));
}

TEST_F(Watch, APrintedJobWhoseHostCameBackIsKeptThenConsumedWithoutASecondPrint) {
    d.write(kFirst, "KESZ\r\n");
    TakenJob taken;
    ASSERT_EQ(takeOne(&taken), std::string(kFirst));
    {
        Writer host(d.host(kFirst));  // opens it again while the job prints
        EXPECT_EQ(watch.release(taken), kOk);
        EXPECT_TRUE(d.exists(kFirst));
        EXPECT_EQ(takeOne(), "");
    }
    TakenJob again;
    ASSERT_EQ(takeOne(&again), std::string(kFirst));
    EXPECT_TRUE(watch.handledBefore(again));
    EXPECT_EQ(watch.release(again), kOk);
    EXPECT_FALSE(d.exists(kFirst));

    // The same text written anew is a new job.
    d.write(kFirst, "KESZ\r\n");
    ASSERT_EQ(takeOne(&again), std::string(kFirst));
    EXPECT_FALSE(watch.handledBefore(again));

    // A job the host extended after the copy stays, and nothing is remembered of it.
    d.write(kFirst, "KESZ\r\nTOBB\r\n");
    EXPECT_EQ(watch.release(again), kOk);
    EXPECT_EQ(d.read(kFirst), "KESZ\r\nTOBB\r\n");
}

// Where the platform cannot tell who writes a file (here: a file of another user,
// on which no lease is granted), a job is taken once it has stayed the same from
// one cycle to the next. Run as user nobody in a child process, since only a
// process without the lease capability is refused.
TEST_F(Watch, WithoutTheWriterCheckAJobIsTakenOnceUnchangedForOneCycle) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
    namespace stdfs = std::filesystem;
    for (const auto& e : stdfs::recursive_directory_iterator(d.root()))
        stdfs::permissions(e.path(), stdfs::perms::all);
    stdfs::permissions(d.root(), stdfs::perms::all);
    d.write(kFirst, "LASSU");
    ::chmod(d.host(kFirst).c_str(), 0666);

    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        FileSystem fs(DriveTable(d.root().string()));
        FileProbe probe;
        if (fs.probe(kFirst, probe) != kOk || probe.writers != Writers::Unknown) ::_exit(101);
        JobWatch w(fs);
        auto take = [&] {
            ByteFile job(fs);
            const bool got = w.choose(job).has_value();
            if (got) (void)job.close();
            return got;
        };
        if (take()) ::_exit(1);  // seen for the first time: waits
        const int fd = ::open(d.host(kFirst).c_str(), O_WRONLY | O_APPEND);
        (void)!::write(fd, " IRO", 4);
        ::close(fd);
        if (take()) ::_exit(2);  // changed since the last cycle: waits
        if (!take()) ::_exit(3);  // unchanged for a cycle: taken
        ::_exit(0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "100: no such user; 101: the lease was not refused; "
                                         "1-3: the cycle that went wrong";
}

}  // namespace
}  // namespace nx
