#pragma once

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

namespace etalon::cli {

// Splits "3, 5,7" at `separator` into items with surrounding blanks removed;
// an empty text gives one empty item, so callers refuse it like any other.
std::vector<std::string> splitItems(std::string_view text, char separator);

// Reads a whole item as a number of type T; false when it is not one or does not fit.
template <class T>
bool parseWhole(const std::string& item, T& value) {
    const auto [rest, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    return !item.empty() && error == std::errc() && rest == item.data() + item.size();
}

}  // namespace etalon::cli
