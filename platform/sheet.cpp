#include "platform/sheet.h"

#include <array>
#include <cctype>
#include <cmath>

namespace nx {

namespace {

constexpr std::array<PaperSize, 4> kPapers = {kA4, kA5, kLetter, kLegal};  // as kPaperNames

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::optional<PaperSize> paperNamed(std::string_view name) {
    for (std::size_t i = 0; i < kPapers.size(); ++i)
        if (sameIgnoringCase(kPaperNames[i], name)) return kPapers[i];
    return std::nullopt;
}

std::string_view paperName(const PaperSize& paper) {
    for (std::size_t i = 0; i < kPapers.size(); ++i)
        if (kPapers[i] == paper) return kPaperNames[i];
    return kPaperNames[0];
}

std::int64_t sheetUnitsOfMillimetres(double mm) {
    return std::llround(mm * static_cast<double>(kSheetUnitsPerInch) / 25.4);
}

}  // namespace nx
