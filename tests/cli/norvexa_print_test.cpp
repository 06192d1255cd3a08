// norvexa-print as a command: arguments and exit statuses, and what each action writes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "intake/charmap.h"
#include "intake/settings.h"
#include "tests/cli/cli_support.h"
#include "tests/support/temp_drive.h"

namespace fs = std::filesystem;

namespace {

using nx::test::Cli;
using nx::test::Result;
using nx::test::slurp;
using nx::test::spit;
using nx::test::quote;

TEST_F(Cli, BadArgumentsGiveTheUsageAndStatusTwo) {
    const fs::path j = job("j.txt", "x\r\n");
    const std::vector<std::vector<std::string>> bad = {
        {},
        {j.string()},                                          // no action
        {"--pdf", "a.pdf"},                                    // no job
        {j.string(), "--pdf"},                                 // action without its value
        {j.string(), "--pdf", "a.pdf", "--text", "b.txt"},     // two actions
        {j.string(), "--frobnicate", "--trace"},
        {j.string(), j.string(), "--trace"},                   // two jobs
        {j.string(), "--pdf", "a.pdf", "--page", "2"},         // --page without --png/--trace
        {j.string(), "--trace", "--page", "0"},
        {j.string(), "--trace", "--page", "x"},
        {j.string(), "--dpi", "0", "--trace"},
        {j.string(), "--dpi", "600dpi", "--trace"},
    };
    for (const auto& args : bad) {
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        SCOPED_TRACE(shown);
        const Result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: norvexa-print"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(fs::exists(dir / "a.pdf"));
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--trace [--page N]"), std::string::npos);
}

TEST_F(Cli, InputOutputErrorsGiveTheirMessageAndStatusOne) {
    Result r = run({(dir / "nincs.txt").string(), "--png", (dir / "p.png").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nincs.txt: File not found."), std::string::npos) << r.err;
    // The preview would create a missing file; the command does not.
    EXPECT_FALSE(fs::exists(dir / "nincs.txt"));
    EXPECT_FALSE(fs::exists(dir / "p.png"));

    const fs::path j = job("j.txt", "x\r\n");
    r = run({j.string(), "--convert", (dir / "no" / "such" / "out.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("out.txt: "), std::string::npos) << r.err;

    r = run({"--settings", (dir / "config.dta").string(), j.string(), "--trace"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("config.dta: File not found."), std::string::npos) << r.err;

    spit(dir / "short.dta", std::string(27, '\0'));
    r = run({"--settings", (dir / "short.dta").string(), j.string(), "--trace"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("short.dta: Read beyond end of file."), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());

    r = run({j.string(), "--printer", "norvexa-no-such-queue"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no such printer"), std::string::npos) << r.err;
}

TEST_F(Cli, ConvertWritesTheJobThroughTheCharacterMapByteForByte) {
    std::string all;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const fs::path j = job("all.txt", all);
    const Result r = run({j.string(), "--convert", (dir / "stream.txt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string got = slurp(dir / "stream.txt");
    ASSERT_EQ(got.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(got[i]), nx::mapByte(static_cast<std::uint8_t>(all[i]))) << i;
    // --converted does not apply to the conversion itself: the output is the map's.
    EXPECT_EQ(run({"--converted", j.string(), "--convert", (dir / "again.txt").string()}).status, 0);
    EXPECT_EQ(slurp(dir / "again.txt"), got);
}

TEST_F(Cli, TextWritesThePlainTextExport) {
    // Print-stream bytes: bold, space codes, a box cell, a form feed inside a line.
    const fs::path j = job("s.txt", std::string("\x01" "Sz\xe1mla\x02\x0b\x0b" "1\x14\r\n" "a\x0c" "b\n" "\x1f" "c"));
    const Result r = run({"--converted", j.string(), "--text", (dir / "out.txt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(dir / "out.txt"), std::string("Sz\xe1mla  1\r\na\x0c" "b\r\nc\r\n"));
}

TEST_F(Cli, TraceListsTheInterpretersCallsInPrinterUnits) {
    // Bold "AB", a space code, "C"; a line with one vertical bar; a form feed that
    // starts page 2 with "D" at the origin, still bold.
    const fs::path j = job("t.txt", "\x01" "AB\x0b" "C\r\n\x14\n\x0c" "D\n" "E");
    Result r = run({"--converted", j.string(), "--trace"});
    ASSERT_EQ(r.status, 0) << r.err;
    // 11 pt at 600 dpi: 92 px, "W" 55 by 105, "u" 55.
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "P 1",
                                "F 11 1 55 105 55",
                                "T 0 0 110 4142",
                                "T 165 0 55 43",
                                "L 27 109 27 214",
                                "P 2",
                                "T 0 0 55 44",
                                "T 0 109 55 45",
                            }));

    // Margins and variable line height from a settings record, at 300 dpi.
    nx::Settings s;
    s.leftMargin = 100;
    s.topMargin = 50;
    s.variableLineHeight = 1;
    const auto rec = s.encode();
    spit(dir / "config.dta", std::string(rec.begin(), rec.end()));
    r = run({"--converted", "--settings", (dir / "config.dta").string(), "--dpi", "300", j.string(), "--trace"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_GE(l.size(), 5u);
    EXPECT_EQ(l[1], "F 11 1 28 52 28");  // 46 px
    EXPECT_EQ(l[2], "T 100 50 56 4142");
    EXPECT_EQ(l[4], "L 114 106 114 158");  // line height 52 + 4; bar at x + 14
}

TEST_F(Cli, TraceOfAPreviewPageStartsItInTheNormalFont) {
    const fs::path j = job("t.txt", "\x01" "AB\r\n\x0c" "D\x0c" "X\n");
    const Result r = run({"--converted", j.string(), "--trace", "--page", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Screen units from the preview's origin (8, 8); the form feed ends the page.
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{"P 2", "F 11 0 9 17 9", "T 8 8 9 44"}));
}

TEST_F(Cli, HostJobsGoThroughTheCharacterMapFirst) {
    // Code page 852: a horizontal box line and "\xa0" (a with acute).
    const fs::path j = job("h.txt", "\xc4\xa0\r\n");
    const Result r = run({j.string(), "--trace", "--page", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{"P 1", "F 11 0 9 17 9", "L 8 16 17 16", "T 17 8 9 E1"}));
}

TEST_F(Cli, PngIsThePreviewImage) {
    const fs::path j = job("p.txt", "\xda\xc4\xbf\r\n\xb3\x82\xb3\r\n\xc0\xc4\xd9\r\n");
    const Result r = run({j.string(), "--png", (dir / "p.png").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string png = slurp(dir / "p.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 80 * 9);         // 80 columns of "W"
    EXPECT_EQ(be32(20), 66 * (17 + 4));  // 66 lines of "W" and the gap
}

TEST_F(Cli, PdfHoldsTheWholeJobOnA4) {
    if (std::system("pdfinfo -v >/dev/null 2>&1") == -1) GTEST_SKIP();
    const fs::path j = job("d.txt", "egy\r\n\x0c" "kett\x8b\r\n\x0c" "h\xa0rom\r\nv\x82ge\r\n");
    const Result r = run({j.string(), "--landscape", "--pdf", (dir / "d.pdf").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path info = dir / "info";
    ASSERT_EQ(std::system(("pdfinfo " + quote((dir / "d.pdf").string()) + " >" + quote(info.string())).c_str()), 0);
    const std::string text = slurp(info);
    EXPECT_NE(text.find("Pages:           3"), std::string::npos) << text;
    EXPECT_NE(text.find("842 x 595 pts (A4)"), std::string::npos) << text;
    EXPECT_NE(text.find("Nyomtat\u00e1si eredm\u00e9ny"), std::string::npos) << text;
}

}  // namespace

namespace {

// An ESC/P job through every action: an 852 box with a Hungarian word, a bit image
// and two pages.
TEST_F(Cli, EscpJobsGoThroughEveryAction) {
    const std::string bytes = std::string("\x1b@\xda\xc4\xbf\r\n\xb3\xa2\xb3 \x8b" "r\r\n\xc0\xc4\xd9") +
                              std::string("\x1bK\x01\x00\xff\x0c\x1b" "EM\xa0sodik\x0c", 16);
    const fs::path j = job("j.prn", bytes);
    const fs::path pdf = dir / "e.pdf", text = dir / "e.txt", png = dir / "e.png";
    ASSERT_EQ(run({"--escp", "--codepage", "852", j.string(), "--pdf", pdf.string()}).status, 0);
    ASSERT_EQ(std::system(("pdftotext " + quote(pdf.string()) + " " + quote((dir / "p.txt").string())).c_str()), 0);
    const std::string inPdf = slurp(dir / "p.txt");
    EXPECT_NE(inPdf.find("\xc5\x91r"), std::string::npos) << inPdf;  // "őr"
    EXPECT_NE(inPdf.find("M\xc3\xa1sodik"), std::string::npos) << inPdf;
    EXPECT_EQ(inPdf.find("\xe2\x94"), std::string::npos) << "box characters as letters";

    // The text: UTF-8 lines, the box left out, a form feed between the pages.
    ASSERT_EQ(run({"--escp", "--codepage", "852", j.string(), "--text", text.string()}).status, 0);
    EXPECT_EQ(slurp(text), " \xc3\xb3  \xc5\x91r\n\fM\xc3\xa1sodik\n");

    // The trace: the UTF-8 of the drawn text, the image's dots as ink.
    const Result t = run({"--escp", "--codepage", "852", j.string(), "--trace", "--dpi", "60"});
    ASSERT_EQ(t.status, 0) << t.err;
    // A page of A4's length is fitted into the PDF page's printable area (its
    // letters then drawn one by one), 1/6 inch from the corner.
    EXPECT_NE(t.out.find(" C591\nT 39 20 5 72\n"), std::string::npos) << t.out;  // "őr"
    // The image's column of 8 dots at 0.3", 0.333": one unit each at 60 dpi.
    EXPECT_NE(t.out.find("\nR 27 29 1 1\nR 27 30 1 1\n"), std::string::npos) << t.out;
    EXPECT_NE(t.out.find("\nP 2\n"), std::string::npos);

    // A page the job does not have is refused; --pins and --codepage need --escp.
    EXPECT_EQ(run({"--escp", j.string(), "--png", png.string(), "--page", "3"}).status, 1);
    EXPECT_EQ(run({"--codepage", "852", j.string(), "--pdf", pdf.string()}).status, 2);
    EXPECT_EQ(run({"--escp", "--converted", j.string(), "--pdf", pdf.string()}).status, 2);
    ASSERT_EQ(run({"--escp", "--pins", "9", j.string(), "--png", png.string(), "--page", "2"}).status, 0);
    EXPECT_TRUE(fs::exists(png));
}

// Where pdftotext finds `word` on page `page` of `pdf`: its left and top in points;
// {-1, -1} when it is not there.
std::pair<double, double> wordAt(const fs::path& pdf, int page, const std::string& word) {
    const fs::path out = pdf.string() + ".bbox";
    const std::string cmd = "pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) + " " +
                            quote(pdf.string()) + " " + quote(out.string());
    if (std::system(cmd.c_str()) != 0) return {-1, -1};
    const std::string html = slurp(out);
    const std::size_t end = html.find(">" + word + "</word>");
    if (end == std::string::npos) return {-1, -1};
    const std::size_t start = html.rfind("<word", end);
    auto attribute = [&](const std::string& name) {
        const std::size_t at = html.find(name + "=\"", start);
        return std::stod(html.substr(at + name.size() + 2));
    };
    return {attribute("xMin"), attribute("yMin")};
}

// A 12-inch page (ESC C 72) on A4: one sheet a page, every line on it; the paper
// and the offset place it.
TEST_F(Cli, AnEscpPageLongerThanTheSheetIsFittedAndPaperAndOffsetPlaceIt) {
    std::string twelve = "\x1b" "C\x48";
    for (int p = 1; p <= 2; ++p) {
        for (int i = 1; i <= 72; ++i) twelve += "P" + std::to_string(p) + "L" + std::to_string(i) + "\r\n";
        twelve += "\x0c";
    }
    const fs::path j = job("twelve.prn", twelve), pdf = dir / "twelve.pdf";
    ASSERT_EQ(run({"--escp", j.string(), "--pdf", pdf.string()}).status, 0);
    for (int p = 1; p <= 2; ++p) {
        for (int i = 1; i <= 72; ++i) {
            const std::string word = "P" + std::to_string(p) + "L" + std::to_string(i);
            const auto [x, y] = wordAt(pdf, p, word);
            ASSERT_GE(y, 0) << word << " is not on sheet " << p;
            EXPECT_LT(y + 11, 842) << word;  // the line, letters of 11 points, above the foot
        }
    }
    EXPECT_EQ(wordAt(pdf, 3, "P2L72").first, -1);  // two sheets, no third

    // An 11-inch page is drawn at its own size; an offset of 10,5 mm moves its
    // letters by exactly that; Letter is the PDF's page.
    std::string eleven = "\x1b" "C\x42";
    for (int i = 1; i <= 66; ++i) eleven += "L" + std::to_string(i) + "\r\n";
    const fs::path e = job("eleven.prn", eleven), plain = dir / "e0.pdf", moved = dir / "e1.pdf";
    ASSERT_EQ(run({"--escp", e.string(), "--pdf", plain.string()}).status, 0);
    ASSERT_EQ(run({"--escp", "--offset", "10,5", e.string(), "--pdf", moved.string()}).status, 0);
    const auto [x0, y0] = wordAt(plain, 1, "L66");
    const auto [x1, y1] = wordAt(moved, 1, "L66");
    EXPECT_NEAR(y0, 12 + 65 * 12, 0.5);  // 65 sixths of an inch below the printable corner
    EXPECT_NEAR(x1 - x0, 10 * 72 / 25.4, 0.5);
    EXPECT_NEAR(y1 - y0, 5 * 72 / 25.4, 0.5);
    ASSERT_EQ(run({"--escp", "--paper", "letter", e.string(), "--pdf", moved.string()}).status, 0);
    ASSERT_EQ(std::system(("pdfinfo " + quote(moved.string()) + " >" + quote((dir / "info").string())).c_str()), 0);
    EXPECT_NE(slurp(dir / "info").find("612 x 792 pts"), std::string::npos);
    EXPECT_EQ(run({"--escp", "--offset", "51,0", e.string(), "--pdf", moved.string()}).status, 2);
    EXPECT_EQ(run({"--paper", "A5", e.string(), "--pdf", moved.string()}).status, 2);
}

// The launcher asks the program for drive C and its directories: with two
// --drive-c options it prepares the drive the program then watches (the last).
TEST_F(Cli, TheLauncherPreparesTheDriveTheProgramWatches) {
    const fs::path first = dir / "first", last = dir / "last";
    const fs::path out = dir / "launched";
    // The "program" started is norvexa-print answering the same question.
    const std::string cmd = "NORVEXA_PRINT=" + quote(NORVEXA_PRINT) + " NORVEXA_PROGRAM=" +
                            quote(NORVEXA_PRINT) + " " + quote(NORVEXA_LAUNCH) + " --drive-c " +
                            quote(first.string()) + " --drive-c=" + quote(last.string()) +
                            " --drive-layout >" + quote(out.string());
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::istringstream lines(slurp(out));
    std::string watched;
    std::getline(lines, watched);
    EXPECT_EQ(watched, last.string());
    EXPECT_FALSE(fs::exists(first));
    int made = 0;
    for (std::string name; std::getline(lines, name); ++made)
        EXPECT_TRUE(fs::is_directory(last / name)) << name;
    EXPECT_EQ(made, 8);  // the service's directory and the seven host programs'
}

}  // namespace
