#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace etalon::io {

// What a file name ends with after its last dot, lower-cased: what its
// format is told by. Empty when the name's last component has no dot.
inline std::string fileEnding(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return {};
    std::string ending(path.substr(dot + 1));
    for (char& c : ending)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending;
}

}  // namespace etalon::io
