// Real DOS-era files beside the project (skipped when they are absent).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "intake/charmap.h"
#include "intake/jobcopy.h"
#include "intake/paths.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

using test::TempDrive;

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A vendor table: byte -> code point ("0xNN<TAB>0xUUUU<TAB>#NAME"; undefined bytes absent).
std::map<int, long> vendorTable(const std::filesystem::path& p) {
    std::map<int, long> t;
    std::istringstream in(slurp(p));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string b, u;
        if (fields >> b >> u && u.rfind("0x", 0) == 0) t[std::stoi(b, nullptr, 16)] = std::stol(u, nullptr, 16);
    }
    return t;
}

std::string copyThroughService(const std::string& bytes) {
    TempDrive d;
    d.mkdir("c:\\talvera");
    d.write("c:\\talvera\\wnyomtat.txt", bytes);
    ByteFile job(d.fs());
    job.assign("c:\\talvera\\wnyomtat.txt");
    if (job.reset() != 0) return "<no open>";
    NoProgress p;
    const auto r = copyJob(d.fs(), job, paths::kWorkingCopy, paths::kLastJobCopy, p);
    if (r.status != JobCopyResult::Status::Copied) return "<failed>";
    const std::string last = d.read(paths::kLastJobCopy);
    return d.read(paths::kWorkingCopy) == last ? last : "<copies differ>";
}

TEST(RealData, CharMapAgreesWithTheVendorTables) {
    const std::string shared = test::sharedDir();
    if (shared.empty()) GTEST_SKIP() << "no shared files beside the project";
    const auto cp852 = vendorTable(std::filesystem::path(shared) / "codepages" / "CP852.TXT");
    const auto cp1250 = vendorTable(std::filesystem::path(shared) / "codepages" / "CP1250.TXT");
    ASSERT_EQ(cp852.size(), 256u);
    int letters = 0, lines = 0;
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t m = mapByte(static_cast<std::uint8_t>(b));
        const long u = cp852.at(b);
        if (u >= 0x2500 && u <= 0x257F) {
            ++lines;
            EXPECT_TRUE(m >= 20 && m <= 30) << b;
        } else if (m != b && b != 0x20) {
            ++letters;
            ASSERT_TRUE(cp1250.count(m)) << b;
            EXPECT_EQ(cp1250.at(m), u) << "byte " << b;
        }
    }
    EXPECT_EQ(lines, 22);
    EXPECT_EQ(letters, 17);  // the 18th, 0xFB, keeps its value
    EXPECT_EQ(cp1250.at(0xFB), cp852.at(0xFB));
}

TEST(RealData, HungarianTextComesOutInTheWindowsCodePage) {
    const std::string shared = test::sharedDir();
    if (shared.empty()) GTEST_SKIP() << "no shared files beside the project";
    const std::filesystem::path dir = std::filesystem::path(shared) / "realdata";
    std::string want = slurp(dir / "enca_hu-s.cp1250");
    ASSERT_FALSE(want.empty());
    for (char& c : want)
        if (c == ' ') c = '\x0B';
    EXPECT_EQ(copyThroughService(slurp(dir / "enca_hu-s.ibm852")), want);
}

TEST(RealData, HostPrintoutsKeepEveryByte) {
    const std::string shared = test::sharedDir();
    if (shared.empty()) GTEST_SKIP() << "no shared files beside the project";
    const std::filesystem::path dir = std::filesystem::path(shared) / "realdata";
    for (const char* name : {"fmk_komp852.txt", "fmk_nar.txt", "fmk_payroll_epson.txt",
                             "dotprint_test2.KEYBCS2.prn", "dosprint_pmmain_000.prt"}) {
        const std::string in = slurp(dir / name);
        ASSERT_FALSE(in.empty()) << name;
        std::string want = in;
        for (char& c : want) c = static_cast<char>(mapByte(static_cast<std::uint8_t>(c)));
        const std::string got = copyThroughService(in);
        EXPECT_EQ(got.size(), in.size()) << name;
        EXPECT_EQ(got, want) << name;
        EXPECT_EQ(got.find(' '), std::string::npos) << name;  // every space became code 11
    }
}

}  // namespace
}  // namespace nx
