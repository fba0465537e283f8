#include "dialogs/dialog_text.h"

#include <charconv>
#include <limits>

namespace etalon {

int32_t leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<int32_t>::max()) {
            value = std::numeric_limits<int32_t>::max() + int64_t{negative};
            break;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

double leadingDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    // from_chars takes a minus sign but no plus.
    if (i + 1 < text.size() && text[i] == '+' && text[i + 1] != '-') ++i;
    double value = 0.0;
    const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                        std::chars_format::general);
    return result.ec == std::errc() ? value : 0.0;
}

std::string generalNumber(double value) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 5);
    return std::string(buffer, result.ptr);
}

std::string joinNumbers(std::span<const uint16_t> values) {
    std::string text;
    for (uint16_t value : values) {
        text += std::to_string(value);
        text += ',';
    }
    if (!text.empty()) text.pop_back();
    return text;
}

void parseNumberList(std::string_view text, std::span<uint16_t> values) {
    std::size_t position = 0;
    for (auto& value : values) {
        if (position >= text.size()) {
            value = 0;
            continue;
        }
        value = static_cast<uint16_t>(leadingInteger(text.substr(position)));
        const std::size_t next = text.find_first_of(", ", position);
        position = next == std::string_view::npos ? text.size() : next + 1;
    }
}

}  // namespace etalon
