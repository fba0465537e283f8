#include "simulation/simulation_table.h"

#include <cstdio>

namespace etalon {

std::string simulationTableCsv(const RestErrorHeader& record) {
    std::string csv = "noise,pulses,restored_error,detection_error,recognition_errors\n";
    const auto noise = record.lpNoiseLevels();
    const auto pulses = record.wPulseValues();
    for (std::size_t v = 0; v < noise.size(); ++v) {
        const auto errors = record.lpErrors(v);
        const auto detection = record.lpDetectionErrors(v);
        const auto recognition = record.lpRecognitionErrors(v);
        for (std::size_t p = 0; p < pulses.size(); ++p) {
            csv += std::to_string(noise[v]) + ',' + std::to_string(pulses[p]) + ',' +
                   std::to_string(errors[p]) + ',' + std::to_string(detection[p]) + ',' +
                   std::to_string(recognition[p]) + '\n';
        }
    }
    return csv;
}

std::string shareText(uint64_t hits, uint64_t pulses) {
    if (pulses == 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.4f",
                  static_cast<double>(hits) / static_cast<double>(pulses));
    return text;
}

std::string simulationComparisonCsv(const RestErrorHeader& exact, const RestErrorHeader& baseline,
                                    const PositionShares& shares) {
    std::string csv =
        "noise,pulses,restored_error,detection_error,recognition_errors,"
        "baseline_restored_error,baseline_detection_error,baseline_recognition_errors,"
        "exact_position_share,baseline_exact_position_share\n";
    const auto noise = exact.lpNoiseLevels();
    const auto pulses = exact.wPulseValues();
    const auto number = [](uint32_t value) { return ',' + std::to_string(value); };
    for (std::size_t v = 0; v < noise.size(); ++v) {
        for (std::size_t p = 0; p < pulses.size(); ++p) {
            const std::size_t cell = v * pulses.size() + p;
            csv += std::to_string(noise[v]) + ',' + std::to_string(pulses[p]);
            for (const RestErrorHeader* grid : {&exact, &baseline}) {
                csv += number(grid->lpErrors(v)[p]) + number(grid->lpDetectionErrors(v)[p]) +
                       number(grid->lpRecognitionErrors(v)[p]);
            }
            const uint64_t truth = cell < shares.truePulses.size() ? shares.truePulses[cell] : 0;
            const auto hits = [&](std::span<const uint64_t> of) {
                return cell < of.size() ? of[cell] : 0;
            };
            csv += ',' + shareText(hits(shares.exactHits), truth) + ',' +
                   shareText(hits(shares.baselineHits), truth) + '\n';
        }
    }
    return csv;
}

}  // namespace etalon
