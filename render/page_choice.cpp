#include "render/page_choice.h"

#include <cctype>
#include <charconv>

namespace nx {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::optional<int> number(std::string_view s) {
    s = trim(s);
    int n = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return n;
}

}  // namespace

std::optional<std::set<int>> parsePages(std::string_view text, int pageCount) {
    std::set<int> pages;
    if (trim(text).empty()) return std::nullopt;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const auto first = number(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : number(item.substr(dash + 1));
        if (!first || !last || *first < 1 || *last < *first || *last > pageCount) return std::nullopt;
        for (int p = *first; p <= *last; ++p) pages.insert(p);
        if (comma == std::string_view::npos) return pages;
        text.remove_prefix(comma + 1);
    }
}

std::string pageChoiceMessage(int pageCount) {
    // "Oldalszám 1 és N között, vesszővel elválasztva, tartomány kötőjellel, pl. 3 vagy 2-5 vagy 1,3,7-9."
    return "Oldalsz\xe1m 1 \xe9s " + std::to_string(pageCount) +
           " k\xf6z\xf6tt, vessz\xf5vel elv\xe1lasztva, tartom\xe1ny k\xf6t\xf5jellel, "
           "pl. 3 vagy 2-5 vagy 1,3,7-9.";
}

}  // namespace nx
