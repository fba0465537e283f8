#include "io/results_csv.h"

#include <cstdio>

#include "io/text_file.h"

namespace etalon::io {

const char* const kResultsCsvHeader =
    "chain,pulse,position,time,etalon,cut_start,cut_end,criterion";

std::string resultsCsvText(std::span<const ResultChain> chains, const ResultPlace& place) {
    std::string text = std::string(kResultsCsvHeader) + '\n';
    for (std::size_t c = 0; c < chains.size(); ++c) {
        const ResultChain& chain = chains[c];
        for (std::size_t k = 0; k < chain.positions.size(); ++k) {
            const uint64_t position = place.first + static_cast<uint64_t>(chain.positions[k]);
            std::string time;
            if (place.sampleRate && *place.sampleRate > 0) {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%.9g",
                              static_cast<double>(position) / *place.sampleRate);
                time = seconds;
            }
            text += std::to_string(c + 1) + ',' + std::to_string(k + 1) + ',' +
                    std::to_string(position) + ',' + time + ',' + std::to_string(chain.etalons[k]) +
                    ',' + std::to_string(chain.cutStarts[k]) + ',' +
                    std::to_string(chain.cutEnds[k]) + ',' + std::to_string(chain.criterion) + '\n';
        }
    }
    return text;
}

std::string writeResultsCsv(const std::string& path, std::span<const ResultChain> chains,
                            const ResultPlace& place) {
    return writeTextFile(path, resultsCsvText(chains, place));
}

}  // namespace etalon::io
