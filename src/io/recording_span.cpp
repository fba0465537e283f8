#include "io/recording_span.h"

#include <cmath>

namespace etalon::io {

namespace {

std::string withCommas(uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

}  // namespace

RecordingSpan::RecordingSpan(const RecordingRequest& request,
                             std::function<std::string(uint64_t)> where)
    : request_(request), where_(std::move(where)) {}

bool RecordingSpan::take(double value) {
    const uint64_t index = seen_++;
    if (index < request_.first) return true;
    // Refused before anything is scaled: one NaN would make the scale factor NaN.
    if (!std::isfinite(value)) {
        problem_ = request_.path + ": " + where_(index) + " is " + number(value) +
                   ", not a number a series can hold";
        return false;
    }
    values_.push_back(value);
    if (request_.count) return values_.size() < *request_.count;
    if (values_.size() <= kMostRecordingSamples) return true;
    problem_ =
        request_.path + ": more than " + withCommas(kMostRecordingSamples) + " samples" +
        (request_.first > 0 ? " from sample " + std::to_string(request_.first) + " on" : "") +
        ", and a series holds at most " + withCommas(kMostRecordingSamples) +
        " (positions are 16-bit): choose a span with --from (first sample, from 0) "
        "and --count";
    return false;
}

std::string RecordingSpan::finish(Recording& out) {
    if (!problem_.empty()) return problem_;
    const std::string& path = request_.path;
    if (seen_ == 0) return path + ": holds no samples";
    if (request_.first >= seen_)
        return path + ": the span starts at sample " + std::to_string(request_.first) +
               ", but the file holds " + std::to_string(seen_) + " samples (0.." +
               std::to_string(seen_ - 1) + ")";
    if (request_.count && values_.size() < *request_.count)
        return path + ": the span asks for " + std::to_string(*request_.count) +
               " samples from sample " + std::to_string(request_.first) + ", but the file holds " +
               std::to_string(values_.size()) + " from there";

    std::size_t largest = 0;
    bool integers = true;
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const double v = values_[i];
        integers = integers && v == std::trunc(v) && std::fabs(v) <= INT16_MAX;
        if (std::fabs(v) > std::fabs(values_[largest])) largest = i;
    }
    double factor = 1.0;
    const bool scaled = request_.scale.has_value() || !integers;
    if (request_.scale) {
        factor = *request_.scale;
    } else if (!integers) {
        factor = request_.amplitude / std::fabs(values_[largest]);
        // Below about 1e-306 the factor passes a double's range, and 0 times it is no number.
        if (!std::isfinite(factor))
            return path + ": " + where_(request_.first + largest) + ": " +
                   number(values_[largest]) +
                   " is the largest magnitude of the span, too small to scale to 16-bit samples";
    }
    std::vector<int16_t> samples(values_.size());
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const double v = std::nearbyint(values_[i] * factor);
        if (std::fabs(v) > INT16_MAX) {
            return path + ": " + where_(request_.first + i) + ": " + number(values_[i]) +
                   " scaled by " + number(factor) + " is " + number(v) +
                   ", beyond the 16-bit samples' +-32,767; give a smaller --scale";
        }
        samples[i] = static_cast<int16_t>(v);
    }
    out.samples = std::move(samples);
    out.first = request_.first;
    out.fileSamples = seen_;
    out.scaled = scaled;
    out.scale = factor;
    out.sampleRate.reset();
    return {};
}

}  // namespace etalon::io
