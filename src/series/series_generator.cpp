#include "series/series_generator.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/allocation.h"

namespace etalon {

namespace {

constexpr int32_t kLargestPosition = INT16_MAX;

void reportIncompatible(MessageSink& sink, const SeriesRequest& request,
                        const PulseCountBounds& bounds, const SeriesHeader& record) {
    std::string text = "Несовместимые входные параметры!\n\n";
    text += "dwSeriesSize: " + std::to_string(request.seriesLength) + " [" +
            std::to_string(record.dwSeriesSize) + "]\n";
    text += "wImpulseSize: " + std::to_string(request.pulseLength) + " [" +
            std::to_string(record.wImpulseSize) + "]\n";
    text += "wMinPulses: " + std::to_string(bounds.minPulses) + " [" +
            std::to_string(record.wMinPulses) + "]\n";
    text += "wMaxPulses: " + std::to_string(bounds.maxPulses) + " [" +
            std::to_string(record.wMaxPulses) + "]\n";
    text += "wImpulseQuantity: " + std::to_string(request.pulses) + "\n\n";
    sink.show(text, " makeExtSeries ", MessageIcon::Warning);
}

// Settings for which some position range would be empty, a division would be
// by zero, or the record or sequence could not hold the series.
bool isCompatible(const SeriesRequest& request, const PulseCountBounds& bounds,
                  const SeriesHeader& record) {
    const uint16_t q = request.pulses;
    if (seriesGeometryFault(request.seriesLength, request.pulseLength, request.tmin,
                            request.tmax) != GeometryFault::None) {
        return false;
    }
    if (q < bounds.minPulses || q > bounds.maxPulses) return false;
    if (q > record.wReservedQuantity || request.seriesLength > record.dwReservedSize) return false;
    if (request.sequence.size() < q) return false;
    if (record.lpPulsesList.size() < request.etalons || request.alphabet.size() < request.etalons) {
        return false;
    }
    return true;
}

// Writes the subset entries into the sequence, from pulse index s on, as the
// employment mode says. Writes stop at the end of the series; an index before
// its start (init position 0) is skipped.
class SubsetWriter {
  public:
    SubsetWriter(std::span<uint16_t> sequence, uint16_t pulses, std::span<const int16_t> subset,
                 int start)
        : sequence_(sequence), pulses_(pulses), subset_(subset), s_(start) {}

    void writeFrom(std::size_t first) {
        for (std::size_t i = first; i < subset_.size() && s_ < pulses_; ++i, ++s_) {
            if (s_ >= 0) sequence_[s_] = static_cast<uint16_t>(subset_[i]);
        }
    }
    void skip(int offset) { s_ += offset; }
    bool inside() const { return s_ < pulses_; }

  private:
    std::span<uint16_t> sequence_;
    int pulses_;
    std::span<const int16_t> subset_;
    int s_;
};

void placeSubset(const SeriesRequest& request, const SeriesHeader& record, RandomStreams& streams) {
    const int m = record.wSubsetLength;
    if (m <= 0 || record.wSubsetEmployment < 1 || record.wSubsetEmployment > 5) return;
    const int q = request.pulses;
    const int places = q - record.wSubsetInitPosition - m + 2;
    SubsetWriter writer(request.sequence, request.pulses,
                        std::span<const int16_t>(record.lpSelectedSubset.data(), m),
                        record.wSubsetInitPosition - 1);
    switch (record.wSubsetEmployment) {
        case 1:  // once, at a random place
            if (places > 0) writer.skip((getUniformRandom(streams.wSubsetSeed) / 2) % places);
            writer.writeFrom(0);
            break;
        case 2:  // once, at the start place
            writer.writeFrom(0);
            break;
        case 3:  // repeated with random gaps
            do {
                if (places > 0) {
                    writer.skip((getUniformRandom(streams.wSubsetRepeatSeed) / 2) % places);
                }
                writer.writeFrom(0);
            } while (writer.inside());
            break;
        case 4:  // back to back
            do {
                writer.writeFrom(0);
            } while (writer.inside());
            break;
        case 5: {  // back to back from a random phase
            writer.writeFrom((getUniformRandom(streams.wSubsetSeed) / 2) % m);
            do {
                writer.writeFrom(0);
            } while (writer.inside());
            break;
        }
    }
}

struct PlacementBounds {
    int32_t a1, a2, b1, b2;
    int32_t lo() const { return std::max(a1, a2); }
    int32_t hi() const { return std::min(b1, b2); }
};

// Pulse k of q: after k pulses at least Tmin apart (a1) with room for the rest
// at most Tmax apart (a2); within k + 1 steps of Tmax (b1) and leaving room for
// the rest at least Tmin apart (b2). None of it depends on what was drawn.
PlacementBounds pulseBounds(uint32_t seriesLength, int32_t pulseLength, int32_t tmin, int32_t tmax,
                            int32_t q, int32_t k) {
    const auto n = static_cast<int32_t>(seriesLength);
    return {k * tmin, n - tmax * (q - k), (k + 1) * tmax - pulseLength,
            n - pulseLength - tmin * (q - k - 1)};
}

PlacementBounds firstPulseBounds(const SeriesRequest& request, int32_t k0) {
    return pulseBounds(request.seriesLength, request.pulseLength, request.tmin, request.tmax,
                       request.pulses, k0);
}

// Draws one pulse's position and kept window and writes its samples.
class PulsePlacer {
  public:
    PulsePlacer(const SeriesRequest& request, SeriesHeader& record, RandomStreams& streams,
                std::vector<int32_t>& partialEnergy)
        : request_(request), record_(record), streams_(streams), energy_(partialEnergy) {}

    // Returns the position drawn from [u, v].
    int32_t place(int k, const PlacementBounds& bounds, int32_t u, int32_t v) {
        const int32_t length = request_.pulseLength;
        record_.lpMinPositions[k] = static_cast<int16_t>(bounds.lo());
        record_.lpMaxPositions[k] = static_cast<int16_t>(bounds.hi());
        const PulseHeader& etalon = request_.alphabet[request_.sequence[k] - 1];
        std::span<const int16_t> data = etalon.samples();
        auto sample = [&](int32_t j) -> int32_t { return j < int32_t(data.size()) ? data[j] : 0; };

        const int32_t range = std::max<int32_t>(v - u + 1, 1);
        const int32_t pos = u + (getUniformRandom(streams_.wPositionSeed) / 4) % range;

        energy_[0] = 0;
        for (int32_t j = 0; j < length; ++j)
            energy_[j + 1] = energy_[j] + sample(j) * sample(j);
        const int32_t total = energy_[length];
        const int32_t threshold = request_.savedEnergyLevel * total / 100;

        int32_t latestStart = 0;
        while (latestStart < length && total - energy_[latestStart + 1] > threshold)
            ++latestStart;
        if (latestStart == length) latestStart = length - 1;
        const int32_t ws = getUniformRandom(streams_.wCutStartSeed) % (latestStart + 1);

        int32_t earliestEnd = length - 1;
        while (earliestEnd > ws && energy_[earliestEnd] - energy_[ws] > threshold)
            --earliestEnd;
        const int32_t we =
            earliestEnd + getUniformRandom(streams_.wCutEndSeed) % (length - earliestEnd);

        for (int32_t i = ws; i <= we; ++i)
            record_.lpPureData[pos + i] = static_cast<int16_t>(sample(i));
        record_.lpPositions[k] = static_cast<int16_t>(pos);
        record_.lpRestoredPositions[k] = -1;
        record_.lpCutStarts[k] = static_cast<int16_t>(ws);
        record_.lpCutEnds[k] = static_cast<int16_t>(we);
        return pos;
    }

  private:
    const SeriesRequest& request_;
    SeriesHeader& record_;
    RandomStreams& streams_;
    std::vector<int32_t>& energy_;
};

void placePulses(const SeriesRequest& request, SeriesHeader& record, RandomStreams& streams,
                 std::vector<int32_t>& partialEnergy) {
    const int32_t q = request.pulses;
    PulsePlacer placer(request, record, streams, partialEnergy);
    const int32_t k0 =
        std::clamp<int32_t>((getUniformRandom(streams.wPositionSeed) / 4) % q, 0, q - 1);

    const PlacementBounds first = firstPulseBounds(request, k0);
    const int32_t firstPosition = placer.place(k0, first, first.lo(), first.hi());

    PlacementBounds bounds = first;
    int32_t previous = firstPosition;
    for (int32_t k = k0 + 1; k < q; ++k) {
        bounds.a1 += request.tmin;
        bounds.a2 += request.tmax;
        bounds.b1 += request.tmax;
        bounds.b2 += request.tmin;
        previous = placer.place(k, bounds, std::max(previous + request.tmin, bounds.lo()),
                                std::min(previous + request.tmax, bounds.hi()));
    }
    bounds = first;
    previous = firstPosition;
    for (int32_t k = k0 - 1; k >= 0; --k) {
        bounds.a1 -= request.tmin;
        bounds.a2 -= request.tmax;
        bounds.b1 -= request.tmax;
        bounds.b2 -= request.tmin;
        previous = placer.place(k, bounds, std::max(previous - request.tmax, bounds.lo()),
                                std::min(previous - request.tmin, bounds.hi()));
    }
}

}  // namespace

PulsePositionRange pulsePositionRange(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                                      uint16_t tmax, uint16_t pulses, uint16_t k) {
    const PlacementBounds b = pulseBounds(seriesLength, pulseLength, tmin, tmax, pulses, k);
    return {b.lo(), b.hi()};
}

GeometryFault seriesGeometryFault(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                                  uint16_t tmax) {
    if (tmin == 0) return GeometryFault::NoTmin;
    if (tmin > tmax) return GeometryFault::TminAboveTmax;
    if (pulseLength == 0 || pulseLength > tmax) return GeometryFault::PulseLongerThanTmax;
    if (seriesLength < pulseLength) return GeometryFault::SeriesShorterThanPulse;
    if (seriesLength > kLargestPosition) return GeometryFault::SeriesTooLong;
    const PulseCountBounds bounds = pulseCountBounds(seriesLength, pulseLength, tmin, tmax);
    if (std::max<uint16_t>(bounds.minPulses, 1) > bounds.maxPulses)
        return GeometryFault::NoPulseCount;
    return GeometryFault::None;
}

int16_t makeExtSeries(MessageSink& sink, const SeriesRequest& request, SeriesHeader& record,
                      RandomStreams& streams) {
    PulseCountBounds bounds =
        pulseCountBounds(request.seriesLength, request.pulseLength, request.tmin, request.tmax);
    if (bounds.minPulses == 0) bounds.minPulses = 1;
    if (!isCompatible(request, bounds, record)) {
        reportIncompatible(sink, request, bounds, record);
        return 0;
    }
    const uint16_t q = request.pulses;
    const uint16_t length = request.pulseLength;

    record.dwSeriesSize = request.seriesLength;
    record.wMaxPulses = bounds.maxPulses;
    record.wMinPulses = bounds.minPulses;
    record.wNoiseLevel = 0;
    record.wAmplitude = request.amplitude;
    record.wWholeStart = 0;
    record.wWholeEnd = static_cast<int16_t>(length - 1);

    placeSubset(request, record, streams);

    for (uint16_t k = 0; k < q; ++k) {
        uint16_t& entry = request.sequence[k];
        if (entry < 1 || entry > request.etalons) entry = 1;
        record.lpEtalons[k] = static_cast<int16_t>(entry);
        record.lpRestoredEtalons[k] = 0;
        record.lpRestoredCutStarts[k] = 0;
        record.lpRestoredCutEnds[k] = 0;
        record.lpCutStarts[k] = 0;
        record.lpCutEnds[k] = static_cast<int16_t>(length - 1);
    }

    record.wEtalons = request.etalons;
    for (uint16_t i = 0; i < request.etalons; ++i)
        record.lpPulsesList[i] = &request.alphabet[i];

    std::fill_n(record.lpPureData.begin(), request.seriesLength, int16_t{0});
    std::vector<int32_t> partialEnergy;
    if (!allocateBuffer(partialEnergy, std::size_t{length} + 1)) {
        sink.showOutOfMemory("Нет памяти для PartialEnergy!", "", MessageIcon::None);
        return 0;
    }
    placePulses(request, record, streams, partialEnergy);

    record.wTmin = request.tmin;
    record.wTmax = request.tmax;
    record.wImpulseSize = length;
    record.wImpulseQuantity = q;
    std::copy_n(record.lpPureData.begin(), request.seriesLength, record.lpNoisyData.begin());
    record.lpFirstPulse = record.lpPulsesList[request.sequence[0] - 1];
    return -1;
}

std::unique_ptr<SeriesHeader> getCutOffSeries(MessageSink& sink, const SeriesRequest& request,
                                              std::unique_ptr<SeriesHeader> record,
                                              RandomStreams& streams) {
    record = getCutOffSeriesHeader(sink, request.etalons, request.pulseLength, request.tmin,
                                   request.tmax, request.seriesLength, std::move(record));
    if (!record) {
        sink.show("Не могу выделить память для lpSeriesHeader!", " getCutOffSeries ",
                  MessageIcon::Warning);
        return nullptr;
    }
    if (record->wMinPulses == 0) record->wMinPulses = 1;
    makeExtSeries(sink, request, *record, streams);
    return record;
}

std::unique_ptr<SeriesHeader> makeUnfixedSeries(MessageSink& sink, const SeriesRequest& request,
                                                std::unique_ptr<SeriesHeader> record,
                                                RandomStreams& streams) {
    PulseCountBounds bounds =
        pulseCountBounds(request.seriesLength, request.pulseLength, request.tmin, request.tmax);
    if (bounds.minPulses == 0) bounds.minPulses = 1;
    if (bounds.maxPulses < bounds.minPulses) return nullptr;
    SeriesRequest drawn = request;
    const int span = bounds.maxPulses - bounds.minPulses + 1;
    drawn.pulses = static_cast<uint16_t>(bounds.minPulses +
                                         (getUniformRandom(streams.wPulseCountSeed) / 4) % span);
    return getCutOffSeries(sink, drawn, std::move(record), streams);
}

void addSeriesNoise(int16_t sigma, int16_t /*amplitude*/, SeriesHeader* record,
                    int16_t& noiseStream) {
    if (!record) return;
    const uint32_t n = std::min<std::size_t>(record->dwSeriesSize, record->lpNoisyData.size());
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t value = record->lpPureData[i] + getGaussRandom(noiseStream, 0, sigma);
        record->lpNoisyData[i] = static_cast<int16_t>(value);
    }
    record->wNoiseLevel = sigma;
}

}  // namespace etalon
