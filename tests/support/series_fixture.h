#pragma once

#include <array>
#include <memory>
#include <vector>

#include "pulses/alphabet.h"
#include "pulses/random_streams.h"
#include "series/series_generator.h"
#include "support/recording_sink.h"

namespace etalon::test {

// The alphabet as the workbench builds it at start-up, streams carrying on
// from there, and a sequence long enough for any count used in tests.
struct SeriesFixture {
    RecordingSink sink;
    RandomStreams streams;
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    std::vector<uint16_t> sequence = std::vector<uint16_t>(UINT16_MAX, 1);
    std::unique_ptr<SeriesHeader> series;

    SeriesFixture() {
        makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet,
                     streams.wAlphabetNoiseSeed);
    }

    SeriesRequest request(uint32_t n = 1200, uint16_t q = 18, uint16_t tmin = 40,
                          uint16_t tmax = 181, uint16_t level = 100) {
        SeriesRequest r;
        r.alphabet = alphabet;
        r.seriesLength = n;
        r.pulses = q;
        r.tmin = tmin;
        r.tmax = tmax;
        r.savedEnergyLevel = level;
        r.sequence = sequence;
        return r;
    }

    // Makes the next series into the record; the record may come back null.
    void tryMake(const SeriesRequest& r) {
        series = getCutOffSeries(sink, r, std::move(series), streams);
    }

    SeriesHeader& make(const SeriesRequest& r) {
        tryMake(r);
        static SeriesHeader none;  // keeps a failed step from binding a null reference
        return series ? *series : none;
    }
};

}  // namespace etalon::test
