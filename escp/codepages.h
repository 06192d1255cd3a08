// The character tables of ESC/P jobs: code pages 437, 850 and 852, the italic table,
// and the international character sets.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace nx::escp {

enum class CodePage { Cp437 = 437, Cp850 = 850, Cp852 = 852 };

// Bytes 0x80 to 0xFF of `page` as Unicode code points.
const std::array<char16_t, 128>& highHalf(CodePage page);
// Any byte of `page` as a Unicode code point (below 0x80: ASCII).
char32_t toUnicode(CodePage page, std::uint8_t byte);

// 437, 850 or 852; nothing for any other number.
std::optional<CodePage> codePageOf(int number);
int numberOf(CodePage page);

// What international character set `set` (ESC R n) prints for `byte`: one of the
// twelve positions it replaces, or the byte itself.
char32_t nationalCharacter(int set, std::uint8_t byte);

// The code page of a registered table (ESC ( t d2 d3); nothing for the italic table
// (0, 0) and for tables this service does not carry.
std::optional<CodePage> registeredTable(std::uint8_t d2, std::uint8_t d3);

}  // namespace nx::escp
