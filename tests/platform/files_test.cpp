#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/temp_drive.h"

namespace nx {
namespace {

using test::TempDrive;

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
    EXPECT_EQ(ioMessage(-7), "I/O error -7");

    EXPECT_EQ(withFullStop("File not found"), "File not found.");
    EXPECT_EQ(withFullStop("I/O error 32"), "I/O error 32.");  // '2' sorts after '.'
    EXPECT_EQ(withFullStop("Done."), "Done.");
    EXPECT_EQ(withFullStop("Hmm!"), "Hmm!");                  // '!' sorts before '.'
    EXPECT_EQ(withFullStop("a-"), "a-");                      // '-' sorts before '.'
    EXPECT_EQ(withFullStop("a/"), "a/.");                     // '/' sorts after '.'
    EXPECT_EQ(withFullStop(""), "");
    EXPECT_EQ(withFullStop("\xE9"), "\xE9.");                 // high bytes are unsigned

    IoError e(5);
    EXPECT_EQ(e.code(), 5);
    EXPECT_STREQ(e.what(), "File access denied");
    EXPECT_THROW(check(100), IoError);
    EXPECT_NO_THROW(check(0));
}

TEST(ResultFromErrno, EveryMapping) {
    TempDrive d;
    const std::string inExisting = (d.root() / "norvexa" / "missing.txt").string();
    const std::string inMissing = (d.root() / "nodir" / "missing.txt").string();
    EXPECT_EQ(resultFromErrno(ENOENT, inExisting), 2);
    EXPECT_EQ(resultFromErrno(ENOENT, inMissing), 3);
    EXPECT_EQ(resultFromErrno(ENOTDIR, inExisting), 3);
    for (int e : {EACCES, EPERM, EROFS, EISDIR}) EXPECT_EQ(resultFromErrno(e, inExisting), 5) << e;
    for (int e : {EMFILE, ENFILE}) EXPECT_EQ(resultFromErrno(e, inExisting), 4) << e;
    EXPECT_EQ(resultFromErrno(ENOSPC, inExisting), 101);
    EXPECT_EQ(resultFromErrno(EWOULDBLOCK, inExisting), 32);
    EXPECT_EQ(resultFromErrno(0, inExisting), 0);
    EXPECT_NE(resultFromErrno(EIO, inExisting), 0);
}

TEST(ByteFile, WriteReadEofSizeClose) {
    TempDrive d;
    ByteFile f(d.fs());
    f.assign("c:\\norvexa\\a.bin");
    ASSERT_EQ(f.reset(), 2);
    ASSERT_EQ(f.rewrite(), 0);
    for (int b = 1; b <= 3; ++b) ASSERT_EQ(f.write(static_cast<std::uint8_t>(b)), 0);
    std::int64_t n = -1;
    ASSERT_EQ(f.size(n), 0);
    EXPECT_EQ(n, 3);
    ASSERT_EQ(f.close(), 0);
    EXPECT_EQ(f.close(), 103);
    EXPECT_EQ(d.read("c:\\norvexa\\a.bin"), std::string("\x01\x02\x03", 3));

    ASSERT_EQ(f.reset(), 0);
    std::uint8_t b = 0;
    bool end = true;
    std::string got;
    while (f.eof(end) == 0 && !end) {
        ASSERT_EQ(f.read(b), 0);
        got.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(got, std::string("\x01\x02\x03", 3));
    EXPECT_EQ(f.read(b), 100);
    ASSERT_EQ(f.close(), 0);
    EXPECT_EQ(f.read(b), 103);
}

TEST(DriveTable, CaseInsensitiveResolution) {
    TempDrive d;
    std::filesystem::create_directories(d.root() / "norvexa");
    { std::ofstream(d.root() / "norvexa" / "config.dta") << "x"; }
    EXPECT_EQ(d.fs().hostPath("C:\\NORVEXA\\CONFIG.DTA"), (d.root() / "norvexa" / "config.dta").string());
    EXPECT_EQ(d.fs().hostPath("C:\\NORVEXA\\NEW.TXT"), (d.root() / "norvexa" / "NEW.TXT").string());
    EXPECT_EQ(d.fs().hostPath("c:\\Nope\\Sub\\x"), (d.root() / "Nope" / "Sub" / "x").string());
    EXPECT_EQ(d.fs().hostPath("/abs/Path"), "/abs/Path");
}

}  // namespace
}  // namespace nx
