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

RecordingSpan::RecordingSpan(const RecordingRequest& request)
    : request_(request),
      mode_(request.scale ? Mode::Scaling : Mode::Integers),
      factor_(request.scale.value_or(1.0)) {}

RecordingSpan::RecordingSpan(const RecordingRequest& request, double factor, double largest)
    : request_(request), mode_(Mode::Scaling), expectedLargest_(largest), factor_(factor) {}

void RecordingSpan::measure(double value) {
    if (std::fabs(value) <= std::fabs(largest_)) return;
    largest_ = value;
    largestWhere_ = where_ ? where_(seen_ - 1) : "sample " + std::to_string(seen_ - 1);
}

bool RecordingSpan::scale(double value) {
    const double v = std::nearbyint(value * factor_);
    if (std::fabs(v) > INT16_MAX) {
        problem_ = request_.path + ": " + (where_ ? where_(seen_ - 1) : std::string("a sample")) +
                   ": " + number(value) + " scaled by " + number(factor_) + " is " + number(v) +
                   ", beyond the 16-bit samples' +-32,767; give a smaller --scale";
        return false;
    }
    samples_.push_back(static_cast<int16_t>(v));
    if (expectedLargest_ && std::fabs(value) > std::fabs(largest_)) largest_ = value;
    return true;
}

bool RecordingSpan::take(double value) {
    const uint64_t index = seen_++;
    if (index < request_.first) return true;
    // Refused before anything is scaled: one NaN would make the scale factor NaN.
    if (!std::isfinite(value)) {
        problem_ = request_.path + ": " +
                   (where_ ? where_(index) : "sample " + std::to_string(index)) + " is " +
                   number(value) + ", not a number a series can hold";
        return false;
    }
    ++taken_;
    switch (mode_) {
        case Mode::Integers:
            if (value == std::trunc(value) && std::fabs(value) <= INT16_MAX) {
                samples_.push_back(static_cast<int16_t>(value));
                break;
            }
            // The integers so far count towards the largest magnitude; their
            // places need no naming, as no integer but 0 is too small to scale.
            for (const int16_t sample : samples_)
                if (std::abs(sample) > std::fabs(largest_)) largest_ = sample;
            samples_ = {};
            mode_ = Mode::Measuring;
            measure(value);
            break;
        case Mode::Measuring:
            measure(value);
            break;
        case Mode::Scaling:
            if (!scale(value)) return false;
            break;
    }
    if (request_.count) return taken_ < *request_.count;
    if (request_.anyLength || taken_ <= kMostRecordingSamples) return true;
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
    if (request_.count && taken_ < *request_.count)
        return path + ": the span asks for " + std::to_string(*request_.count) +
               " samples from sample " + std::to_string(request_.first) + ", but the file holds " +
               std::to_string(taken_) + " from there";
    if (mode_ == Mode::Measuring) {
        const double factor = request_.amplitude / std::fabs(largest_);
        // Below about 1e-306 the factor passes a double's range, and 0 times it is no number.
        if (!std::isfinite(factor))
            return path + ": " + largestWhere_ + ": " + number(largest_) +
                   " is the largest magnitude of the span, too small to scale to 16-bit samples";
        secondPassFactor_ = factor;
        return {};
    }
    if (expectedLargest_ && std::fabs(largest_) != *expectedLargest_)
        return path + ": the file changed while it was read";
    out.samples = std::move(samples_);
    out.first = request_.first;
    out.fileSamples = seen_;
    out.scaled = mode_ == Mode::Scaling;
    out.scale = factor_;
    out.sampleRate.reset();
    return {};
}

std::string readSpan(const RecordingRequest& request, Recording& out,
                     const std::function<std::string(RecordingSpan&)>& pass) {
    RecordingSpan span(request);
    if (std::string problem = pass(span); !problem.empty()) return problem;
    if (std::string problem = span.finish(out); !problem.empty()) return problem;
    if (!span.secondPassFactor_) return {};
    RecordingSpan scaled(request, *span.secondPassFactor_, std::fabs(span.largest_));
    if (std::string problem = pass(scaled); !problem.empty()) return problem;
    return scaled.finish(out);
}

}  // namespace etalon::io
