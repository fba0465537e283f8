#include "cli/series_session.h"

#include "pulses/alphabet.h"
#include "series/series_making.h"

namespace etalon::cli {

SeriesSession::SeriesSession(StderrSink& sink, std::vector<uint16_t> sequence,
                             std::vector<PulseHeader> loaded)
    : sink_(sink), alphabet_(kEtalonsNumber), sequence_(std::move(sequence)) {
    makeAlphabet(sink_, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet_,
                 streams_.wAlphabetNoiseSeed);
    if (!loaded.empty()) alphabet_ = std::move(loaded);
}

bool SeriesSession::prepareRecord(const SeriesOptions& options) {
    series_ = getCutOffSeriesHeader(sink_, etalons(), pulseLength(), options.tmin, options.tmax,
                                    options.length, std::move(series_));
    return series_ != nullptr;
}

bool SeriesSession::makeSeries(const SeriesOptions& options) {
    SeriesMakingRequest request;
    request.seriesType = options.seriesType();
    request.alphabet = alphabet_;
    request.etalons = etalons();
    request.pulseLength = pulseLength();
    request.seriesLength = options.length;
    request.tmin = options.tmin;
    request.tmax = options.tmax;
    request.pulses = options.pulses.value_or(
        middlePulseCount(options.length, pulseLength(), options.tmin, options.tmax));
    request.makingLevel = options.level;
    request.sequence = &sequence_;
    if (!subsetPlaced_) request.subset = options.subset;
    request.employment = options.employment;
    request.initPosition = options.initPosition;
    request.noise = options.noise;
    subsetPlaced_ = true;
    const SeriesMade made = makeRequestedSeries(sink_, request, series_, streams_);
    if (made == SeriesMade::NoRecord)
        sink_.show("Не могу создать ряд!", "CM_INFO", MessageIcon::None);
    return made == SeriesMade::Made;
}

}  // namespace etalon::cli
