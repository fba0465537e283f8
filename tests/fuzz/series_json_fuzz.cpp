// The series file of `etalon-cli process --input`: read it and, when it is
// accepted and small, restore it with one of the tasks.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "io/series_file.h"
#include "pulses/pulse_header.h"

namespace {

// Restoring a long series with small bounds takes long; the read is what is fuzzed.
constexpr uint32_t kLongestProcessed = 1000;

const std::string& inputPath() {
    static const std::string path = "/tmp/etalon-fuzz-series-" + std::to_string(getpid()) + ".json";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    {
        std::ofstream file(inputPath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    etalon::io::SeriesFile series;
    const std::string problem = etalon::io::readSeriesFile(inputPath(), etalon::kEtalonLength,
                                                           etalon::kEtalonsNumber, series);
    if (!problem.empty() || series.dwSeriesSize > kLongestProcessed) return 0;
    // An accepted file holds every array it announces.
    if (series.lpPureData.size() != series.dwSeriesSize ||
        series.lpPositions.size() != series.wImpulseQuantity)
        std::abort();

    static const char* const kTasks[] = {"detection", "recognition", "joint", "processing"};
    const char* argv[] = {"etalon-cli",        "process", "--input",
                          inputPath().c_str(), "--task",  kTasks[size % 4]};
    std::ostringstream out, err;
    const int code = etalon::cli::run(6, argv, out, err);
    // Every refusal says why.
    if (code != 0 && err.str().empty()) std::abort();
    return 0;
}
