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

}  // namespace nx
