// Every job format through the one face the outputs use: the same expectations for
// each. A new format adds its row to kFormats.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "formats/open.h"
#include "tests/support/recording.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

using Pages = std::vector<std::vector<std::string>>;

// The job every format holds: three pages, the first of two lines, parted by form
// feeds at the start of a line.
const Pages kJobPages = {{"ONE", "uno"}, {"TWO"}, {"THREE", "end"}};

struct Format {
    const char* name;
    std::string bytes;  // kJobPages in the format
    std::optional<WatchedFolder> folder;
    int margin;  // the line format's origin on the printer, in device units
};

const Format kFormats[] = {
    // The seven programs' print stream, printed from the preview's origin.
    {"line", "ONE\nuno\n\fTWO\n\fTHREE\nend\n", std::nullopt, 8},
    // A watched folder's ESC/P job.
    {"escp", "\x1b@ONE\r\nuno\r\n\fTWO\r\n\fTHREE\r\nend\r\n", WatchedFolder{"C:\\IRODA", 24, 852, false}, 0},
};

void PrintTo(const Format& format, std::ostream* os) { *os << format.name; }

// The lines of each page of a text: CR dropped, pages at form feeds, blank lines
// at a page's ends left out.
Pages pagesOf(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    Pages pages(1);
    std::string line;
    for (char c : text) {
        if (c == '\f' || c == '\n') {
            if (!line.empty() || !pages.back().empty()) pages.back().push_back(line);
            line.clear();
            if (c == '\f') pages.emplace_back();
        } else {
            line += c;
        }
    }
    if (!line.empty()) pages.back().push_back(line);
    for (auto& page : pages)
        while (!page.empty() && page.back().find_first_not_of(' ') == std::string::npos) page.pop_back();
    return pages;
}

// The texts drawn on `page`, without the page number.
std::vector<std::tuple<int, int, std::string>> textsOn(const test::RecordingSurface& s, int page) {
    std::vector<std::tuple<int, int, std::string>> out;
    for (const auto& t : s.texts())
        if (t.page == page) out.emplace_back(t.x, t.y, t.text);
    return out;
}

class EveryFormat : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override {
        drive.write(kPath, GetParam().bytes);
        settings.leftMargin = settings.topMargin = GetParam().margin;
        doc = openDocument(drive.fs(), std::string(kPath), {GetParam().folder, {}},
                           {settings, [] { return false; }});
    }
    std::string text(bool exported) {
        TextFile target(drive.fs());
        target.assign("c:\\norvexa\\szoveg.txt");
        EXPECT_EQ(target.rewrite(), 0);
        if (exported) doc->exportText(target, progress);
        else doc->writeText(target, progress);
        return drive.read("c:\\norvexa\\szoveg.txt");
    }

    static constexpr std::string_view kPath = "c:\\norvexa\\job.prn";
    static constexpr int kDpi = 180;
    test::TempDrive drive;
    Settings settings;
    NoProgress progress;
    std::unique_ptr<Document> doc;
};

TEST_P(EveryFormat, EveryOutputMakesTheSamePagesOfTheJob) {
    // Printed as into a PDF, whose page is the whole sheet, as the preview shows it.
    test::RecordingPrintJob print;
    doc->print(print, {kDpi, false, nullptr, 0, 0, true}, progress);
    ASSERT_TRUE(print.ended);
    EXPECT_EQ(doc->pageCount(progress), 3);
    EXPECT_EQ(print.pages, 3);
    const int last = doc->lastPage(progress);
    EXPECT_TRUE(last >= 1 && last <= 3) << last;

    // Each preview page, drawn at the print's resolution, is that page of the print.
    test::RecordingSurface metrics;
    const PageSize size = doc->pageSize(metrics, kDpi);
    EXPECT_GT(size.width, 0);
    EXPECT_GT(size.height, 0);
    for (int page = 1; page <= 4; ++page) {
        test::RecordingSurface image;
        image.page = page;
        const DrawnPage drawn = doc->drawPage(page, image, size, progress);
        EXPECT_EQ(drawn.readFailure, 0);
        EXPECT_EQ(textsOn(image, page), textsOn(print.page, page)) << "page " << page;
        if (page <= 3) {
            EXPECT_FALSE(drawn.beyondEnd);
            EXPECT_FALSE(textsOn(image, page).empty()) << "page " << page;
        }
    }

    // The text: each page's lines, form feeds between the pages, in both forms.
    EXPECT_EQ(pagesOf(text(true)), kJobPages);
    EXPECT_EQ(pagesOf(text(false)), kJobPages);

    // A choice of pages prints exactly those, in order, as one job.
    test::RecordingPrintJob part;
    const std::set<int> chosen = {1, 3};
    doc->print(part, {kDpi, false, &chosen, 0, 0, true}, progress);
    ASSERT_TRUE(part.ended);
    EXPECT_EQ(part.pages, 2);
    EXPECT_EQ(textsOn(part.page, 1), textsOn(print.page, 1));
    EXPECT_EQ(textsOn(part.page, 2), textsOn(print.page, 3));
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::ValuesIn(kFormats),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace nx
