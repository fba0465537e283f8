#include "io/recording_series.h"

#include <algorithm>

#include "io/geometry_text.h"
#include "io/recording.h"
#include "io/sum_range.h"
#include "series/series_generator.h"

namespace etalon::io {

SeriesCode recordingSeriesType(bool knownCount, uint16_t processingLevel) {
    const bool cut = processingLevel < 100;
    if (knownCount) return cut ? SeriesCode::FixedCutoff : SeriesCode::FixedWhole;
    return cut ? SeriesCode::UnfixedCutoff : SeriesCode::UnfixedWhole;
}

bool seriesCannotHold(std::span<const int16_t> samples, std::span<const PulseHeader> fitted,
                      uint16_t tmin, uint16_t tmax) {
    if (samples.size() > kMostRecordingSamples) return true;
    if (fitted.empty()) return false;
    const PulseCountBounds bounds =
        pulseCountBounds(static_cast<uint32_t>(samples.size()), fitted[0].wSize, tmin, tmax);
    return !sumWrapProblem(samples, fitted, bounds.maxPulses).empty();
}

std::unique_ptr<SeriesHeader> seriesFromRecording(MessageSink& sink,
                                                  std::span<const int16_t> samples,
                                                  const RecordingProcessing& how,
                                                  RecordingRefusal& refusal) {
    refusal = {};
    const auto n = static_cast<uint32_t>(samples.size());
    const auto etalons = static_cast<uint16_t>(how.alphabet.size());
    const uint16_t pulseLength = how.alphabet.empty() ? 0 : how.alphabet[0].wSize;
    const auto words = [&]() {
        return GeometryWords{std::to_string(n) + " samples", "Tmin " + std::to_string(how.tmin),
                             "Tmax " + std::to_string(how.tmax)};
    };
    if (std::string why = geometryFaultText(n, pulseLength, how.tmin, how.tmax, words());
        !why.empty()) {
        refusal.reason = RecordingRefusal::Reason::Geometry;
        refusal.text = why + ": no series of etalons of " + std::to_string(pulseLength) +
                       " samples fits the recording";
        return nullptr;
    }
    PulseCountBounds bounds = pulseCountBounds(n, pulseLength, how.tmin, how.tmax);
    bounds.minPulses = std::max<uint16_t>(bounds.minPulses, 1);
    if (how.pulses && (*how.pulses < bounds.minPulses || *how.pulses > bounds.maxPulses)) {
        refusal.reason = RecordingRefusal::Reason::PulseCount;
        refusal.text = "a count of " + std::to_string(*how.pulses) + " pulses is outside " +
                       std::to_string(bounds.minPulses) + ".." + std::to_string(bounds.maxPulses) +
                       ", the counts " + std::to_string(n) + " samples with Tmin " +
                       std::to_string(how.tmin) + " and Tmax " + std::to_string(how.tmax) + " hold";
        return nullptr;
    }
    const uint16_t q = how.pulses.value_or(0);
    refusal.text = sumWrapProblem(samples, how.fitted, how.pulses.value_or(bounds.maxPulses));
    if (!refusal.text.empty()) {
        refusal.reason = RecordingRefusal::Reason::Sums;
        return nullptr;
    }

    auto record = getCutOffSeriesHeader(sink, etalons, pulseLength, how.tmin, how.tmax, n, nullptr);
    if (!record) return nullptr;
    SeriesHeader& s = *record;
    std::copy(samples.begin(), samples.end(), s.lpNoisyData.begin());
    std::copy(samples.begin(), samples.end(), s.lpPureData.begin());
    s.wMinPulses = bounds.minPulses;
    s.wMaxPulses = bounds.maxPulses;
    s.wImpulseSize = pulseLength;
    s.wImpulseQuantity = q;
    // No truth: -1 positions and etalon 0, as no pulse of the record has.
    std::fill(s.lpPositions.begin(), s.lpPositions.end(), int16_t{-1});
    std::fill(s.lpRestoredPositions.begin(), s.lpRestoredPositions.end(), int16_t{-1});
    std::fill(s.lpEtalons.begin(), s.lpEtalons.end(), int16_t{0});
    for (uint16_t k = 0; k < q; ++k) {
        const PulsePositionRange range =
            pulsePositionRange(n, pulseLength, how.tmin, how.tmax, q, k);
        s.lpMinPositions[k] = static_cast<int16_t>(range.lo);
        s.lpMaxPositions[k] = static_cast<int16_t>(range.hi);
        s.lpCutStarts[k] = 0;
        s.lpCutEnds[k] = static_cast<int16_t>(pulseLength - 1);
    }
    return record;
}

}  // namespace etalon::io
