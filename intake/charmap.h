// The character map: one byte of a host job (code page 852) to one byte of the
// print stream (code page 1250 text, space code 11, box-drawing codes 20 to 30).
#pragma once

#include <array>
#include <cstdint>

namespace nx {

const std::array<std::uint8_t, 256>& charMapTable();

inline std::uint8_t mapByte(std::uint8_t b) { return charMapTable()[b]; }

}  // namespace nx
