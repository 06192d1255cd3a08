#include "platform/qt/codec.h"

#include "platform/cp1250_utf8.h"

#include <array>
#include <cstdint>
#include <unordered_map>

namespace nx::qt {
namespace {

const std::unordered_map<char16_t, char>& reverseTable() {
    static const auto table = [] {
        std::unordered_map<char16_t, char> t;
        const auto& high = nx::cp1250HighCodePoints();
        for (std::size_t i = 0; i < high.size(); ++i)
            t.emplace(static_cast<char16_t>(high[i]), static_cast<char>(0x80 + i));
        return t;
    }();
    return table;
}

}  // namespace

QString fromCp1250(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        out.append(QChar(b < 0x80 ? char16_t{b} : static_cast<char16_t>(nx::cp1250HighCodePoints()[b - 0x80])));
    }
    return out;
}

std::string toCp1250(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    const auto& rev = reverseTable();
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (auto it = rev.find(u); it != rev.end()) {
            out.push_back(it->second);
        } else {
            out.push_back('?');
        }
    }
    return out;
}

}  // namespace nx::qt
