// The Windows backend against a second process, as the service meets its hosts:
// a file held without sharing is refused with 32 and taken once it is let go; a
// host that has its job open for writing is seen by the writer check while the
// job itself can still be opened with read and write sharing; a second service on
// the same drive finds the drive taken.
#if defined(_WIN32)
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/drive_lock.h"
#include "platform/files.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

// The helper program, running until the test ends it.
class Holder {
public:
    Holder(const std::string& mode, const std::string& path, const std::filesystem::path& ready) {
        std::wstring cmd = L"\"" NX_HOLD_FILE_W L"\" " + std::wstring(mode.begin(), mode.end()) + L" \"" +
                           std::wstring(path.begin(), path.end()) + L"\" \"" + ready.wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_))
            return;
        for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ready_ = std::filesystem::exists(ready);
    }
    ~Holder() { end(); }
    bool ready() const { return ready_; }
    void end() {
        if (!pi_.hProcess) return;
        TerminateProcess(pi_.hProcess, 0);
        WaitForSingleObject(pi_.hProcess, 10000);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
        pi_ = {};
    }

private:
    PROCESS_INFORMATION pi_{};
    bool ready_ = false;
};

TEST(WindowsSharing, BetweenTwoHandlesOfThisProcess) {
    test::TempDrive d;
    d.write("c:\\norvexa\\job.txt", "ABC");
    // A text file being written shares reading only: a byte-file open (write access)
    // is refused while it is open, a text read is not.
    TextFile writer(d.fs());
    writer.assign("c:\\norvexa\\out.txt");
    ASSERT_EQ(writer.rewrite(), kOk);
    ByteFile bytes(d.fs());
    bytes.assign("c:\\norvexa\\out.txt");
    EXPECT_EQ(bytes.reset(), kSharingViolation);
    TextFile reader(d.fs());
    reader.assign("c:\\norvexa\\out.txt");
    EXPECT_EQ(reader.reset(), kSharingViolation);  // a reader shares reading only as well
    EXPECT_EQ(writer.close(), kOk);
    EXPECT_EQ(bytes.reset(), kOk);
    EXPECT_EQ(bytes.close(), kOk);
    // Two byte files share reading and writing with each other.
    ByteFile a(d.fs()), b(d.fs());
    a.assign("c:\\norvexa\\job.txt");
    b.assign("c:\\NORVEXA\\JOB.TXT");
    EXPECT_EQ(a.reset(), kOk);
    EXPECT_EQ(b.reset(), kOk);
    EXPECT_EQ(d.fs().erase("c:\\norvexa\\job.txt"), kSharingViolation);  // open: not deleted
    EXPECT_EQ(a.close(), kOk);
    EXPECT_EQ(b.close(), kOk);
    EXPECT_EQ(d.fs().erase("c:\\norvexa\\job.txt"), kOk);
}

TEST(WindowsSharing, BetweenTwoProcesses) {
    test::TempDrive d;
    d.mkdir("c:\\talvera");
    d.write("c:\\talvera\\wnyomtat.txt", "JOB\r\n");
    const std::string job = d.host("c:\\talvera\\wnyomtat.txt");
    ByteFile f(d.fs());
    f.assign("c:\\talvera\\wnyomtat.txt");
    FileProbe probe;
    {
        Holder host("exclusive", job, d.root() / "ready1");
        ASSERT_TRUE(host.ready());
        EXPECT_EQ(f.reset(), kSharingViolation);
        EXPECT_EQ(d.fs().probe("c:\\talvera\\wnyomtat.txt", probe), kOk);
        EXPECT_EQ(probe.writers, Writers::Present);
    }
    {
        Holder host("write", job, d.root() / "ready2");
        ASSERT_TRUE(host.ready());
        ASSERT_EQ(f.reset(), kOk);  // read and write sharing lets the job be read
        EXPECT_EQ(f.close(), kOk);
        EXPECT_EQ(d.fs().probe("c:\\talvera\\wnyomtat.txt", probe), kOk);
        EXPECT_EQ(probe.writers, Writers::Present);  // but it is still being written
    }
    EXPECT_EQ(d.fs().probe("c:\\talvera\\wnyomtat.txt", probe), kOk);
    EXPECT_EQ(probe.writers, Writers::None);
    EXPECT_EQ(probe.size, 5);
    EXPECT_EQ(d.fs().erase("c:\\talvera\\wnyomtat.txt"), kOk);
}

TEST(WindowsSharing, OneServicePerDrive) {
    test::TempDrive d;
    const std::string root = d.root().string();
    {
        Holder other("lock", root, d.root() / "ready");
        ASSERT_TRUE(other.ready());
        DriveLock second;
        EXPECT_EQ(second.acquire(root), DriveLock::Result::Held);
        DriveLock sameDriveOtherSpelling;
        std::string upper = root + "\\";
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(sameDriveOtherSpelling.acquire(upper), DriveLock::Result::Held);
    }
    DriveLock after;
    EXPECT_EQ(after.acquire(root), DriveLock::Result::Acquired);
}

}  // namespace
}  // namespace nx
#endif
