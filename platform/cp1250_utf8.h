// Code page 1250 bytes to UTF-8: host file names, the texts the mail provider hands
// to the desktop, and the line format's texts on their way to the drawing surface.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nx {

// Every byte converts; the five positions that code page 1250 leaves undefined
// become their C1 code points, as in the program's own codec.
std::string cp1250ToUtf8(std::string_view bytes);
// The same, appended to `out`.
void appendCp1250AsUtf8(std::string& out, std::string_view bytes);
// UTF-8 back to code page 1250; a character it lacks becomes "?".
std::string utf8ToCp1250(std::string_view utf8);

// The Unicode code points of bytes 0x80 to 0xFF, shared with the Qt codec.
const std::array<std::uint16_t, 128>& cp1250HighCodePoints();

// True when `bytes` is well-formed UTF-8 (plain ASCII included).
bool isUtf8(std::string_view bytes);

}  // namespace nx
