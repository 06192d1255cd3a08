#include "platform/posix/errno_map.h"
#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/support/temp_drive.h"

namespace nx {
namespace {

namespace fs = std::filesystem;
using test::TempDrive;

// ---------------------------------------------------------------- messages and codes

TEST(IoMessage, TextsAndFullStop) {
    EXPECT_EQ(ioMessage(2), "File not found");
    EXPECT_EQ(ioMessage(3), "Invalid filename");
    EXPECT_EQ(ioMessage(4), "Too many open files");
    EXPECT_EQ(ioMessage(5), "File access denied");
    EXPECT_EQ(ioMessage(100), "Read beyond end of file");
    EXPECT_EQ(ioMessage(101), "Disk full");
    EXPECT_EQ(ioMessage(106), "Invalid numeric input");
    EXPECT_EQ(ioMessage(32), "I/O error 32");
    EXPECT_EQ(ioMessage(103), "I/O error 103");
    EXPECT_EQ(ioMessage(0), "I/O error 0");

    EXPECT_EQ(withFullStop("File not found"), "File not found.");
    EXPECT_EQ(withFullStop("I/O error 32"), "I/O error 32.");  // '2' sorts after '.'
    EXPECT_EQ(withFullStop("Done."), "Done.");
    EXPECT_EQ(withFullStop("Hmm!"), "Hmm!");                  // '!' sorts before '.'
    EXPECT_EQ(withFullStop("a-"), "a-");                      // '-' sorts before '.'
    EXPECT_EQ(withFullStop("a/"), "a/.");                     // '/' sorts after '.'
    EXPECT_EQ(withFullStop("'x' is not a valid integer value"),
              "'x' is not a valid integer value.");
    EXPECT_EQ(withFullStop(""), "");
    EXPECT_EQ(withFullStop("\xE9"), "\xE9.");                 // bytes compare unsigned

    const IoError e(5);
    EXPECT_EQ(e.code(), 5);
    EXPECT_STREQ(e.what(), "File access denied");
    EXPECT_STREQ(IoError(32).what(), "I/O error 32");
    try {
        check(100);
        FAIL() << "check(100) did not raise";
    } catch (const IoError& err) {
        EXPECT_EQ(err.code(), 100);
    }
    EXPECT_NO_THROW(check(0));
}

TEST(ResultFromErrno, EveryMapping) {
    TempDrive d;
    const std::string inExisting = (d.root() / "norvexa" / "missing.txt").string();
    const std::string inMissing = (d.root() / "nodir" / "missing.txt").string();
    EXPECT_EQ(resultFromErrno(0, inExisting), 0);
    EXPECT_EQ(resultFromErrno(ENOENT, inExisting), 2);
    EXPECT_EQ(resultFromErrno(ENOENT, inMissing), 3);
    EXPECT_EQ(resultFromErrno(ENOTDIR, inExisting), 3);
    for (int e : {EACCES, EPERM, EROFS, EISDIR}) EXPECT_EQ(resultFromErrno(e, inExisting), 5) << e;
    for (int e : {EMFILE, ENFILE}) EXPECT_EQ(resultFromErrno(e, inExisting), 4) << e;
    EXPECT_EQ(resultFromErrno(ENOSPC, inExisting), 101);
    EXPECT_EQ(resultFromErrno(EWOULDBLOCK, inExisting), 32);
    EXPECT_EQ(resultFromErrno(EBADF, inExisting), 103);
    const int other = resultFromErrno(EIO, inExisting);
    EXPECT_NE(other, 0);
    EXPECT_EQ(ioMessage(other).rfind("I/O error ", 0), 0u);
}

// The kernel's own errors reach the caller as DOS codes.
TEST(ResultCodes, FromRealOperations) {
    TempDrive d;
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\none.txt");
    EXPECT_EQ(f.reset(), 2);
    f.assign("c:\\nodir\\none.txt");
    EXPECT_EQ(f.reset(), 3);
    EXPECT_EQ(f.rewrite(), 3);
    EXPECT_FALSE(f.isOpen());
    f.assign("c:\\norvexa");  // a directory
    EXPECT_EQ(f.reset(), 5);
    EXPECT_EQ(f.rewrite(), 5);
    d.write("c:\\norvexa\\plain", "x");
    f.assign("c:\\norvexa\\plain\\below");  // a file on the way
    EXPECT_EQ(f.reset(), 3);
    EXPECT_EQ(d.fs().erase("c:\\norvexa\\none.txt"), 2);
    EXPECT_EQ(d.fs().erase("c:\\nodir\\none.txt"), 3);
    EXPECT_EQ(d.fs().erase("c:\\norvexa"), 5);
}

TEST(ResultCodes, KernelAccessDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "root passes directory permissions";
    TempDrive d;
    d.mkdir("c:\\locked");
    d.write("c:\\locked\\a.txt", "x");
    ::chmod(d.host("c:\\locked").c_str(), 0);
    ByteFile f(d.fs());
    f.assign("c:\\locked\\a.txt");
    EXPECT_EQ(f.reset(), 5);
    EXPECT_EQ(f.rewrite(), 5);
}

TEST(ResultCodes, TooManyOpenFiles) {
    TempDrive d;
    d.write("c:\\norvexa\\a.txt", "x");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ByteFile f(d.fs());
        f.assign("c:\\norvexa\\a.txt");
        // The same calls once with descriptors to spare: the sanitizers' check of a
        // virtual call's type needs a descriptor the first time it meets the type.
        if (f.reset() != kOk || f.close() != kOk) ::_exit(99);
        // Lower the limit in a child so that the next open runs out of descriptors.
        const int probe = ::open("/dev/null", O_RDONLY);
        rlimit lim{static_cast<rlim_t>(probe), static_cast<rlim_t>(probe)};
        ::setrlimit(RLIMIT_NOFILE, &lim);
        ::_exit(f.reset());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
}

TEST(ResultCodes, DiskFullSurfacesAtTheLatestOnClose) {
    if (!fs::exists("/dev/full")) GTEST_SKIP();
    TempDrive d;
    ByteFile f(d.fs());
    f.assign("/dev/full");
    ASSERT_EQ(f.rewrite(), 0);
    int rc = f.write('a');
    if (rc == 0) rc = f.close();
    EXPECT_EQ(rc, 101);
    EXPECT_FALSE(f.isOpen());

    TextFile t(d.fs());
    t.assign("/dev/full");
    ASSERT_EQ(t.rewrite(), 0);
    rc = t.writeLine("x");
    if (rc == 0) rc = t.close();
    EXPECT_EQ(rc, 101);
}

TEST(ResultCodes, ClosedFilesGive103) {
    TempDrive d;
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\a.bin");
    std::uint8_t b = 0;
    std::int64_t n = 0;
    bool e = false;
    std::size_t got = 0;
    EXPECT_EQ(f.read(b), 103);
    EXPECT_EQ(f.readBlock(&b, 1, got), 103);
    EXPECT_EQ(f.write(1), 103);
    EXPECT_EQ(f.eof(e), 103);
    EXPECT_EQ(f.size(n), 103);
    EXPECT_EQ(f.position(n), 103);
    EXPECT_EQ(f.seek(0), 103);
    EXPECT_EQ(f.close(), 103);
    TextFile t(d.fs());
    t.assign("c:\\norvexa\\a.txt");
    std::string line;
    EXPECT_EQ(t.readLine(line), 103);
    EXPECT_EQ(t.writeLine("x"), 103);
    EXPECT_EQ(t.eof(e), 103);
    EXPECT_EQ(t.close(), 103);
}

// ---------------------------------------------------------------- sharing and access

struct LockedJob : ::testing::Test {
    TempDrive d;
    std::string host;
    int other = -1;  // a second open file description on the job
    void SetUp() override {
        d.mkdir("c:\\talvera");
        d.write("c:\\talvera\\wnyomtat.txt", "job bytes");
        host = d.host("c:\\talvera\\wnyomtat.txt");
        other = ::open(host.c_str(), O_RDWR);
        ASSERT_GE(other, 0);
    }
    void TearDown() override { ::close(other); }
    void expectHeld() {
        ByteFile f(d.fs());
        f.assign("C:\\TALVERA\\WNYOMTAT.TXT");
        EXPECT_EQ(f.reset(), 32);
        EXPECT_FALSE(f.isOpen());
        EXPECT_EQ(f.rewrite(), 32);
        EXPECT_FALSE(f.isOpen());
        TextFile t(d.fs());
        t.assign("c:\\talvera\\wnyomtat.txt");
        EXPECT_EQ(t.reset(), 32);
        EXPECT_EQ(t.rewrite(), 32);
        EXPECT_EQ(d.read("c:\\talvera\\wnyomtat.txt"), "job bytes");  // not emptied
    }
    void expectFree() {
        ByteFile f(d.fs());
        f.assign("c:\\talvera\\wnyomtat.txt");
        EXPECT_EQ(f.reset(), 0);
    }
};

TEST_F(LockedJob, OpenFileDescriptionLock) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(other, F_OFD_SETLK, &fl), 0);
    expectHeld();
    fl.l_type = F_UNLCK;
    ASSERT_EQ(::fcntl(other, F_OFD_SETLK, &fl), 0);
    expectFree();
}

TEST_F(LockedJob, Flock) {
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    expectHeld();
    ASSERT_EQ(::flock(other, LOCK_UN), 0);
    expectFree();
}

TEST_F(LockedJob, ProcessLockOfAnotherProcess) {
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        const char ok = ::fcntl(other, F_SETLK, &fl) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(done[0], &c, 1);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    expectHeld();
    (void)!::write(done[1], "x", 1);
    ::waitpid(pid, nullptr, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) ::close(fd);
    expectFree();
}

TEST_F(LockedJob, SharedLocksAndPlainOpensDoNotHold) {
    ASSERT_EQ(::flock(other, LOCK_SH | LOCK_NB), 0);
    expectFree();
    ::flock(other, LOCK_UN);
    // Another process merely having the file open (read and write) does not hold it.
    ByteFile f(d.fs());
    f.assign("c:\\talvera\\wnyomtat.txt");
    ASSERT_EQ(f.reset(), 0);
    ByteFile g(d.fs());
    g.assign("c:\\talvera\\wnyomtat.txt");
    EXPECT_EQ(g.reset(), 0);
}

TEST(Access, ReadOnlyFileRefusesWriteAccessEvenToRoot) {
    TempDrive d;
    d.write("c:\\norvexa\\ro.txt", "keep");
    ::chmod(d.host("c:\\norvexa\\ro.txt").c_str(), 0444);
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\ro.txt");
    EXPECT_EQ(f.reset(), 5);
    EXPECT_EQ(f.rewrite(), 5);
    EXPECT_FALSE(f.isOpen());
    TextFile t(d.fs());
    t.assign("c:\\norvexa\\ro.txt");
    EXPECT_EQ(t.rewrite(), 5);
    EXPECT_EQ(d.read("c:\\norvexa\\ro.txt"), "keep");
    // Reading a read-only text file is allowed.
    ASSERT_EQ(t.reset(), 0);
    std::string line;
    EXPECT_EQ(t.readLine(line), 0);
    EXPECT_EQ(line, "keep");
}

// ---------------------------------------------------------------- byte files

TEST(ByteFile, CreateWriteReadToTheEnd) {
    TempDrive d;
    d.write("c:\\norvexa\\a.bin", "old content that is longer");
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\a.bin");
    ASSERT_EQ(f.rewrite(), 0);  // empties the existing file
    std::int64_t n = -1;
    ASSERT_EQ(f.size(n), 0);
    EXPECT_EQ(n, 0);
    for (int b = 0; b < 256; ++b) ASSERT_EQ(f.write(static_cast<std::uint8_t>(b)), 0);
    ASSERT_EQ(f.size(n), 0);
    EXPECT_EQ(n, 256);
    ASSERT_EQ(f.close(), 0);
    const std::string on = d.read("c:\\norvexa\\a.bin");
    ASSERT_EQ(on.size(), 256u);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(static_cast<unsigned char>(on[b]), b);

    ASSERT_EQ(f.reset(), 0);
    std::uint8_t b = 0;
    bool end = true;
    int count = 0;
    while (f.eof(end) == 0 && !end) {
        ASSERT_EQ(f.read(b), 0);
        EXPECT_EQ(b, count);
        ++count;
    }
    EXPECT_EQ(count, 256);
    EXPECT_EQ(f.read(b), 100);
    ASSERT_EQ(f.position(n), 0);
    EXPECT_EQ(n, 256);  // a failed read does not move
    ASSERT_EQ(f.close(), 0);
}

TEST(ByteFile, PositionSeekAndMixedReadsAndWrites) {
    TempDrive d;
    d.write("c:\\norvexa\\m.bin", "abcdefghij");
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\m.bin");
    ASSERT_EQ(f.reset(), 0);
    std::uint8_t b = 0;
    std::int64_t p = -1;
    ASSERT_EQ(f.read(b), 0);
    ASSERT_EQ(f.read(b), 0);
    EXPECT_EQ(b, 'b');
    ASSERT_EQ(f.position(p), 0);
    EXPECT_EQ(p, 2);
    ASSERT_EQ(f.seek(7), 0);
    ASSERT_EQ(f.read(b), 0);
    EXPECT_EQ(b, 'h');
    ASSERT_EQ(f.seek(1), 0);
    ASSERT_EQ(f.write('X'), 0);  // overwrites 'b' at the read position
    ASSERT_EQ(f.write('Y'), 0);
    ASSERT_EQ(f.read(b), 0);  // the read after the writes sees the file as written
    EXPECT_EQ(b, 'd');
    ASSERT_EQ(f.seek(1), 0);
    ASSERT_EQ(f.read(b), 0);
    EXPECT_EQ(b, 'X');
    ASSERT_EQ(f.seek(10), 0);
    bool end = false;
    ASSERT_EQ(f.eof(end), 0);
    EXPECT_TRUE(end);
    ASSERT_EQ(f.write('k'), 0);  // appends
    ASSERT_EQ(f.size(p), 0);
    EXPECT_EQ(p, 11);
    EXPECT_NE(f.seek(-1), 0);
    ASSERT_EQ(f.close(), 0);
    EXPECT_EQ(d.read("c:\\norvexa\\m.bin"), "aXYdefghijk");
}

TEST(ByteFile, EndTestSeesBytesAppendedByAnotherWriter) {
    TempDrive d;
    d.write("c:\\norvexa\\g.bin", "ab");
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\g.bin");
    ASSERT_EQ(f.reset(), 0);
    std::uint8_t b = 0;
    bool end = false;
    ASSERT_EQ(f.read(b), 0);
    ASSERT_EQ(f.read(b), 0);
    ASSERT_EQ(f.eof(end), 0);
    EXPECT_TRUE(end);
    EXPECT_EQ(f.read(b), 100);
    { std::ofstream(d.host("c:\\norvexa\\g.bin"), std::ios::app | std::ios::binary) << "cd"; }
    ASSERT_EQ(f.eof(end), 0);
    EXPECT_FALSE(end);
    ASSERT_EQ(f.read(b), 0);
    EXPECT_EQ(b, 'c');
    std::uint8_t block[16];
    std::size_t got = 0;
    ASSERT_EQ(f.readBlock(block, sizeof block, got), 0);
    ASSERT_EQ(got, 1u);
    EXPECT_EQ(block[0], 'd');
    ASSERT_EQ(f.readBlock(block, sizeof block, got), 0);
    EXPECT_EQ(got, 0u);
}

TEST(ByteFile, BlocksAcrossTheReadBuffer) {
    TempDrive d;
    std::string data(200000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    d.write("c:\\norvexa\\big.bin", data);
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\big.bin");
    ASSERT_EQ(f.reset(), 0);
    std::string back;
    std::uint8_t b = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(f.read(b), 0);
        back.push_back(static_cast<char>(b));
    }
    std::vector<std::uint8_t> block(70000);
    std::size_t got = 0;
    do {
        ASSERT_EQ(f.readBlock(block.data(), block.size(), got), 0);
        back.append(reinterpret_cast<const char*>(block.data()), got);
        if (got > 0 && f.read(b) == 0) back.push_back(static_cast<char>(b));
    } while (got > 0);
    EXPECT_EQ(back, data);

    // Byte by byte through the small first chunk and the large ones after it.
    ByteFile bytes(d.fs());
    bytes.assign("c:\\norvexa\\big.bin");
    ASSERT_EQ(bytes.reset(), 0);
    back.clear();
    while (bytes.read(b) == 0) back.push_back(static_cast<char>(b));
    EXPECT_EQ(back, data);

    ByteFile w(d.fs());
    w.assign("c:\\norvexa\\copy.bin");
    ASSERT_EQ(w.rewrite(), 0);
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    ASSERT_EQ(w.writeBlock(p, 10), 0);
    ASSERT_EQ(w.write(p[10]), 0);
    ASSERT_EQ(w.writeBlock(p + 11, 100000), 0);
    ASSERT_EQ(w.writeBlock(p + 100011, data.size() - 100011), 0);
    ASSERT_EQ(w.close(), 0);
    EXPECT_EQ(d.read("c:\\norvexa\\copy.bin"), data);
}

TEST(ByteFile, RecordsOfTwentyEightBytes) {
    TempDrive d;
    std::string forty;
    for (int i = 0; i < 40; ++i) forty.push_back(static_cast<char>('A' + i % 26));
    d.write("c:\\norvexa\\r.dta", forty);
    ByteFile f(d.fs(), 28);
    f.assign("c:\\norvexa\\r.dta");
    ASSERT_EQ(f.reset(), 0);
    std::int64_t n = 0;
    ASSERT_EQ(f.size(n), 0);
    EXPECT_EQ(n, 1);  // 40 bytes hold one whole record
    char rec[28];
    ASSERT_EQ(f.readRecord(rec), 0);
    EXPECT_EQ(std::string(rec, 28), forty.substr(0, 28));
    bool end = false;
    ASSERT_EQ(f.eof(end), 0);
    EXPECT_TRUE(end);
    std::fill(std::begin(rec), std::end(rec), '.');
    EXPECT_EQ(f.readRecord(rec), 100);
    EXPECT_EQ(std::string(rec, 12), forty.substr(28));  // the bytes present arrive
    EXPECT_EQ(rec[12], '.');
    ASSERT_EQ(f.close(), 0);

    ASSERT_EQ(f.rewrite(), 0);
    ASSERT_EQ(f.writeRecord(forty.data()), 0);
    ASSERT_EQ(f.close(), 0);
    EXPECT_EQ(d.read("c:\\norvexa\\r.dta"), forty.substr(0, 28));
}

TEST(ByteFile, EraseOnlyWhenClosed) {
    TempDrive d;
    d.write("c:\\norvexa\\e.bin", "x");
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\e.bin");
    ASSERT_EQ(f.reset(), 0);
    EXPECT_EQ(f.erase(), 5);
    ASSERT_EQ(f.close(), 0);
    EXPECT_EQ(f.erase(), 0);
    EXPECT_FALSE(d.exists("c:\\norvexa\\e.bin"));
    EXPECT_EQ(f.erase(), 2);
}

// ---------------------------------------------------------------- text files

TEST(TextFile, LineEndsAndTheEnd) {
    TempDrive d;
    d.write("c:\\norvexa\\t.txt", std::string("one\r\ntwo\nthree\r\r\n\x1a" "four\rx\n\nlast", 30));
    TextFile t(d.fs());
    t.assign("c:\\norvexa\\t.txt");
    ASSERT_EQ(t.reset(), 0);
    std::vector<std::string> lines;
    bool end = false;
    while (t.eof(end) == 0 && !end) {
        std::string line;
        ASSERT_EQ(t.readLine(line), 0);
        lines.push_back(line);
    }
    const std::vector<std::string> want = {"one", "two", "three\r", "\x1a" "four\rx", "", "last"};
    EXPECT_EQ(lines, want);
    std::string line = "stale";
    EXPECT_EQ(t.readLine(line), 0);  // past the end: empty text, no error
    EXPECT_EQ(line, "");
    ASSERT_EQ(t.close(), 0);
}

TEST(TextFile, WrittenLinesEndWithCrLfAndReachTheDiskOnClose) {
    TempDrive d;
    TextFile t(d.fs());
    t.assign("C:\\NORVEXA\\OUT.TXT");
    ASSERT_EQ(t.rewrite(), 0);
    ASSERT_EQ(t.write("a"), 0);
    ASSERT_EQ(t.writeLine("b\x1a"), 0);
    ASSERT_EQ(t.writeLine(""), 0);
    std::string line;
    EXPECT_NE(t.readLine(line), 0);  // not open for input
    ASSERT_EQ(t.close(), 0);
    EXPECT_EQ(d.read("c:\\norvexa\\OUT.TXT"), "ab\x1a\r\n\r\n");
    ASSERT_EQ(t.rewrite(), 0);  // empties
    ASSERT_EQ(t.close(), 0);
    EXPECT_EQ(d.read("c:\\norvexa\\OUT.TXT"), "");
    EXPECT_EQ(t.erase(), 0);
    EXPECT_FALSE(d.exists("c:\\norvexa\\OUT.TXT"));
}

TEST(TextFile, LongLinesAcrossTheBuffer) {
    TempDrive d;
    const std::string longLine(150000, 'q');
    d.write("c:\\norvexa\\l.txt", longLine + "\r\n" + longLine);
    TextFile t(d.fs());
    t.assign("c:\\norvexa\\l.txt");
    ASSERT_EQ(t.reset(), 0);
    std::string line;
    ASSERT_EQ(t.readLine(line), 0);
    EXPECT_EQ(line, longLine);
    ASSERT_EQ(t.readLine(line), 0);
    EXPECT_EQ(line, longLine);
    bool end = false;
    ASSERT_EQ(t.eof(end), 0);
    EXPECT_TRUE(end);
}

// ---------------------------------------------------------------- the fault seam

struct PlannedFaults : FaultHook {
    std::map<FileOp, int> codes;
    std::vector<FileOp> seen;
    int before(FileOp op, const std::string&) override {
        seen.push_back(op);
        auto it = codes.find(op);
        return it == codes.end() ? 0 : it->second;
    }
};

TEST(FaultHook, EveryOperationConsultsItFirstAndLeavesTheFileAlone) {
    TempDrive d;
    PlannedFaults plan;
    d.fs().setFaultHook(&plan);
    d.write("c:\\norvexa\\f.bin", "abc");
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\f.bin");
    plan.codes[FileOp::Create] = 29;
    EXPECT_EQ(f.rewrite(), 29);
    EXPECT_EQ(d.read("c:\\norvexa\\f.bin"), "abc");
    plan.codes[FileOp::Open] = 32;
    EXPECT_EQ(f.reset(), 32);
    EXPECT_FALSE(f.isOpen());
    plan.codes.clear();
    ASSERT_EQ(f.reset(), 0);

    const std::pair<FileOp, int> ops[] = {{FileOp::Read, 30}, {FileOp::Write, 29}, {FileOp::Eof, 31},
                                          {FileOp::Size, 21}, {FileOp::Position, 22},
                                          {FileOp::Seek, 25}, {FileOp::Close, 23}, {FileOp::Delete, 19}};
    for (const auto& [op, code] : ops) plan.codes[op] = code;
    std::uint8_t b = 0;
    std::size_t got = 9;
    std::int64_t n = 0;
    bool e = false;
    EXPECT_EQ(f.read(b), 30);
    EXPECT_EQ(f.readBlock(&b, 1, got), 30);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(f.write(1), 29);
    EXPECT_EQ(f.writeBlock(&b, 1), 29);
    EXPECT_EQ(f.eof(e), 31);
    EXPECT_EQ(f.size(n), 21);
    EXPECT_EQ(f.position(n), 22);
    EXPECT_EQ(f.seek(0), 25);
    EXPECT_EQ(f.close(), 23);
    EXPECT_TRUE(f.isOpen());
    EXPECT_EQ(d.fs().erase("c:\\norvexa\\f.bin"), 19);
    plan.codes.clear();
    ASSERT_EQ(f.read(b), 0);
    EXPECT_EQ(b, 'a');  // position untouched by the refused operations
    ASSERT_EQ(f.close(), 0);
    EXPECT_EQ(d.read("c:\\norvexa\\f.bin"), "abc");

    TextFile t(d.fs());
    t.assign("c:\\norvexa\\t.txt");
    plan.codes[FileOp::Create] = 5;
    EXPECT_EQ(t.rewrite(), 5);
    EXPECT_FALSE(d.exists("c:\\norvexa\\t.txt"));
    plan.codes.clear();
    ASSERT_EQ(t.rewrite(), 0);
    plan.codes[FileOp::Write] = 101;
    EXPECT_EQ(t.writeLine("x"), 101);
    plan.codes.clear();
    ASSERT_EQ(t.close(), 0);
    EXPECT_EQ(d.read("c:\\norvexa\\t.txt"), "");
    d.fs().setFaultHook(nullptr);
}

// ---------------------------------------------------------------- drive table

TEST(DriveTable, CaseInsensitiveResolution) {
    TempDrive d;
    { std::ofstream(d.root() / "norvexa" / "config.dta") << "x"; }
    const std::string nv = (d.root() / "norvexa").string();
    EXPECT_EQ(d.fs().hostPath("C:\\NORVEXA\\CONFIG.DTA"), nv + "/config.dta");
    EXPECT_EQ(d.fs().hostPath("c:\\norvexa\\"), nv);
    EXPECT_EQ(d.fs().hostPath("C:\\Norvexa\\NEW.TXT"), nv + "/NEW.TXT");
    // A missing component keeps its case, and so do all after it.
    EXPECT_EQ(d.fs().hostPath("c:\\Nope\\NORVEXA\\x"), d.root().string() + "/Nope/NORVEXA/x");
    EXPECT_EQ(d.fs().hostPath("C:"), d.root().string());
    EXPECT_EQ(d.fs().hostPath("/abs/Path\\x"), "/abs/Path\\x");
    // An exact spelling wins over a case-folded one.
    { std::ofstream(d.root() / "norvexa" / "CONFIG.DTA") << "y"; }
    EXPECT_EQ(d.fs().hostPath("C:\\NORVEXA\\CONFIG.DTA"), nv + "/CONFIG.DTA");
    EXPECT_EQ(d.fs().hostPath("c:\\norvexa\\config.dta"), nv + "/config.dta");
}

TEST(DriveTable, AccentedNamesBecomeUtf8HostNames) {
    TempDrive d;
    const std::string nv = (d.root() / "norvexa").string();
    // "számla ŐŰ.txt" as the program holds it (code page 1250) ...
    EXPECT_EQ(d.fs().hostPath("c:\\norvexa\\sz\xe1mla \xd5\xdb.txt"),
              nv + "/sz\xc3\xa1mla \xc5\x90\xc5\xb0.txt");
    EXPECT_EQ(d.fs().hostPath("/tmp/\xe9"), "/tmp/\xc3\xa9");
    // ... while a native UTF-8 path is taken as it stands.
    EXPECT_EQ(d.fs().hostPath("/tmp/sz\xc3\xa1mla"), "/tmp/sz\xc3\xa1mla");
    TextFile out(d.fs());
    out.assign("c:\\norvexa\\\xe1rlista.txt");
    ASSERT_EQ(out.rewrite(), kOk);
    ASSERT_EQ(out.close(), kOk);
    EXPECT_TRUE(fs::exists(d.root() / "norvexa" / "\xc3\xa1rlista.txt"));
    // Case-insensitive matching still finds the existing file by its ASCII letters.
    EXPECT_EQ(d.fs().hostPath("C:\\NORVEXA\\\xe1RLISTA.TXT"), nv + "/\xc3\xa1rlista.txt");
}

TEST(DriveTable, RelativeNamesResolveAgainstTheCurrentDirectory) {
    TempDrive d;
    const fs::path old = fs::current_path();
    fs::current_path(d.root());
    const std::string cwd = fs::current_path().string();
    EXPECT_EQ(d.fs().hostPath("nyomtat1.txt"), cwd + "/nyomtat1.txt");
    EXPECT_EQ(d.fs().hostPath("sub\\Dir\\x.txt"), cwd + "/sub/Dir/x.txt");
    fs::current_path(old);
}

TEST(DriveTable, CommandLineWinsOverEnvironmentOverDefault) {
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    const char* argvOpt[] = {"norvexa", "--drive-c", "/opt/c", "-x"};
    const char* argvEq[] = {"norvexa", "--drive-c=/eq/c"};
    const char* argvNone[] = {"norvexa", "--other"};
    ::setenv("NORVEXA_DRIVE_C", "/env/c", 1);
    EXPECT_EQ(DriveTable::fromCommandLine(4, argvOpt).driveC(), "/opt/c");
    EXPECT_EQ(DriveTable::fromCommandLine(2, argvEq).driveC(), "/eq/c");
    // The last one given wins (the launcher prepares the same drive).
    const char* argvTwo[] = {"norvexa", "--drive-c", "/a/c", "--drive-c=/b/c", "--drive-c", "/z/c"};
    EXPECT_EQ(DriveTable::fromCommandLine(6, argvTwo).driveC(), "/z/c");
    EXPECT_EQ(DriveTable::fromCommandLine(2, argvNone).driveC(), "/env/c");
    ::unsetenv("NORVEXA_DRIVE_C");
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(DriveTable::fromCommandLine(2, argvNone).driveC(),
              "/home/someone/.local/share/norvexa/drive_c");
    ::unsetenv("HOME");
    EXPECT_EQ(DriveTable::defaultDriveC(), "/tmp/norvexa/drive_c");
    if (home) ::setenv("HOME", savedHome.c_str(), 1);
    const char* argvDangling[] = {"norvexa", "--drive-c"};
    EXPECT_EQ(DriveTable::fromCommandLine(2, argvDangling).driveC(), DriveTable::defaultDriveC());
}

}  // namespace
}  // namespace nx
