// Part of a job: the pages a user names, printed as one job in page order.
#include "platform/chosen_pages.h"
#include "render/page_choice.h"

#include <gtest/gtest.h>

#include "render/form_feeds.h"
#include "render/printer_output.h"
#include "tests/render/render_fixture.h"

namespace nx {
namespace {

TEST(PageChoice, TheFormsAUserTypesAndWhatIsRefused) {
    EXPECT_EQ(parsePages("3", 5), (std::set<int>{3}));
    EXPECT_EQ(parsePages(" 2 - 4 ", 5), (std::set<int>{2, 3, 4}));
    EXPECT_EQ(parsePages("5,1,3-3", 5), (std::set<int>{1, 3, 5}));
    for (const char* bad : {"", " ", "0", "6", "4-2", "1,", ",1", "1-", "-2", "a", "1.5", "1--2",
                            "99999999999"})
        EXPECT_FALSE(parsePages(bad, 5)) << '"' << bad << '"';
}

class ChosenPagesTest : public ::testing::Test, protected test::RenderFixture {};

TEST_F(ChosenPagesTest, ThePageCountIsWhatThePrinterOutputMakes) {
    for (const auto& [stream, pages] : std::vector<std::pair<std::string, int>>{
             {"", 1}, {"a\x0c", 1}, {"a\x0c\r\n", 1}, {"a\x0c\r\nb", 2}, {"a\r\n\x0c", 1},
             {"\x0c" "b\r\n", 1}, {"a\x0c\x0c\r\nb\r\n", 3}, {"a\r\n\x0c" "b\r\nc", 2}}) {
        drive.write("c:\\norvexa\\nyomtat1.txt", stream);
        test::RecordingPrintJob job;
        printStream(ctx, "c:\\norvexa\\nyomtat1.txt", job, false);
        EXPECT_EQ(job.pages, pages) << stream;  // the rule itself, as printed
        EXPECT_EQ(pageCountOf(drive.fs(), "c:\\norvexa\\nyomtat1.txt"), pages) << stream;
    }
}

TEST_F(ChosenPagesTest, OnlyTheChosenPagesReachTheJobInOrder) {
    drive.write("c:\\norvexa\\nyomtat1.txt", "one\r\n\x0ctwo\r\n\x0cthree\r\n\x0c" "four\r\nend\r\n");
    test::RecordingPrintJob job;
    ChosenPages chosen(job, {2, 4});
    printStream(ctx, "c:\\norvexa\\nyomtat1.txt", chosen, false);
    EXPECT_EQ(job.pages, 2);
    const auto texts = job.page.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text, "two");
    EXPECT_EQ(texts[0].page, 1);
    EXPECT_EQ(texts[1].text, "four");
    EXPECT_EQ(texts[1].page, 2);
    EXPECT_EQ(texts[0].y, texts[1].y);  // each at the top of its own page
    EXPECT_TRUE(job.ended);
}

}  // namespace
}  // namespace nx
