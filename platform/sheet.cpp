#include "platform/sheet.h"

#include <array>
#include <cctype>
#include <charconv>
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
    // "WxH": two numbers of digits and at most one decimal point each, read without
    // the locale.
    auto number = [](std::string_view s) -> std::optional<double> {
        if (s.empty() || s.size() > 12) return std::nullopt;
        bool digits = false, point = false;
        for (char c : s) {
            if (c >= '0' && c <= '9') digits = true;
            else if (c == '.' && !point) point = true;
            else return std::nullopt;
        }
        double v = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (!digits || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
        return v;
    };
    const std::size_t x = name.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    const auto w = number(name.substr(0, x));
    const auto h = number(name.substr(x + 1));
    if (!w || !h) return std::nullopt;
    return paperOfMillimetres(*w, *h);
}

std::optional<PaperSize> paperOfMillimetres(double width, double height) {
    auto inRange = [](double v) { return v >= kMinPaperMillimetres && v <= kMaxPaperMillimetres; };
    if (!inRange(width) || !inRange(height)) return std::nullopt;
    // Kept to hundredths of a millimetre, as the name is written.
    const PaperSize paper{sheetUnitsOfMillimetres(std::round(width * 100) / 100),
                          sheetUnitsOfMillimetres(std::round(height * 100) / 100)};
    for (const PaperSize& known : kPapers)
        if (std::llabs(known.width - paper.width) <= 1 && std::llabs(known.height - paper.height) <= 1) return known;
    return paper;
}

std::pair<double, double> millimetresOf(const PaperSize& paper) {
    auto mm = [](std::int64_t units) {
        return std::round(static_cast<double>(units) * 25.4 / static_cast<double>(kSheetUnitsPerInch) * 100) / 100;
    };
    return {mm(paper.width), mm(paper.height)};
}

std::string millimetreText(double mm) {
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, mm, std::chars_format::fixed, 2);
    std::string s(buffer, written.ptr);
    while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.')) {
        const bool point = s.back() == '.';
        s.pop_back();
        if (point) break;
    }
    return s;
}

std::string paperName(const PaperSize& paper) {
    for (std::size_t i = 0; i < kPapers.size(); ++i)
        if (kPapers[i] == paper) return std::string(kPaperNames[i]);
    const auto [w, h] = millimetresOf(paper);
    return millimetreText(w) + "x" + millimetreText(h);
}

std::int64_t sheetUnitsOfMillimetres(double mm) {
    return std::llround(mm * static_cast<double>(kSheetUnitsPerInch) / 25.4);
}

}  // namespace nx
