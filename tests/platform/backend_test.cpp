// The backends of the file layer (the system's, memory) give the same result codes for the same
// situations: the memory backend stands in for the real file system in fuzzing, so
// where they differ a finding (or a miss) would not hold for the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/file_backend.h"
#include "platform/files.h"
#include "platform/memory_backend.h"
#include "tests/support/held_file.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

// One backend with a drive root, and the host side's means to set a situation up.
struct Situation {
    virtual ~Situation() = default;
    virtual FileBackend& backend() = 0;
    virtual std::string root() = 0;
    virtual void put(const std::string& path, const std::string& bytes) = 0;
    virtual void mkdir(const std::string& path) = 0;
    virtual void readOnly(const std::string& path) = 0;
    virtual void hold(const std::string& path) = 0;  // another process locks it
};

// The real file system: the POSIX backend, or the Windows one.
struct SystemSetup final : Situation {
    test::TempDrive drive;
    std::unique_ptr<test::HeldLock> lock;
    FileBackend& backend() override { return systemBackend(); }
    std::string root() override { return drive.root().string(); }
    void put(const std::string& path, const std::string& bytes) override {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    void mkdir(const std::string& path) override { std::filesystem::create_directories(path); }
    void readOnly(const std::string& path) override {
        std::filesystem::permissions(path, std::filesystem::perms(0444));
    }
    void hold(const std::string& path) override {
        lock = std::make_unique<test::HeldLock>(path);
        ASSERT_TRUE(lock->locked());
    }
};

struct MemorySetup final : Situation {
    MemoryBackend memory;
    MemorySetup() { memory.makeDirectory("/c"); }
    FileBackend& backend() override { return memory; }
    std::string root() override { return "/c"; }
    void put(const std::string& path, const std::string& bytes) override { memory.put(path, bytes); }
    void mkdir(const std::string& path) override { memory.makeDirectory(path); }
    void readOnly(const std::string& path) override { memory.setReadOnly(path, true); }
    void hold(const std::string& path) override { memory.setHeld(path, true); }
};

class Backends : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam())
            setup = std::make_unique<MemorySetup>();
        else
            setup = std::make_unique<SystemSetup>();
        root = setup->root();
        setup->mkdir(root + "/norvexa");
    }
    FileBackend& b() { return setup->backend(); }
    std::unique_ptr<Situation> setup;
    std::string root;
};

TEST_P(Backends, OpenRefusesWithTheDosCodes) {
    FileBackend::Handle h = -1;
    EXPECT_EQ(b().open(root + "/norvexa/nincs.txt", Access::ReadWrite, false, h), kFileNotFound);
    EXPECT_EQ(b().open(root + "/nincs/x.txt", Access::ReadWrite, false, h), kPathNotFound);
    EXPECT_EQ(b().open(root + "/nincs/x.txt", Access::ReadWrite, true, h), kPathNotFound);
    EXPECT_EQ(b().open(root + "/norvexa", Access::Read, false, h), kAccessDenied);

    const std::string ro = root + "/norvexa/ro.txt";
    setup->put(ro, "X");
    setup->readOnly(ro);
    EXPECT_EQ(b().open(ro, Access::ReadWrite, false, h), kAccessDenied);
    EXPECT_EQ(b().open(ro, Access::Write, true, h), kAccessDenied);
    ASSERT_EQ(b().open(ro, Access::Read, false, h), kOk);
    EXPECT_EQ(b().close(h), kOk);
    EXPECT_EQ(b().close(h), kFileNotOpen);

    const std::string held = root + "/norvexa/held.txt";
    setup->put(held, "X");
    setup->hold(held);
    EXPECT_EQ(b().open(held, Access::ReadWrite, false, h), kSharingViolation);
    EXPECT_EQ(b().erase(root + "/norvexa/nincs.txt"), kFileNotFound);
    EXPECT_EQ(b().erase(root + "/norvexa"), kAccessDenied);
}

TEST_P(Backends, BytesWrittenAreReadBackAndCreateEmpties) {
    const std::string p = root + "/norvexa/f.txt";
    setup->put(p, "REGI TARTALOM");
    FileBackend::Handle h = -1;
    ASSERT_EQ(b().open(p, Access::ReadWrite, true, h), kOk);
    std::int64_t size = -1;
    EXPECT_EQ(b().size(h, size), kOk);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(b().write(h, 0, "abcdef", 6), kOk);
    EXPECT_EQ(b().write(h, 8, "Z", 1), kOk);  // beyond the end: a gap of zero bytes
    char buf[16] = {};
    std::size_t got = 0;
    EXPECT_EQ(b().read(h, 0, buf, sizeof buf, got), kOk);
    EXPECT_EQ(std::string(buf, got), std::string("abcdef\0\0Z", 9));
    EXPECT_EQ(b().read(h, 9, buf, sizeof buf, got), kOk);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(b().truncate(h, 3), kOk);
    EXPECT_EQ(b().size(h, size), kOk);
    EXPECT_EQ(size, 3);

#if defined(_WIN32)
    // Windows keeps a file that is open (without delete sharing) from being deleted.
    if (!GetParam()) {
        EXPECT_EQ(b().erase(p), kSharingViolation);
        EXPECT_EQ(b().close(h), kOk);
        EXPECT_EQ(b().erase(p), kOk);
    } else
#endif
    {
        // A deleted file stays readable through a handle still open on it.
        EXPECT_EQ(b().erase(p), kOk);
        EXPECT_EQ(b().read(h, 0, buf, sizeof buf, got), kOk);
        EXPECT_EQ(std::string(buf, got), "abc");
        EXPECT_EQ(b().close(h), kOk);
    }
    FileProbe probe;
    EXPECT_EQ(b().probe(p, probe), kFileNotFound);
}

TEST_P(Backends, ProbeTellsWhetherTheFileIsOpenForWriting) {
    const std::string p = root + "/norvexa/job.txt";
    setup->put(p, "12345");
    FileProbe probe;
    ASSERT_EQ(b().probe(p, probe), kOk);
    EXPECT_EQ(probe.size, 5);
    EXPECT_EQ(probe.writers, Writers::None);
    FileBackend::Handle reader = -1, writer = -1;
    ASSERT_EQ(b().open(p, Access::Read, false, reader), kOk);
    ASSERT_EQ(b().probe(p, probe), kOk);
    EXPECT_EQ(probe.writers, Writers::None);
    EXPECT_EQ(b().close(reader), kOk);
    ASSERT_EQ(b().open(p, Access::ReadWrite, false, writer), kOk);
    const std::int64_t before = probe.modifiedNs;
    ASSERT_EQ(b().probe(p, probe), kOk);
    EXPECT_EQ(probe.writers, Writers::Present);
    EXPECT_EQ(b().close(writer), kOk);
    ASSERT_EQ(b().probe(p, probe), kOk);
    EXPECT_EQ(probe.writers, Writers::None);
    EXPECT_EQ(probe.modifiedNs, before);  // opening writes nothing
}

// The byte and text files on the memory backend: DOS names resolve case-blind
// against what the backend holds, and a retry that keeps failing ends at once on its
// clock instead of waiting.
TEST(MemoryBackend, FilesResolveCaseBlindAndRetriesDoNotWait) {
    MemoryBackend memory;
    memory.makeDirectory("/c/NORVEXA");
    memory.put("/c/NORVEXA/Config.DTA", "1234");
    FileSystem fs(DriveTable("/c"), memory);
    EXPECT_EQ(fs.hostPath("c:\\norvexa\\config.dta"), "/c/NORVEXA/Config.DTA");
    ByteFile f(fs);
    f.assign("c:\\norvexa\\config.dta");
    ASSERT_EQ(f.reset(), kOk);
    std::uint8_t byte = 0;
    EXPECT_EQ(f.read(byte), kOk);
    EXPECT_EQ(byte, '1');
    EXPECT_EQ(f.close(), kOk);
    EXPECT_EQ(memory.openHandles(), 0u);

    const auto start = fs.clock().now();
    fs.clock().pause(std::chrono::milliseconds(2000));
    EXPECT_EQ(fs.clock().now() - start, std::chrono::milliseconds(2000));
}

INSTANTIATE_TEST_SUITE_P(SystemAndMemory, Backends, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Memory" : "System"; });

}  // namespace
}  // namespace nx
