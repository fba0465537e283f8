#pragma once

#include <cstddef>
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

// The smallest of MemAvailable (`meminfo`, the text of /proc/meminfo; none:
// read it), the limit in ETALON_MEMORY_LIMIT and `optionLimit`. Unbounded
// (SIZE_MAX) when none of them is known. A variable that does not parse is
// ignored: the refusal that matters names the figure in use.
MemoryBudget memoryBudget(std::optional<std::size_t> optionLimit, const char* optionName,
                          std::optional<std::string> meminfo = std::nullopt);

// "1.5 GB", "512 MB", "900 KB" for messages.
std::string memoryText(std::size_t bytes);

}  // namespace etalon
