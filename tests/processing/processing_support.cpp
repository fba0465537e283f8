#include "processing/processing_support.h"

#include <sstream>

#include "pulses/alphabet.h"
#include "series/series_making.h"

namespace etalon::test {

SeriesFromRecipe::SeriesFromRecipe() {
    SilentSink sink;
    makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet_,
                 streams_.wAlphabetNoiseSeed);
}

bool SeriesFromRecipe::make(const SeriesRecipe& recipe) {
    SilentSink sink;
    std::vector<uint16_t> sequence = recipe.sequence;
    SeriesMakingRequest request;
    request.seriesType = SeriesCode{recipe.type};
    request.alphabet = alphabet_;
    request.seriesLength = recipe.length;
    request.tmin = recipe.tmin;
    request.tmax = recipe.tmax;
    request.pulses = recipe.pulses >= 0
                         ? static_cast<uint16_t>(recipe.pulses)
                         : middlePulseCount(recipe.length, kEtalonLength, recipe.tmin, recipe.tmax);
    request.makingLevel = recipe.makingLevel;
    request.sequence = &sequence;
    request.subset = recipe.subset;
    request.employment = recipe.employment;
    request.noise = recipe.noise;
    if (makeRequestedSeries(sink, request, series_, streams_) != SeriesMade::Made) return false;
    return series_->wImpulseQuantity != 0 && series_->dwSeriesSize == recipe.length;
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
