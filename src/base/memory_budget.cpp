#include "base/memory_budget.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

namespace etalon {

std::optional<std::size_t> parseMemorySize(std::string_view text) {
    std::string t(text);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())))
        t.pop_back();
    std::size_t start = 0;
    while (start < t.size() && std::isspace(static_cast<unsigned char>(t[start])))
        ++start;
    t.erase(0, start);
    if (t.empty() || !std::isdigit(static_cast<unsigned char>(t[0]))) return std::nullopt;
    std::size_t end = 0;
    while (end < t.size() && (std::isdigit(static_cast<unsigned char>(t[end])) || t[end] == '.'))
        ++end;
    const std::string number = t.substr(0, end);
    std::string unit = t.substr(end);
    for (char& c : unit)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (unit.size() > 1 && unit.ends_with("IB"))
        unit.resize(unit.size() - 2);
    else if (unit.size() > 1 && unit.back() == 'B')
        unit.pop_back();
    double scale = 1;
    if (unit == "K")
        scale = 1024.0;
    else if (unit == "M")
        scale = 1024.0 * 1024;
    else if (unit == "G")
        scale = 1024.0 * 1024 * 1024;
    else if (unit == "T")
        scale = 1024.0 * 1024 * 1024 * 1024;
    else if (!unit.empty() && unit != "B")
        return std::nullopt;
    char* stop = nullptr;
    const double value = std::strtod(number.c_str(), &stop);
    if (stop != number.c_str() + number.size() || !(value > 0)) return std::nullopt;
    const double bytes = std::floor(value * scale);
    if (bytes < 1 || bytes >= double(std::numeric_limits<std::size_t>::max())) return std::nullopt;
    return static_cast<std::size_t>(bytes);
}

std::optional<std::size_t> memAvailableFrom(std::string_view meminfo) {
    std::istringstream lines{std::string(meminfo)};
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.starts_with("MemAvailable:")) continue;
        unsigned long long kilobytes = 0;
        if (std::sscanf(line.c_str() + 13, "%llu", &kilobytes) != 1) return std::nullopt;
        return static_cast<std::size_t>(kilobytes) * 1024;
    }
    return std::nullopt;
}

MemoryBudget memoryBudget(std::optional<std::size_t> optionLimit, const char* optionName,
                          std::optional<std::string> meminfo) {
    MemoryBudget budget{std::numeric_limits<std::size_t>::max(), "no known limit"};
    const auto lower = [&budget](std::optional<std::size_t> bytes, std::string source) {
        if (bytes && *bytes < budget.bytes) budget = {*bytes, std::move(source)};
    };
    if (!meminfo) {
        std::ifstream file("/proc/meminfo");
        std::stringstream text;
        text << file.rdbuf();
        meminfo = text.str();
    }
    lower(memAvailableFrom(*meminfo), "available (MemAvailable)");
    if (const char* limit = std::getenv(kMemoryLimitVariable))
        lower(parseMemorySize(limit), std::string("the limit set by ") + kMemoryLimitVariable);
    lower(optionLimit, std::string("the limit set by ") + optionName);
    return budget;
}

std::string memoryText(std::size_t bytes) {
    const double b = static_cast<double>(bytes);
    char text[32];
    if (b >= 1024.0 * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f GB", b / (1024.0 * 1024 * 1024));
    else if (b >= 1024.0 * 1024)
        std::snprintf(text, sizeof text, "%.0f MB", std::ceil(b / (1024.0 * 1024)));
    else
        std::snprintf(text, sizeof text, "%.0f KB", std::ceil(b / 1024.0));
    return text;
}

}  // namespace etalon
