// The patterns of saved files' names and of splitting a batch, matched by Qt's
// regular expressions (PCRE2, whose match limit bounds the time a pattern that
// backtracks without end may take: such a match gives up, and a matcher that gave
// up once matches nothing more, so a job's text costs a bounded time).
#pragma once

#include <memory>
#include <string>

#include "platform/line_matcher.h"

namespace nx::qt {

// `pattern` compiled (ECMAScript-like syntax: \d, \s, \S, classes, groups,
// quantifiers, ^ and $ at a line's ends); nothing with `why` when it does not.
std::unique_ptr<LineMatcher> compilePattern(const std::string& pattern, std::string& why);

}  // namespace nx::qt
