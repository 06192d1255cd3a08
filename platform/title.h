// The application's title: the program sets none of its own, so it is the
// executable's file name without directory and without everything from its first
// full stop, every letter but the first in lower case.
#pragma once

#include <string>
#include <string_view>

namespace nx {

std::string applicationTitle(std::string_view exePath);

}  // namespace nx
