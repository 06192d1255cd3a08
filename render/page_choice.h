// Printing part of a job: the pages a user names, and a print job that passes only
// those pages on.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/printjob.h"

namespace nx {

// Pages as a user types them: "3", "2-5", "1,3,7-9" (spaces allowed around the
// numbers). Nothing when the text is malformed, names page 0, a page beyond
// `pageCount` or a range that runs backwards.
std::optional<std::set<int>> parsePages(std::string_view text, int pageCount);

// The message for a choice parsePages refused (code page 1250): what is accepted.
std::string pageChoiceMessage(int pageCount);

// A print job that draws only the chosen pages of a job on `inner`, as one print job
// in page order; the others are drawn on nothing. The inner job begins with the
// first page, so at least one page must be chosen.
class ChosenPages final : public PrintJob {
public:
    ChosenPages(PrintJob& inner, std::set<int> pages);
    ~ChosenPages() override;

    void setTitle(std::string_view title) override { inner_.setTitle(title); }
    void setLandscape(bool landscape) override { inner_.setLandscape(landscape); }
    bool begin() override;
    void newPage() override;
    void end() override { inner_.end(); }
    void abort() override { inner_.abort(); }
    Surface& surface() override;

private:
    class Blank;
    PrintJob& inner_;
    std::set<int> pages_;
    std::unique_ptr<Blank> blank_;
    int current_ = 1;
    bool drawnOne_ = false;  // a chosen page has had the inner job's page
};

}  // namespace nx
