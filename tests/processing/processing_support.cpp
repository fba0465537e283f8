#include "processing/processing_support.h"

#include <sstream>

#include "pulses/alphabet.h"
#include "series/series_generator.h"
#include "series/subsets.h"

namespace etalon::test {

SeriesMaker::SeriesMaker() {
    SilentSink sink;
    makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet_,
                 streams_.wAlphabetNoiseSeed);
}

bool SeriesMaker::make(const SeriesRecipe& spec) {
    SilentSink sink;
    PulseCountBounds bounds = pulseCountBounds(spec.length, kEtalonLength, spec.tmin, spec.tmax);
    if (bounds.minPulses == 0) bounds.minPulses = 1;
    std::vector<uint16_t> sequence = spec.sequence;
    sequence.resize(std::max<std::size_t>(bounds.maxPulses, 1), 1);
    if (!spec.subset.empty()) {
        series_ = getCutOffSeriesHeader(sink, kEtalonsNumber, kEtalonLength, spec.tmin, spec.tmax,
                                        spec.length, std::move(series_));
        if (!series_) return false;
        setSelectedSubset(spec.subset, spec.employment, 1, series_.get());
    }
    SeriesRequest request;
    request.alphabet = alphabet_;
    request.tmin = spec.tmin;
    request.tmax = spec.tmax;
    request.seriesLength = spec.length;
    request.pulses = spec.pulses >= 0
                         ? static_cast<uint16_t>(spec.pulses)
                         : static_cast<uint16_t>((bounds.minPulses + bounds.maxPulses) / 2);
    request.sequence = sequence;
    request.savedEnergyLevel = spec.makingLevel;
    const bool unfixed = spec.type == 4 || spec.type == 8 || spec.type == 40;
    if (unfixed) {
        series_ = makeUnfixedSeries(sink, request, std::move(series_), streams_);
        if (!series_) return false;
    } else {
        series_ = getCutOffSeries(sink, request, std::move(series_), streams_);
        if (!series_) return false;
    }
    if (series_->wImpulseQuantity == 0 || series_->dwSeriesSize != spec.length) return false;
    if (spec.noise != 0)
        addSeriesNoise(spec.noise, kPulseAmplitude, series_.get(), streams_.wNoiseSeed);
    return true;
}

std::unique_ptr<SeriesHeader> cloneSeries(const SeriesHeader& s) {
    auto copy = std::make_unique<SeriesHeader>();
    copy->dwReservedSize = s.dwReservedSize;
    copy->dwSeriesSize = s.dwSeriesSize;
    copy->wTmin = s.wTmin;
    copy->wTmax = s.wTmax;
    copy->lpPureData = s.lpPureData;
    copy->lpNoisyData = s.lpNoisyData;
    copy->wImpulseSize = s.wImpulseSize;
    copy->wImpulseQuantity = s.wImpulseQuantity;
    copy->wMaxPulses = s.wMaxPulses;
    copy->wMinPulses = s.wMinPulses;
    copy->lpPositions = s.lpPositions;
    copy->lpRestoredPositions = s.lpRestoredPositions;
    copy->lpMinPositions = s.lpMinPositions;
    copy->lpMaxPositions = s.lpMaxPositions;
    copy->lpEtalons = s.lpEtalons;
    copy->lpRestoredEtalons = s.lpRestoredEtalons;
    copy->wReservedQuantity = s.wReservedQuantity;
    copy->wRestoredQuantity = s.wRestoredQuantity;
    copy->lpCutStarts = s.lpCutStarts;
    copy->lpCutEnds = s.lpCutEnds;
    copy->lpRestoredCutStarts = s.lpRestoredCutStarts;
    copy->lpRestoredCutEnds = s.lpRestoredCutEnds;
    copy->lpSelectedSubset = s.lpSelectedSubset;
    copy->wSubsetLength = s.wSubsetLength;
    copy->wRestoredTuples = s.wRestoredTuples;
    copy->lpRestoredTupleFirst = s.lpRestoredTupleFirst;
    copy->lpRestoredTupleSecond = s.lpRestoredTupleSecond;
    copy->wTupleCriterion = s.wTupleCriterion;
    return copy;
}

void markRestored(SeriesHeader& s) {
    s.wRestoredQuantity = 7777;
    s.wRestoredTuples = 777;
    s.wTupleCriterion = 77;
    for (auto* v : {&s.lpRestoredPositions, &s.lpRestoredEtalons, &s.lpRestoredCutStarts,
                    &s.lpRestoredCutEnds, &s.lpRestoredTupleFirst, &s.lpRestoredTupleSecond}) {
        for (std::size_t i = 0; i < v->size(); ++i)
            (*v)[i] = static_cast<int16_t>(-1000 - i);
    }
}

std::unique_ptr<ChainsHeader> makeChains(uint16_t pulses, uint16_t chains) {
    SilentSink sink;
    return getChainsHeader(sink, chains, pulses, nullptr);
}

namespace {

template <class A, class B>
std::string differ(const char* what, const A& a, const B& b) {
    if (a == b) return {};
    std::ostringstream out;
    out << what << ": " << a << " vs " << b;
    return out.str();
}

std::string diffArray(const char* what, const std::vector<int16_t>& a,
                      const std::vector<int16_t>& b, std::size_t n) {
    for (std::size_t i = 0; i < n && i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            std::ostringstream out;
            out << what << "[" << i << "]: " << a[i] << " vs " << b[i];
            return out.str();
        }
    }
    return {};
}

}  // namespace

std::string diffSeries(const SeriesHeader& a, const SeriesHeader& b) {
    std::string d;
    if (!(d = differ("wRestoredQuantity", a.wRestoredQuantity, b.wRestoredQuantity)).empty())
        return d;
    if (!(d = differ("wRestoredTuples", a.wRestoredTuples, b.wRestoredTuples)).empty()) return d;
    if (!(d = differ("wTupleCriterion", a.wTupleCriterion, b.wTupleCriterion)).empty()) return d;
    // Whole arrays: entries beyond the counts must be left alike too.
    const std::size_t all = a.lpRestoredPositions.size();
    if (!(d = diffArray("lpRestoredPositions", a.lpRestoredPositions, b.lpRestoredPositions, all))
             .empty())
        return d;
    if (!(d = diffArray("lpRestoredEtalons", a.lpRestoredEtalons, b.lpRestoredEtalons, all))
             .empty())
        return d;
    if (!(d = diffArray("lpRestoredCutStarts", a.lpRestoredCutStarts, b.lpRestoredCutStarts, all))
             .empty())
        return d;
    if (!(d = diffArray("lpRestoredCutEnds", a.lpRestoredCutEnds, b.lpRestoredCutEnds, all))
             .empty())
        return d;
    if (!(d = diffArray("lpRestoredTupleFirst", a.lpRestoredTupleFirst, b.lpRestoredTupleFirst,
                        all))
             .empty())
        return d;
    return diffArray("lpRestoredTupleSecond", a.lpRestoredTupleSecond, b.lpRestoredTupleSecond,
                     all);
}

std::string diffChains(const ChainsHeader& a, const ChainsHeader& b) {
    std::string d;
    if (!(d = differ("wPretenders", a.wPretenders, b.wPretenders)).empty()) return d;
    if (!(d = differ("wQuanPulses", a.wQuanPulses, b.wQuanPulses)).empty()) return d;
    if (!(d = differ("wSeekingPulsesQuantity", a.wSeekingPulsesQuantity, b.wSeekingPulsesQuantity))
             .empty())
        return d;
    for (std::size_t c = 0; c < a.wPretenders; ++c) {
        const std::string at = "chain " + std::to_string(c) + " ";
        if (!(d = differ((at + "distance").c_str(), a.distance(c), b.distance(c))).empty())
            return d;
        if (!(d = differ((at + "pulsesQuantity").c_str(), a.pulsesQuantity(c), b.pulsesQuantity(c)))
                 .empty())
            return d;
        const std::size_t n = static_cast<std::size_t>(a.pulsesQuantity(c));
        auto row = [](std::span<const int16_t> s) {
            return std::vector<int16_t>(s.begin(), s.end());
        };
        if (!(d = diffArray((at + "pulsesList").c_str(), row(a.pulsesList(c)), row(b.pulsesList(c)),
                            n))
                 .empty())
            return d;
        if (!(d = diffArray((at + "positionsList").c_str(), row(a.positionsList(c)),
                            row(b.positionsList(c)), n))
                 .empty())
            return d;
        if (!(d = diffArray((at + "cutStartsList").c_str(), row(a.cutStartsList(c)),
                            row(b.cutStartsList(c)), n))
                 .empty())
            return d;
        if (!(d = diffArray((at + "cutEndsList").c_str(), row(a.cutEndsList(c)),
                            row(b.cutEndsList(c)), n))
                 .empty())
            return d;
    }
    return {};
}

}  // namespace etalon::test
