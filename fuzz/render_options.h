// Option bytes shared by the two rendering fuzz targets: the settings in force,
// the variable-line-height check box as it reads from call to call, and helpers
// that describe a print stream for the invariants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/cp1250_utf8.h"

#include "intake/settings.h"

namespace nx::fuzz {

// Size and margin sets a user can enter: the defaults, tiny, zero, negative
// (accepted and stored as they are) and large sizes.
inline Settings settingsProfile(std::uint8_t choice) {
    Settings s;
    switch (choice % 5) {
        case 0: break;
        case 1: s.condensed = 1; s.normal = 2; s.elite = 3; s.dbl = 4; s.leftMargin = 8; s.topMargin = 8; break;
        case 2: s.condensed = 0; s.normal = 0; s.elite = 0; s.dbl = 0; break;
        case 3: s.condensed = -6; s.normal = -11; s.elite = 9; s.dbl = -22; s.leftMargin = -40; s.topMargin = -3; break;
        default: s.condensed = 72; s.normal = 96; s.elite = 120; s.dbl = 200; s.leftMargin = 10000; s.topMargin = 7000; break;
    }
    return s;
}

// The check box read as the bits of `pattern`, one per call, round and round:
// 0x00 is always off, 0xFF always on, anything else toggles between lines and steps.
inline std::function<bool()> checkBoxPattern(std::uint8_t pattern) {
    auto calls = std::make_shared<unsigned>(0);
    return [pattern, calls]() { return ((pattern >> ((*calls)++ % 8)) & 1) != 0; };
}

// Form feeds that begin a new printer page: those on every line but the last
// (a form feed on the last line finds the input at its end).
inline int newPagesOf(const std::uint8_t* data, std::size_t size) {
    std::size_t lastLineStart = 0;
    for (std::size_t i = 0; i + 1 < size; ++i)
        if (data[i] == '\n') lastLineStart = i + 1;
    int pages = 0;
    for (std::size_t i = 0; i < lastLineStart; ++i)
        if (data[i] == 12) ++pages;
    return pages;
}

inline int formFeedsOf(const std::uint8_t* data, std::size_t size) {
    int n = 0;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == 12) ++n;
    return n;
}

// The longest line in bytes, its LF included.
inline std::size_t longestLineOf(const std::uint8_t* data, std::size_t size) {
    std::size_t longest = 0, current = 0;
    for (std::size_t i = 0; i < size; ++i) {
        ++current;
        if (data[i] == '\n') {
            longest = current > longest ? current : longest;
            current = 0;
        }
    }
    return current > longest ? current : longest;
}

// The text bytes (32 and above) that the printer output draws: all of them, in order.
inline std::string printedTextOf(const std::uint8_t* data, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] >= 32) out.push_back(static_cast<char>(data[i]));
    return out;
}

// The text bytes that preview page `page` draws: from the byte after the
// (page - 1)-th form feed, each line cut to its first 255 bytes, up to the first
// form feed among the bytes kept.
inline std::string previewTextOf(const std::uint8_t* data, std::size_t size, int page) {
    std::size_t pos = 0;
    for (long long skip = static_cast<long long>(page) - 1; skip > 0 && pos < size;)
        if (data[pos++] == 12) --skip;
    std::string out;
    while (pos < size) {
        const std::size_t start = pos;
        while (pos < size && data[pos++] != '\n') {
        }
        const std::size_t kept = pos - start < 255 ? pos - start : 255;
        for (std::size_t i = start; i < start + kept; ++i) {
            if (data[i] == 12) return out;
            if (data[i] >= 32) out.push_back(static_cast<char>(data[i]));
        }
    }
    return out;
}

// Every text run of a recording, joined, in code page 1250 again (the surface takes
// UTF-8; the line format's letters all come back).
template <typename Recording>
std::string drawnTextOf(const Recording& surface) {
    std::string out;
    for (const auto& op : surface.ops)
        if (op.kind == Recording::Kind::Text) out += op.text;
    return utf8ToCp1250(out);
}

inline bool isPrefix(const std::string& prefix, const std::string& whole) {
    return prefix.size() <= whole.size() && whole.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace nx::fuzz
