#include "platform/cp1250_utf8.h"

#include "platform/utf8.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cstdint>

namespace nx {
namespace {

// Unicode code points of bytes 0x80 to 0xFF.
constexpr std::array<std::uint16_t, 128> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

}  // namespace

const std::array<std::uint16_t, 128>& cp1250HighCodePoints() { return kHigh; }

std::string cp1250ToUtf8(std::string_view bytes) {
    std::string out;
    appendCp1250AsUtf8(out, bytes);
    return out;
}

void appendCp1250AsUtf8(std::string& out, std::string_view bytes) {
    out.reserve(out.size() + bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        appendUtf8(out, b < 0x80 ? b : kHigh[b - 0x80u]);
    }
}

std::string utf8ToCp1250(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    forEachCodePoint(utf8, [&out](char32_t c) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            return;
        }
        static const std::array<std::pair<char32_t, char>, 128> byCode = [] {
            std::array<std::pair<char32_t, char>, 128> a{};
            for (std::size_t k = 0; k < kHigh.size(); ++k)
                a[k] = {kHigh[k], static_cast<char>(0x80 + k)};
            std::sort(a.begin(), a.end(),
                      [](const auto& l, const auto& r) { return l.first < r.first; });
            return a;
        }();
        const auto it = std::lower_bound(byCode.begin(), byCode.end(), c,
                                         [](const auto& entry, char32_t v) { return entry.first < v; });
        out.push_back(it != byCode.end() && it->first == c ? it->second : '?');
    });
    return out;
}

bool isUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || (len == 2 && b < 0xC2) || i + len > bytes.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

}  // namespace nx
