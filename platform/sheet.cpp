#include "platform/sheet.h"

#include <array>
#include <cctype>
#include <cmath>
#include <utility>

namespace nx {

namespace {

constexpr std::array<std::pair<std::string_view, PaperSize>, 4> kPapers = {{
    {"A4", kA4}, {"A5", kA5}, {"Letter", kLetter}, {"Legal", kLegal}}};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::optional<PaperSize> paperNamed(std::string_view name) {
    for (const auto& [n, size] : kPapers)
        if (sameIgnoringCase(n, name)) return size;
    return std::nullopt;
}

std::string_view paperName(const PaperSize& paper) {
    for (const auto& [n, size] : kPapers)
        if (size == paper) return n;
    return kPapers[0].first;
}

std::int64_t sheetUnitsOfMillimetres(double mm) {
    return std::llround(mm * static_cast<double>(kSheetUnitsPerInch) / 25.4);
}

}  // namespace nx
