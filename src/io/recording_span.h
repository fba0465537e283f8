#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io/recording.h"

namespace etalon::io {

// Gathers the requested span of a recording as its samples stream past, and
// turns it into 16-bit samples, 2 bytes a sample whatever the length. Shared
// by the readers of every format.
class RecordingSpan {
  public:
    explicit RecordingSpan(const RecordingRequest& request);

    // How the messages name the sample just taken ("line 12", "sample 40").
    void describeBy(std::function<std::string(uint64_t index)> where) { where_ = std::move(where); }
    // Takes the file's next sample. False once reading may stop: the span is
    // complete, or too long to be a series (problem() says so).
    bool take(double value);
    // The position the next sample will have in the file's own index.
    uint64_t seen() const { return seen_; }
    void skip(uint64_t samples) { seen_ += samples; }
    const std::string& problem() const { return problem_; }

  private:
    friend std::string readSpan(const RecordingRequest&, Recording&,
                                const std::function<std::string(RecordingSpan&)>&);
    // Values that are not all integers within 16 bits and no factor given: the
    // first pass only measures, and a second scales by the factor it found.
    enum class Mode { Integers, Measuring, Scaling };

    RecordingSpan(const RecordingRequest& request, double factor, double largest);
    // Checks the span against the file's end; converts it, or (measuring)
    // leaves the factor for the second pass. Empty or the problem.
    std::string finish(Recording& out);
    void measure(double value);
    bool scale(double value);

    RecordingRequest request_;
    std::function<std::string(uint64_t)> where_;
    Mode mode_ = Mode::Integers;
    std::vector<int16_t> samples_;  // as they are, or scaled
    uint64_t taken_ = 0;            // samples of the span taken
    uint64_t seen_ = 0;
    // The span's largest magnitude and where it is, for the default factor.
    double largest_ = 0;
    std::string largestWhere_;
    // The second pass: the magnitude the first found, to see the file is the same.
    std::optional<double> expectedLargest_;
    double factor_ = 1.0;
    std::optional<double> secondPassFactor_;
    std::string problem_;
};

// Reads a span with `pass`, which opens the source, feeds every value to the
// span from the file's start and returns an empty string or its problem. A
// span of values that are not all 16-bit integers is read twice when no
// factor is given: once for its largest magnitude, once to scale.
std::string readSpan(const RecordingRequest& request, Recording& out,
                     const std::function<std::string(RecordingSpan&)>& pass);

}  // namespace etalon::io
