#include "cli/process_json.h"

#include <algorithm>

#include "cli/json_output.h"

namespace etalon::cli {

namespace {

template <class Range>
nlohmann::ordered_json firstEntries(const Range& values, std::size_t count) {
    count = std::min<std::size_t>(count, values.size());
    return nlohmann::ordered_json(std::vector<int16_t>(values.begin(), values.begin() + count));
}

}  // namespace

nlohmann::ordered_json processedSeriesToJson(const SeriesHeader& series) {
    nlohmann::ordered_json out = seriesToJson(series);
    const std::size_t restored = series.wRestoredQuantity;
    const std::size_t tuples =
        static_cast<std::size_t>(std::max<int16_t>(series.wRestoredTuples, 0));
    out["wRestoredQuantity"] = series.wRestoredQuantity;
    out["lpRestoredPositions"] = firstEntries(series.lpRestoredPositions, restored);
    out["lpRestoredEtalons"] = firstEntries(series.lpRestoredEtalons, restored);
    out["lpRestoredCutStarts"] = firstEntries(series.lpRestoredCutStarts, restored);
    out["lpRestoredCutEnds"] = firstEntries(series.lpRestoredCutEnds, restored);
    out["wRestoredTuples"] = series.wRestoredTuples;
    out["lpRestoredTupleFirst"] = firstEntries(series.lpRestoredTupleFirst, tuples);
    out["lpRestoredTupleSecond"] = firstEntries(series.lpRestoredTupleSecond, tuples);
    out["wTupleCriterion"] = series.wTupleCriterion;
    return out;
}

nlohmann::ordered_json chainsToJson(const ChainsHeader& chains) {
    nlohmann::ordered_json out;
    out["wMaxSize"] = chains.wMaxSize;
    out["wPretenders"] = chains.wPretenders;
    out["wQuanPulses"] = chains.wQuanPulses;
    out["wSeekingPulsesQuantity"] = chains.wSeekingPulsesQuantity;
    nlohmann::ordered_json held = nlohmann::ordered_json::array();
    for (std::size_t c = 0; c < chains.wPretenders; ++c) {
        const std::size_t n = static_cast<std::size_t>(
            std::clamp<int32_t>(chains.pulsesQuantity(c), 0, chains.wMaxPulses));
        nlohmann::ordered_json chain;
        chain["distance"] = chains.distance(c);
        chain["pulsesQuantity"] = chains.pulsesQuantity(c);
        chain["pulsesList"] = firstEntries(chains.pulsesList(c), n);
        chain["positionsList"] = firstEntries(chains.positionsList(c), n);
        chain["cutStartsList"] = firstEntries(chains.cutStartsList(c), n);
        chain["cutEndsList"] = firstEntries(chains.cutEndsList(c), n);
        held.push_back(chain);
    }
    out["chains"] = held;
    return out;
}

nlohmann::ordered_json recordingToJson(const io::Recording& recording) {
    nlohmann::ordered_json out;
    out["first"] = recording.first;
    out["samples"] = recording.samples.size();
    out["scaled"] = recording.scaled;
    out["scale"] = recording.scale;
    out["sampleRate"] = recording.sampleRate ? nlohmann::ordered_json(*recording.sampleRate)
                                             : nlohmann::ordered_json(nullptr);
    return out;
}

}  // namespace etalon::cli
