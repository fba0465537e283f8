#include "cli/series_maker.h"

#include <algorithm>

#include "pulses/alphabet.h"
#include "series/series_generator.h"
#include "series/subsets.h"

namespace etalon::cli {

bool isKnownSeriesType(uint16_t type) {
    switch (type) {
        case 1:
        case 2:
        case 4:
        case 8:
        case 16:
        case 32:
        case 36:
        case 40:
            return true;
        default:
            return false;
    }
}

namespace {

bool isUnfixed(uint16_t type) {
    return type == 4 || type == 8 || type == 40;
}

}  // namespace

int StderrSink::show(std::string_view text, std::string_view caption, MessageIcon) {
    ++reports_;
    std::string line(text);
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    // A one-line report names its source; a long one (a dump) is printed as it is.
    std::string source(caption);
    source.erase(0, source.find_first_not_of(' '));
    source.erase(source.find_last_not_of(' ') + 1);
    err_ << line;
    if (!source.empty() && line.find('\n') == std::string::npos) err_ << " (" << source << ')';
    err_ << '\n';
    return kMessageOk;
}

Workbench::Workbench(StderrSink& sink, std::vector<uint16_t> sequence)
    : sink_(sink), sequence_(std::move(sequence)) {
    makeAlphabet(sink_, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet_,
                 streams_.wAlphabetNoiseSeed);
}

bool Workbench::prepareRecord(const SeriesOptions& options) {
    series_ = getCutOffSeriesHeader(sink_, kEtalonsNumber, kEtalonLength, options.tmin,
                                    options.tmax, options.length, std::move(series_));
    return series_ != nullptr;
}

bool Workbench::makeSeries(const SeriesOptions& options) {
    const int reportsBefore = sink_.reports();
    PulseCountBounds bounds =
        pulseCountBounds(options.length, kEtalonLength, options.tmin, options.tmax);
    if (bounds.minPulses == 0) bounds.minPulses = 1;

    // The sequence must cover every count the generator may use.
    const std::size_t needed = std::max<std::size_t>(bounds.maxPulses, options.pulses.value_or(0));
    if (sequence_.size() < needed) sequence_.resize(needed, 1);
    if (sequence_.empty()) sequence_.push_back(1);

    SeriesRequest request;
    request.alphabet = alphabet_;
    request.tmin = options.tmin;
    request.tmax = options.tmax;
    request.seriesLength = options.length;
    request.pulses =
        options.pulses.value_or(static_cast<uint16_t>((bounds.minPulses + bounds.maxPulses) / 2));
    request.sequence = sequence_;
    request.savedEnergyLevel = options.level;

    if (isUnfixed(options.type)) {
        series_ = makeUnfixedSeries(sink_, request, std::move(series_), streams_);
        if (!series_) {
            sink_.show("Не могу создать ряд!", "CM_INFO", MessageIcon::None);
            return false;
        }
    } else {
        series_ = getCutOffSeries(sink_, request, std::move(series_), streams_);
        if (!series_) return false;
    }
    if (sink_.reports() != reportsBefore) return false;
    if (options.noise != 0)
        addSeriesNoise(options.noise, kPulseAmplitude, series_.get(), streams_.wNoiseSeed);
    return true;
}

}  // namespace etalon::cli
