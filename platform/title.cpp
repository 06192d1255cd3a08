#include "platform/title.h"

#include <cctype>

namespace nx {

std::string applicationTitle(std::string_view exePath) {
    std::string name(exePath);
    if (auto slash = name.find_last_of("/\\"); slash != std::string::npos) name.erase(0, slash + 1);
    if (auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
    for (std::size_t i = 1; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) name[i] = static_cast<char>(std::tolower(c));
    }
    return name;
}

}  // namespace nx
