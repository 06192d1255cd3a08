// The sample host jobs of samples/, converted through the character map and drawn by
// both targets on the recording fakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "intake/charmap.h"
#include "platform/cp1250_utf8.h"
#include "render/preview_page.h"
#include "render/printer_output.h"
#include "tests/render/render_fixture.h"

namespace nx {
namespace {

using test::RecordingSurface;

std::string readHost(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path samplesDir() { return std::filesystem::path(NORVEXA_SOURCE_DIR) / "samples"; }

std::string converted(const std::string& name) {
    std::string bytes = readHost(samplesDir() / name);
    for (char& c : bytes) c = static_cast<char>(mapByte(static_cast<std::uint8_t>(c)));
    return bytes;
}

class SamplesTest : public ::testing::Test, protected test::RenderFixture {
protected:
    test::RecordingPrintJob job;
    static constexpr const char* kJob = "c:\\norvexa\\nyomtat1.txt";

    void print(const std::string& sample) {
        const std::string stream = converted(sample);
        ASSERT_FALSE(stream.empty()) << sample;
        drive.write(kJob, stream);
        printStream(ctx, kJob, job, false);
    }
};

TEST_F(SamplesTest, PagesFollowTheFormFeeds) {
    for (auto [name, pages] : std::map<std::string, int>{{"invoice.txt", 1}, {"ledger.txt", 4}, {"report.txt", 2}}) {
        job = test::RecordingPrintJob();
        print(name);
        EXPECT_EQ(job.pages, pages) << name;
        EXPECT_FALSE(job.aborted);
    }
}

TEST_F(SamplesTest, InvoiceTableBarsAlignAndRulesJoin) {
    print("invoice.txt");
    // Vertical bars: per text line (cell top y), the x of every full-height bar.
    std::map<int, std::set<int>> barsByRow;
    std::map<int, std::vector<std::pair<int, int>>> horizontalByY;
    for (const RecordingSurface::Segment& s : job.page.lines()) {
        if (s.x1 == s.x2) barsByRow[std::min(s.y1, s.y2)].insert(s.x1);
        if (s.y1 == s.y2) horizontalByY[s.y1].push_back({std::min(s.x1, s.x2), std::max(s.x1, s.x2)});
    }
    // Rows holding seven bars are the table's text rows; all share the same columns.
    std::vector<std::set<int>> rows;
    for (const auto& [y, xs] : barsByRow)
        if (xs.size() == 7) rows.push_back(xs);
    ASSERT_GE(rows.size(), 13u);  // the heading and twelve items
    for (const std::set<int>& xs : rows) EXPECT_EQ(xs, rows.front());

    // Every horizontal rule is one unbroken stretch from its first corner to its last.
    int rules = 0;
    for (auto& [y, parts] : horizontalByY) {
        std::sort(parts.begin(), parts.end());
        if (parts.size() < 60) continue;  // the two signature boxes are shorter
        ++rules;
        int reach = parts.front().second;
        for (const auto& [from, to] : parts) {
            EXPECT_LE(from, reach) << "gap in the rule at y " << y;
            reach = std::max(reach, to);
        }
        EXPECT_EQ(parts.front().first, *rows.front().begin()) << y;
        EXPECT_EQ(reach, *rows.front().rbegin()) << y;
    }
    EXPECT_EQ(rules, 14);  // top, below the heading, eleven between the items, bottom
}

TEST_F(SamplesTest, InvoiceCarriesTheHungarianLetters) {
    print("invoice.txt");
    std::string all;
    for (const auto& t : job.page.texts()) all += utf8ToCp1250(t.text);
    // őűáéíóúöü ŐŰÁÉÍÓÚÖÜ in code page 1250.
    for (unsigned char c : std::string("\xf5\xfb\xe1\xe9\xed\xf3\xfa\xf6\xfc\xd5\xdb\xc1\xc9\xcd\xd3\xda\xd6\xdc"))
        EXPECT_NE(all.find(static_cast<char>(c)), std::string::npos) << int(c);
    // No line-drawing byte is left as text.
    for (const auto& t : job.page.texts())
        for (unsigned char c : t.text) EXPECT_GE(c, 32);
}

TEST_F(SamplesTest, LedgerPagesStartAfreshInThePreviewButNotInPrint) {
    drive.write(kJob, converted("ledger.txt"));
    RecordingSurface image;
    EXPECT_EQ(renderPreviewPage(ctx, kJob, 2, image, 800, 1100), 0);
    std::vector<RecordingSurface::TextRun> t = image.texts();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0].x, 8);
    EXPECT_EQ(t[0].y, 8);
    EXPECT_EQ(t[0].size, settings.dbl);
    // Page 2's heading is drawn double (its own code), the table condensed.
    bool condensed = std::any_of(t.begin(), t.end(), [&](const auto& r) { return r.size == settings.condensed; });
    EXPECT_TRUE(condensed);
}

TEST(SamplesGenerator, ReproducesTheCommittedFiles) {
    if (std::system("python3 --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not available";
    test::TempDrive drive;
    const std::filesystem::path out = drive.root() / "samples";
    std::filesystem::create_directory(out);
    const std::string cmd = "python3 '" + (samplesDir() / "generate.py").string() + "' --out '" + out.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const char* name : {"invoice.txt", "ledger.txt", "report.txt"})
        EXPECT_EQ(readHost(out / name), readHost(samplesDir() / name)) << name << " differs from a fresh run";

    const std::filesystem::path big = drive.root() / "big.txt";
    const std::string bigCmd = "python3 '" + (samplesDir() / "generate.py").string() + "' --big '" + big.string() + "' --pages 6";
    ASSERT_EQ(std::system(bigCmd.c_str()), 0);
    const std::string bytes = readHost(big);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\x0c'), 5);
    const auto lines = std::count(bytes.begin(), bytes.end(), '\n');
    ASSERT_GT(lines, 0);
    const double perLine = static_cast<double>(bytes.size()) / static_cast<double>(lines);
    EXPECT_GT(perLine, 80.0);
    EXPECT_LT(perLine, 110.0);
}

}  // namespace
}  // namespace nx
