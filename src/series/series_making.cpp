#include "series/series_making.h"

#include <algorithm>

#include "series/series_generator.h"
#include "series/subsets.h"

namespace etalon {

namespace {

// Counts the reports passed on: a report means the step failed.
class CountingSink final : public MessageSink {
  public:
    explicit CountingSink(MessageSink& inner) : inner_(inner) {}
    int show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        ++shown;
        return inner_.show(text, caption, icon);
    }
    int shown = 0;

  private:
    MessageSink& inner_;
};

PulseCountBounds raisedBounds(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                              uint16_t tmax) {
    PulseCountBounds bounds = pulseCountBounds(seriesLength, pulseLength, tmin, tmax);
    if (bounds.minPulses == 0) bounds.minPulses = 1;
    return bounds;
}

}  // namespace

uint16_t middlePulseCount(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                          uint16_t tmax) {
    const PulseCountBounds bounds = raisedBounds(seriesLength, pulseLength, tmin, tmax);
    return static_cast<uint16_t>((bounds.minPulses + bounds.maxPulses) / 2);
}

SeriesMade makeRequestedSeries(MessageSink& sink, const SeriesMakingRequest& r,
                               std::unique_ptr<SeriesHeader>& record, RandomStreams& streams) {
    CountingSink reports(sink);
    if (!r.subset.empty()) {
        record = getCutOffSeriesHeader(reports, r.etalons, r.pulseLength, r.tmin, r.tmax,
                                       r.seriesLength, std::move(record));
        if (!record) return SeriesMade::NoRecord;
        setSelectedSubset(r.subset, r.employment, r.initPosition, record.get());
    }

    std::vector<uint16_t> ownSequence;
    std::vector<uint16_t>& sequence = r.sequence ? *r.sequence : ownSequence;
    const PulseCountBounds bounds = raisedBounds(r.seriesLength, r.pulseLength, r.tmin, r.tmax);
    const std::size_t needed = std::max<std::size_t>({bounds.maxPulses, r.pulses, 1});
    if (sequence.size() < needed) sequence.resize(needed, r.sequenceFill);

    SeriesRequest request;
    request.etalons = r.etalons;
    request.alphabet = r.alphabet;
    request.pulseLength = r.pulseLength;
    request.tmin = r.tmin;
    request.tmax = r.tmax;
    request.seriesLength = r.seriesLength;
    request.pulses = r.pulses;
    request.sequence = sequence;
    request.amplitude = r.amplitude;
    request.savedEnergyLevel = r.makingLevel;
    record = isUnfixedSeries(r.seriesType)
                 ? makeUnfixedSeries(reports, request, std::move(record), streams)
                 : getCutOffSeries(reports, request, std::move(record), streams);
    if (!record) return SeriesMade::NoRecord;
    if (reports.shown > 0) return SeriesMade::Refused;
    if (r.noise != 0) addSeriesNoise(r.noise, r.amplitude, record.get(), streams.wNoiseSeed);
    return SeriesMade::Made;
}

}  // namespace etalon
