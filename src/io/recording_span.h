#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "io/recording.h"

namespace etalon::io {

// Gathers the requested span of a recording as its samples stream past, and
// turns it into 16-bit samples. Shared by the readers of every format.
class RecordingSpan {
  public:
    RecordingSpan(const RecordingRequest& request, std::function<std::string(uint64_t)> where);

    // Takes the file's next sample. False once reading may stop: the span is
    // complete, or too long to be a series (problem() says so).
    bool take(double value);
    // The position the next sample will have in the file's own index.
    uint64_t seen() const { return seen_; }
    void skip(uint64_t samples) { seen_ += samples; }
    const std::string& problem() const { return problem_; }
    // Checks the span against the file's end and converts it; returns an
    // empty string or the problem.
    std::string finish(Recording& out);

  private:
    const RecordingRequest& request_;
    std::size_t size() const { return integers_ ? whole_.size() : values_.size(); }
    double at(std::size_t i) const { return integers_ ? whole_[i] : values_[i]; }

    std::function<std::string(uint64_t)> where_;  // "line 12", "sample 40", ...
    // Integers within 16 bits are held as they are, 2 bytes each, until the
    // first value that is not one; from then on every value as a double.
    bool integers_ = true;
    std::vector<int16_t> whole_;
    std::vector<double> values_;
    uint64_t seen_ = 0;
    std::string problem_;
};

}  // namespace etalon::io
