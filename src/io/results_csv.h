#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace etalon::io {

// One restored chain as exported: its criterion and its pulses in position
// order (positions in the series' own index).
struct ResultChain {
    int32_t criterion = 0;
    std::span<const int16_t> etalons;
    std::span<const int16_t> positions;
    std::span<const int16_t> cutStarts;
    std::span<const int16_t> cutEnds;
};

// Where the series sits in the recording it came from.
struct ResultPlace {
    uint64_t first = 0;                // the recording's index of the series' sample 0
    std::optional<double> sampleRate;  // Hz; the time column is empty without one
};

// The header line "chain,pulse,position,time,etalon,cut_start,cut_end,criterion".
extern const char* const kResultsCsvHeader;

// One pulse's row: `position` in the series' own index, moved by the place's first.
std::string resultsCsvRow(std::size_t chain, std::size_t pulse, uint64_t position,
                          const ResultPlace& place, int64_t etalon, int64_t cutStart,
                          int64_t cutEnd, int64_t criterion);

// One row per restored pulse, chains in rank order (1 = best), pulses 1..n.
std::string resultsCsvText(std::span<const ResultChain> chains, const ResultPlace& place);

// Writes resultsCsvText to `path`, all or nothing. Returns an empty string
// or what went wrong.
std::string writeResultsCsv(const std::string& path, std::span<const ResultChain> chains,
                            const ResultPlace& place);

}  // namespace etalon::io
