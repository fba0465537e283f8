#include "base/memory_budget.h"

#include <gtest/gtest.h>

#include <map>

#include <stdlib.h>

namespace etalon {
namespace {

TEST(MemoryBudget, SizesAsTypedAndTheSmallestLimitWins) {
    EXPECT_EQ(parseMemorySize("512M"), 512u << 20);
    EXPECT_EQ(parseMemorySize("2G"), std::size_t{2} << 30);
    EXPECT_EQ(parseMemorySize("1.5GiB"), std::size_t{3} << 29);
    EXPECT_EQ(parseMemorySize(" 64kb "), 64u << 10);
    EXPECT_EQ(parseMemorySize("1000000"), 1000000u);
    for (const char* bad : {"", "0", "-1", "12X", "M", "1.2.3G", "2 G B"})
        EXPECT_EQ(parseMemorySize(bad), std::nullopt) << bad;

    const std::string meminfo =
        "MemTotal:       24000000 kB\nMemFree:         1000000 kB\nMemAvailable:    8000000 kB\n";
    EXPECT_EQ(memAvailableFrom(meminfo), std::size_t{8000000} * 1024);
    EXPECT_EQ(memAvailableFrom("MemTotal: 5 kB\n"), std::nullopt);

    unsetenv(kMemoryLimitVariable);
    MemoryBudget b = memoryBudget(std::nullopt, "--memory-limit", meminfo);
    EXPECT_EQ(b.bytes, std::size_t{8000000} * 1024);
    EXPECT_EQ(b.source, "available (MemAvailable)");
    setenv(kMemoryLimitVariable, "2G", 1);
    b = memoryBudget(std::size_t{3} << 30, "--memory-limit", meminfo);
    EXPECT_EQ(b.bytes, std::size_t{2} << 30);
    EXPECT_EQ(b.source, "the limit set by ETALON_MEMORY_LIMIT");
    b = memoryBudget(std::size_t{1} << 30, "--memory-limit", meminfo);
    EXPECT_EQ(b.source, "the limit set by --memory-limit");
    unsetenv(kMemoryLimitVariable);
    EXPECT_EQ(memoryBudget(std::nullopt, "", "").bytes, SIZE_MAX);
    EXPECT_EQ(memoryText(std::size_t{3} << 29), "1.5 GB");
    EXPECT_EQ(memoryText(512u << 20), "512 MB");
}

// The cgroup's limit less its usage lowers the budget, an ancestor's too;
// an unset limit ("max", or v1's huge figure) does not.
TEST(MemoryBudget, TheCgroupsHeadroomLowersTheBudget) {
    std::map<std::string, std::string> files = {
        {"/proc/meminfo", "MemAvailable:    8000000 kB\n"},
        {"/proc/self/cgroup", "0::/jobs/run7\n"},
        {"/sys/fs/cgroup/jobs/run7/memory.max", "max\n"},
        {"/sys/fs/cgroup/jobs/run7/memory.current", "100\n"},
        {"/sys/fs/cgroup/jobs/memory.max", "3000000000\n"},
        {"/sys/fs/cgroup/jobs/memory.current", "1000000000\n"},
    };
    const SystemFileReader read = [&files](const std::string& path) -> std::optional<std::string> {
        const auto found = files.find(path);
        if (found == files.end()) return std::nullopt;
        return found->second;
    };
    unsetenv(kMemoryLimitVariable);
    MemoryBudget b = memoryBudget(std::nullopt, "--memory-limit", std::nullopt, read);
    EXPECT_EQ(b.bytes, 2000000000u);
    EXPECT_EQ(b.source, "left under the memory cgroup's limit");
    b = shareOfBudget(b, 4);
    EXPECT_EQ(b.bytes, 500000000u);
    EXPECT_EQ(b.source,
              "left under the memory cgroup's limit, shared by the 4 processes on this machine");

    files["/proc/self/cgroup"] = "4:memory:/job\n0::/\n";
    files["/sys/fs/cgroup/memory/job/memory.limit_in_bytes"] = "9223372036854771712\n";
    files["/sys/fs/cgroup/memory/job/memory.usage_in_bytes"] = "5\n";
    EXPECT_EQ(cgroupHeadroom(read), std::nullopt);
    files["/sys/fs/cgroup/memory/job/memory.limit_in_bytes"] = "1000\n";
    EXPECT_EQ(cgroupHeadroom(read), 995u);
}

}  // namespace
}  // namespace etalon
