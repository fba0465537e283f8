#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace etalon {

// Lowers the budget on a shared machine: "512M", "2G", "64K" or plain bytes.
inline constexpr char kMemoryLimitVariable[] = "ETALON_MEMORY_LIMIT";

// How much memory one piece of work may take before it starts: what the
// kernel says is available, lowered by a limit the user set.
struct MemoryBudget {
    std::size_t bytes = 0;
    std::string source;  // what set it, for the messages: "MemAvailable", "--memory-limit", ...
};

// "512M", "2G", "1.5G", "64k", "1000000" (K, M, G, T are powers of 1024; a
// trailing B or iB is accepted). Nothing for anything else or zero.
std::optional<std::size_t> parseMemorySize(std::string_view text);

// The MemAvailable figure of a /proc/meminfo text, in bytes.
std::optional<std::size_t> memAvailableFrom(std::string_view meminfo);

// Reads a small system file whole (/proc, /sys/fs/cgroup); none when it cannot.
using SystemFileReader = std::function<std::optional<std::string>(const std::string& path)>;
std::optional<std::string> readSystemFile(const std::string& path);

// What the memory cgroup of this process still lets it take: the least, over
// its cgroup and the ancestors, of the limit less the usage (cgroup v2:
// memory.max and memory.current; v1: memory.limit_in_bytes and
// memory.usage_in_bytes). None when no limit is set or none can be read.
std::optional<std::size_t> cgroupHeadroom(const SystemFileReader& read);

// The smallest of MemAvailable, the cgroup's headroom, the limit in
// ETALON_MEMORY_LIMIT and `optionLimit`. Unbounded (SIZE_MAX) when none of
// them is known. A variable that does not parse is ignored: the refusal that
// matters names the figure in use. Tests hand in the /proc/meminfo text
// (then no cgroup is read unless `read` is given too) or the whole reader.
MemoryBudget memoryBudget(std::optional<std::size_t> optionLimit, const char* optionName,
                          std::optional<std::string> meminfo = std::nullopt,
                          const SystemFileReader& read = {});

// The budget of one of `sharers` processes that share the machine's memory.
MemoryBudget shareOfBudget(MemoryBudget budget, unsigned sharers);

// "1.5 GB", "512 MB", "900 KB" for messages.
std::string memoryText(std::size_t bytes);

}  // namespace etalon
