// A print job that passes on only the pages a user chose.
#pragma once

#include <memory>
#include <set>

#include "platform/printjob.h"

namespace nx {

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
