// Code page 1250 bytes to UTF-8: host file names, and the texts the mail provider
// hands to the desktop.
#pragma once

#include <string>
#include <string_view>

namespace nx {

// Every byte converts; the five positions that code page 1250 leaves undefined
// become their C1 code points, as in the program's own codec.
std::string cp1250ToUtf8(std::string_view bytes);

// True when `bytes` is well-formed UTF-8 (plain ASCII included).
bool isUtf8(std::string_view bytes);

}  // namespace nx
