// Code page 1250 <-> QString at the edge of the Qt layer.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace nx::qt {

QString fromCp1250(std::string_view bytes);
// Characters outside code page 1250 become '?'.
std::string toCp1250(const QString& text);

}  // namespace nx::qt
