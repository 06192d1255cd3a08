// A pattern matched line by line (the names of saved files, splitting a batch). The
// core links no pattern engine of its own: one that bounds the time a match may
// take is given to it (Qt's, in platform/qt/pattern.h).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace nx {

// A compiled pattern.
class LineMatcher {
public:
    virtual ~LineMatcher() = default;
    // The first match in `line` (its first group where the pattern has one), or
    // nothing. A match that could not be finished in bounded time is nothing, and
    // gaveUp() then says so.
    virtual std::optional<std::string> firstMatch(std::string_view line) = 0;
    virtual bool gaveUp() const = 0;
};

// Compiles `pattern`; nothing with `why` (UTF-8) when it does not compile.
using PatternCompiler = std::function<std::unique_ptr<LineMatcher>(const std::string& pattern, std::string& why)>;

}  // namespace nx
