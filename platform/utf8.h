// UTF-8, the encoding of the texts the drawing surface takes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nx {

inline constexpr char32_t kReplacement = 0xFFFD;

// The code point at `i` of `text`, moving `i` past it. A byte that starts no
// well-formed sequence is one U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& i);

// The number of code points of `text`.
std::size_t codePointCount(std::string_view text);

// Appends `c` to `out` in UTF-8.
void appendUtf8(std::string& out, char32_t c);

// Calls `f` with every code point of `text`, in order.
template <class F>
void forEachCodePoint(std::string_view text, F&& f) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++i;
            f(static_cast<char32_t>(b));
        } else {
            f(nextCodePoint(text, i));
        }
    }
}

}  // namespace nx
