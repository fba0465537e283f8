#include "io/results_csv.h"

#include <cstdio>

#include "io/text_file.h"

namespace etalon::io {

const char* const kResultsCsvHeader =
    "chain,pulse,position,time,etalon,cut_start,cut_end,criterion";

std::string resultsCsvRow(std::size_t chain, std::size_t pulse, uint64_t position,
                          const ResultPlace& place, int64_t etalon, int64_t cutStart,
                          int64_t cutEnd, int64_t criterion) {
    const uint64_t at = place.first + position;
    std::string time;
    if (place.sampleRate && *place.sampleRate > 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.9g", static_cast<double>(at) / *place.sampleRate);
        time = seconds;
    }
    return std::to_string(chain) + ',' + std::to_string(pulse) + ',' + std::to_string(at) + ',' +
           time + ',' + std::to_string(etalon) + ',' + std::to_string(cutStart) + ',' +
           std::to_string(cutEnd) + ',' + std::to_string(criterion) + '\n';
}

std::string resultsCsvText(std::span<const ResultChain> chains, const ResultPlace& place) {
    std::string text = std::string(kResultsCsvHeader) + '\n';
    for (std::size_t c = 0; c < chains.size(); ++c) {
        const ResultChain& chain = chains[c];
        for (std::size_t k = 0; k < chain.positions.size(); ++k) {
            text += resultsCsvRow(c + 1, k + 1, static_cast<uint64_t>(chain.positions[k]), place,
                                  chain.etalons[k], chain.cutStarts[k], chain.cutEnds[k],
                                  chain.criterion);
        }
    }
    return text;
}

std::string writeResultsCsv(const std::string& path, std::span<const ResultChain> chains,
                            const ResultPlace& place) {
    return writeTextFile(path, resultsCsvText(chains, place));
}

}  // namespace etalon::io
