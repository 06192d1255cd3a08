// Text to integer as the settings boxes use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace nx {

// Leading blanks, an optional sign, then decimal digits or hexadecimal digits after
// "$", "x", "X", "0x" or "0X"; the value must fit a signed 32-bit integer.
std::optional<std::int32_t> parseInteger(std::string_view text);

// As parseInteger, raising ConvertError "'<text>' is not a valid integer value".
std::int32_t textToInteger(std::string_view text);

}  // namespace nx
