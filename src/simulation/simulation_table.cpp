#include "simulation/simulation_table.h"

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

}  // namespace etalon
