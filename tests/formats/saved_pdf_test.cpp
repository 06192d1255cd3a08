// The names a job's PDF files get and where a batch is split, with a plain
// std::regex matcher standing in for the bounded one of the windows.
#include <gtest/gtest.h>

#include <regex>

#include "formats/saved_pdf.h"
#include "intake/history.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

class StdMatcher final : public LineMatcher {
public:
    explicit StdMatcher(std::regex re) : re_(std::move(re)) {}
    std::optional<std::string> firstMatch(std::string_view line) override {
        std::match_results<std::string_view::const_iterator> m;
        if (!std::regex_search(line.begin(), line.end(), m, re_)) return std::nullopt;
        return m.size() > 1 ? m[1].str() : m[0].str();
    }
    bool gaveUp() const override { return false; }

private:
    std::regex re_;
};

std::unique_ptr<LineMatcher> compile(const std::string& pattern, std::string& why) {
    try {
        return std::make_unique<StdMatcher>(std::regex(pattern, std::regex::ECMAScript | std::regex::multiline));
    } catch (const std::regex_error& e) {
        why = e.what();
        return nullptr;
    }
}

TEST(SavedPdf, NamesAreMadeOfTheFieldsAndTheDocumentsOwnTextAndStayInTheirDirectory) {
    NameFields f;
    f.file = "SZAMLA";
    f.folder = "IRODA";
    f.takenAt = 1765337096;  // some local time
    f.firstPage = 4;
    f.pages = {"  SZ\xc3\x81MLA\nSorsz\xc3\xa1m: 2026/017\nV\xc3\xa9g\xc3\xb6sszeg: 1 200 Ft", "folytat\xc3\xa1s"};
    std::vector<std::string> told;
    const std::string when = localIsoTime(f.takenAt);
    EXPECT_EQ(savedName("", f, compile, told),
              "SZAMLA_" + when.substr(0, 10) + "_" + when.substr(11, 2) + when.substr(14, 2) + when.substr(17, 2));
    EXPECT_EQ(savedName("{mappa}-{oldal}-{szoveg:Sorsz\xc3\xa1m:\\s*(\\S+)}", f, compile, told), "IRODA-4-2026_017");
    // Braces in pairs inside a pattern; the whole match where it has no group.
    EXPECT_EQ(savedName("{szoveg:\\d{4}}", f, compile, told), "2026");
    // Nothing matched: "-"; characters no file name holds: "_"; a name cut to 120.
    EXPECT_EQ(savedName("x{szoveg:NINCS}y", f, compile, told), "x-y");
    EXPECT_EQ(savedName("a:b*c?\"d<e>f|g\\h/i\tj", f, compile, told), "a_b_c__d_e_f_g_h_i_j");
    EXPECT_EQ(savedName(std::string(300, 'n'), f, compile, told).size(), kMaxSavedName);
    // Text that would climb out of the directory stays a plain name in it.
    f.pages = {"Sorsz\xc3\xa1m: ../../etc/passwd", ""};
    EXPECT_EQ(savedName("{szoveg:Sorsz\xc3\xa1m: (.*)}", f, compile, told), ".._.._etc_passwd");
    f.pages = {"Sorsz\xc3\xa1m: ..", ""};
    EXPECT_EQ(savedName("{szoveg:Sorsz\xc3\xa1m: (.*)}", f, compile, told), "._");
    EXPECT_TRUE(told.empty());
    // A pattern that does not compile is told, and its field is "-".
    EXPECT_EQ(savedName("{szoveg:(x}", f, compile, told), "-");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(nameTemplateProblem("{szoveg:(x}", compile), "");
    EXPECT_NE(nameTemplateProblem("{fajl", compile), "");
    EXPECT_NE(nameTemplateProblem("{ismeretlen}", compile), "");
    EXPECT_EQ(nameTemplateProblem("szamla_{szoveg:\\d{4}}_{datum}", compile), "");
}

TEST(SavedPdf, ABatchIsSplitAtThePagesThatMatchAndAnExistingFileIsNeverOverwritten) {
    const std::vector<std::string> pages = {"SZ\xc3\x81MLA 1", "folytat\xc3\xa1s", "  SZ\xc3\x81MLA 2", "SZ\xc3\x81MLA 3"};
    std::string why;
    auto separator = compile("^\\s*SZ\xc3\x81MLA", why);
    EXPECT_EQ(documentStarts(pages, *separator), (std::vector<int>{1, 3, 4}));
    auto never = compile("NINCS", why);
    EXPECT_EQ(documentStarts(pages, *never), (std::vector<int>{1}));
    auto always = compile(".", why);
    EXPECT_EQ(documentStarts(pages, *always), (std::vector<int>{1, 2, 3, 4}));

    test::TempDrive drive;
    drive.mkdir("C:\\PDF");
    EXPECT_EQ(freshPdfPath(drive.fs(), "C:\\PDF", "a"), "C:\\PDF\\a.pdf");
    drive.write("C:\\PDF\\a.pdf", "1");
    drive.write("C:\\PDF\\a (2).pdf", "2");
    EXPECT_EQ(freshPdfPath(drive.fs(), "C:\\PDF", "a"), "C:\\PDF\\a (3).pdf");
}

}  // namespace
}  // namespace nx
