#pragma once

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

namespace etalon {

// Appends printf-formatted text; a piece longer than a line of the window is cut.
[[gnu::format(printf, 2, 3)]] inline void appendFormatted(std::string& text, const char* format,
                                                          ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (written > 0) text.append(buffer, std::min<size_t>(size_t(written), sizeof buffer - 1));
}

// A task's or series type's text in a record, or its code when it has none
// ("task 8").
inline std::string codeText(const char* name, const char* kind, uint16_t number) {
    return name ? std::string(name) : std::string(kind) + " " + std::to_string(number);
}

}  // namespace etalon
