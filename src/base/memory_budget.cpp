#include "base/memory_budget.h"

#include <cctype>
#include <cmath>
#include <cstdint>
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

std::optional<std::string> readSystemFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

namespace {

std::optional<uint64_t> wholeFigure(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    unsigned long long value = 0;
    if (std::sscanf(text->c_str(), "%llu", &value) != 1) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::size_t> cgroupHeadroom(const SystemFileReader& read) {
    const std::optional<std::string> membership = read("/proc/self/cgroup");
    if (!membership) return std::nullopt;
    std::optional<std::size_t> least;
    std::istringstream lines(*membership);
    std::string line;
    while (std::getline(lines, line)) {
        // "hierarchy:controllers:path"; v2 has the one hierarchy 0 with no controllers.
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        const bool v2 = line.compare(0, first, "0") == 0 && controllers.empty();
        bool v1 = false;
        std::istringstream names(controllers);
        for (std::string name; std::getline(names, name, ',');)
            v1 = v1 || name == "memory";
        if ((!v1 && !v2) || path.empty() || path[0] != '/') continue;
        const std::string root = v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
        const std::string limitFile = v2 ? "/memory.max" : "/memory.limit_in_bytes";
        const std::string usageFile = v2 ? "/memory.current" : "/memory.usage_in_bytes";
        // A limit set on an ancestor binds too.
        for (;;) {
            const std::string folder = root + (path == "/" ? "" : path);
            const std::optional<uint64_t> limit = wholeFigure(read(folder + limitFile));
            // v1 writes an unset limit as a huge number, v2 as "max".
            if (limit && *limit < (uint64_t{1} << 62)) {
                const uint64_t usage = wholeFigure(read(folder + usageFile)).value_or(0);
                const auto room = static_cast<std::size_t>(usage < *limit ? *limit - usage : 0);
                if (!least || room < *least) least = room;
            }
            if (path == "/") break;
            path.resize(path.rfind('/'));
            if (path.empty()) path = "/";
        }
    }
    return least;
}

MemoryBudget memoryBudget(std::optional<std::size_t> optionLimit, const char* optionName,
                          std::optional<std::string> meminfo, const SystemFileReader& read) {
    MemoryBudget budget{std::numeric_limits<std::size_t>::max(), "no known limit"};
    const auto lower = [&budget](std::optional<std::size_t> bytes, std::string source) {
        if (bytes && *bytes < budget.bytes) budget = {*bytes, std::move(source)};
    };
    // A test that hands in the meminfo text alone sees no cgroup.
    const bool machine = !meminfo.has_value();
    const SystemFileReader system = read ? read : SystemFileReader(readSystemFile);
    if (!meminfo) meminfo = system("/proc/meminfo").value_or("");
    lower(memAvailableFrom(*meminfo), "available (MemAvailable)");
    if (machine || read) lower(cgroupHeadroom(system), "left under the memory cgroup's limit");
    if (const char* limit = std::getenv(kMemoryLimitVariable))
        lower(parseMemorySize(limit), std::string("the limit set by ") + kMemoryLimitVariable);
    lower(optionLimit, std::string("the limit set by ") + optionName);
    return budget;
}

MemoryBudget shareOfBudget(MemoryBudget budget, unsigned sharers) {
    if (sharers <= 1 || budget.bytes == std::numeric_limits<std::size_t>::max()) return budget;
    budget.bytes /= sharers;
    budget.source += ", shared by the " + std::to_string(sharers) + " processes on this machine";
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
