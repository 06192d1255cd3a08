// A print job: title and orientation are set before begin(); begin() opens the
// first page. abort() abandons a begun job so that nothing half-printed is output.
#pragma once

#include <string_view>

#include "platform/surface.h"

namespace nx {

// Every print job's title, in code page 1250.
inline constexpr std::string_view kPrintJobTitle = "Nyomtat\xe1si eredm\xe9ny";

class PrintJob {
public:
    virtual ~PrintJob() = default;

    virtual void setTitle(std::string_view cp1250Title) = 0;
    virtual void setLandscape(bool landscape) = 0;
    // Returns false when the job cannot be started.
    virtual bool begin() = 0;
    virtual void newPage() = 0;
    virtual void end() = 0;
    virtual void abort() = 0;
    // The current page's drawing surface; valid between begin() and end().
    virtual Surface& surface() = 0;
};

// A print job that counts the pages it passes on to `inner`.
class CountedPages final : public PrintJob {
public:
    explicit CountedPages(PrintJob& inner) : inner_(inner) {}

    void setTitle(std::string_view title) override { inner_.setTitle(title); }
    void setLandscape(bool landscape) override { inner_.setLandscape(landscape); }
    bool begin() override {
        const bool begun = inner_.begin();
        pages_ = begun ? 1 : 0;
        return begun;
    }
    void newPage() override {
        inner_.newPage();
        ++pages_;
    }
    void end() override { inner_.end(); }
    void abort() override { inner_.abort(); }
    Surface& surface() override { return inner_.surface(); }

    int pages() const { return pages_; }

private:
    PrintJob& inner_;
    int pages_ = 0;
};

}  // namespace nx
