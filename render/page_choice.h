// Printing part of a job: the pages a user names (the print job that passes only
// those pages on is platform/chosen_pages.h).
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace nx {

// Pages as a user types them: "3", "2-5", "1,3,7-9" (spaces allowed around the
// numbers). Nothing when the text is malformed, names page 0, a page beyond
// `pageCount` or a range that runs backwards.
std::optional<std::set<int>> parsePages(std::string_view text, int pageCount);

// The message for a choice parsePages refused (code page 1250): what is accepted.
std::string pageChoiceMessage(int pageCount);

}  // namespace nx
