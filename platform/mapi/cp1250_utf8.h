// Code page 1250 bytes to UTF-8, for the texts the provider hands to the desktop.
#pragma once

#include <string>
#include <string_view>

namespace nx::mapi {

// Every byte converts; the five positions that code page 1250 leaves undefined
// become their C1 code points, as in the program's own codec.
std::string cp1250ToUtf8(std::string_view bytes);

}  // namespace nx::mapi
