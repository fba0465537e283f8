#include "cli/json_output.h"

#include <algorithm>

namespace etalon::cli {

namespace {

nlohmann::ordered_json firstEntries(const std::vector<int16_t>& values, std::size_t count) {
    count = std::min(count, values.size());
    return nlohmann::ordered_json(std::vector<int16_t>(values.begin(), values.begin() + count));
}

}  // namespace

nlohmann::ordered_json alphabetToJson(std::span<const PulseHeader> alphabet) {
    nlohmann::ordered_json etalons = nlohmann::ordered_json::array();
    for (const PulseHeader& pulse : alphabet) {
        std::span<const int16_t> samples = pulse.samples();
        etalons.push_back({{"wNumber", pulse.wNumber},
                           {"wSize", pulse.wSize},
                           {"lpData", std::vector<int16_t>(samples.begin(), samples.end())}});
    }
    return {{"etalons", etalons}};
}

nlohmann::ordered_json seriesToJson(const SeriesHeader& series) {
    const std::size_t n = series.dwSeriesSize;
    const std::size_t q = series.wImpulseQuantity;
    nlohmann::ordered_json out;
    out["dwSeriesSize"] = series.dwSeriesSize;
    out["wTmin"] = series.wTmin;
    out["wTmax"] = series.wTmax;
    out["wImpulseSize"] = series.wImpulseSize;
    out["wImpulseQuantity"] = series.wImpulseQuantity;
    out["wMinPulses"] = series.wMinPulses;
    out["wMaxPulses"] = series.wMaxPulses;
    out["wNoiseLevel"] = series.wNoiseLevel;
    out["wAmplitude"] = series.wAmplitude;
    out["lpPureData"] = firstEntries(series.lpPureData, n);
    out["lpNoisyData"] = firstEntries(series.lpNoisyData, n);
    out["lpPositions"] = firstEntries(series.lpPositions, q);
    out["lpMinPositions"] = firstEntries(series.lpMinPositions, q);
    out["lpMaxPositions"] = firstEntries(series.lpMaxPositions, q);
    out["lpEtalons"] = firstEntries(series.lpEtalons, q);
    out["lpCutStarts"] = firstEntries(series.lpCutStarts, q);
    out["lpCutEnds"] = firstEntries(series.lpCutEnds, q);
    out["wSubsetLength"] = series.wSubsetLength;
    out["lpSelectedSubset"] = firstEntries(series.lpSelectedSubset, series.wSubsetLength);
    return out;
}

}  // namespace etalon::cli
