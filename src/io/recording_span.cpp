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
    if (integers_ && value == std::trunc(value) && std::fabs(value) <= INT16_MAX) {
        whole_.push_back(static_cast<int16_t>(value));
    } else {
        if (integers_) values_.assign(whole_.begin(), whole_.end());
        integers_ = false;
        whole_ = {};
        values_.push_back(value);
    }
    if (request_.count) return size() < *request_.count;
    if (request_.anyLength || size() <= kMostRecordingSamples) return true;
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
    if (request_.count && size() < *request_.count)
        return path + ": the span asks for " + std::to_string(*request_.count) +
               " samples from sample " + std::to_string(request_.first) + ", but the file holds " +
               std::to_string(size()) + " from there";

    std::vector<int16_t> samples;
    double factor = 1.0;
    const bool scaled = request_.scale.has_value() || !integers_;
    if (!scaled) {
        samples = std::move(whole_);
    } else {
        std::size_t largest = 0;
        for (std::size_t i = 0; i < size(); ++i) {
            if (std::fabs(at(i)) > std::fabs(at(largest))) largest = i;
        }
        if (request_.scale) {
            factor = *request_.scale;
        } else {
            factor = request_.amplitude / std::fabs(at(largest));
            // Below about 1e-306 the factor passes a double's range, and 0 times it is no number.
            if (!std::isfinite(factor))
                return path + ": " + where_(request_.first + largest) + ": " + number(at(largest)) +
                       " is the largest magnitude of the span, too small to scale to 16-bit "
                       "samples";
        }
        samples.resize(size());
        for (std::size_t i = 0; i < size(); ++i) {
            const double v = std::nearbyint(at(i) * factor);
            if (std::fabs(v) > INT16_MAX) {
                return path + ": " + where_(request_.first + i) + ": " + number(at(i)) +
                       " scaled by " + number(factor) + " is " + number(v) +
                       ", beyond the 16-bit samples' +-32,767; give a smaller --scale";
            }
            samples[i] = static_cast<int16_t>(v);
        }
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
