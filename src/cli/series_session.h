#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "cli/stderr_sink.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_codes.h"
#include "series/series_header.h"

namespace etalon::cli {

// The options that say how series are made, as the workbench's commands make them.
struct SeriesOptions {
    uint16_t type = 1;  // as typed; --type takes only the codes of SeriesCode
    uint32_t length = 1200;
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    // A recording's Tmax (--samples), which may pass 32,767 or be none: no
    // upper bound and no edge conditions.
    std::optional<int64_t> recordingTmax = 181;
    std::optional<uint16_t> pulses;  // default: the middle of the count bounds
    uint16_t level = 100;            // saved-energy level for making
    int16_t noise = 0;               // sigma; 0 adds no noise
    std::vector<uint16_t> sequence;  // padded with 1 to the largest count
    std::vector<int32_t> subset;     // made the current subset when given
    uint16_t employment = 4;
    uint16_t initPosition = 1;
    uint32_t count = 1;
    // With --samples, the span's samples (--count), any number.
    std::optional<uint64_t> recordingCount;
    // Loaded with --alphabet; empty: the built-in 20 etalons. It sets the
    // etalon count and length everything else follows.
    std::vector<PulseHeader> alphabet;

    SeriesCode seriesType() const { return static_cast<SeriesCode>(type); }
    uint16_t etalons() const {
        return alphabet.empty() ? kEtalonsNumber : static_cast<uint16_t>(alphabet.size());
    }
    uint16_t pulseLength() const { return alphabet.empty() ? kEtalonLength : alphabet[0].wSize; }
};

// The core as the workbench holds it at start-up (streams at their start
// values, the alphabet built from them), making series one after another.
class SeriesSession {
  public:
    // `sequence` is the etalon sequence the first series starts from. A
    // `loaded` alphabet replaces the built-in one, which is still made first
    // so the streams stand where they stand at start-up.
    SeriesSession(StderrSink& sink, std::vector<uint16_t> sequence,
                  std::vector<PulseHeader> loaded = {});

    // Makes the next series, carrying the streams, the sequence and the series
    // record on; the options' subset is placed before the first one. Returns
    // false when the series was not made; the reason has then been reported.
    bool makeSeries(const SeriesOptions& options);

    // Sizes the record for the options' geometry without making a series, so
    // that patterns can be stored into it first. Returns false after a report.
    bool prepareRecord(const SeriesOptions& options);

    std::span<const PulseHeader> alphabet() const { return alphabet_; }
    uint16_t etalons() const { return static_cast<uint16_t>(alphabet_.size()); }
    uint16_t pulseLength() const { return alphabet_[0].wSize; }
    SeriesHeader* series() { return series_.get(); }
    RandomStreams& streams() { return streams_; }

  private:
    StderrSink& sink_;
    RandomStreams streams_;
    std::vector<PulseHeader> alphabet_;
    std::vector<uint16_t> sequence_;
    std::unique_ptr<SeriesHeader> series_;
    bool subsetPlaced_ = false;
};

}  // namespace etalon::cli
