#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "base/message_sink.h"
#include "pulses/pulse_header.h"
#include "series/series_codes.h"
#include "series/series_header.h"

namespace etalon::io {

// How a recording is processed: the geometry the procedures search with, the
// pulse count when it is known, and the processing level.
struct RecordingProcessing {
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    std::optional<uint16_t> pulses;  // none: an unknown count
    uint16_t processingLevel = 100;
    // The alphabet: its count and length shape the series record.
    std::span<const PulseHeader> alphabet;
    // The etalons the procedures will fit (the working set), for the 32-bit check.
    std::span<const PulseHeader> fitted;
};

// Why a recording gives no series, told in one line.
struct RecordingRefusal {
    enum class Reason { None, Geometry, PulseCount, Sums };
    Reason reason = Reason::None;
    std::string text;
    bool refused() const { return reason != Reason::None; }
};

// Whether a series record cannot take the recording as the working set fits
// it: longer than a series holds, or samples and etalons that could wrap its
// 32-bit sums. The unknown count then runs over the whole recording.
bool seriesCannotHold(std::span<const int16_t> samples, std::span<const PulseHeader> fitted,
                      uint16_t tmin, uint16_t tmax);

// Fixed or unfixed count; a cut-off type when the processing level is below 100.
SeriesCode recordingSeriesType(bool knownCount, uint16_t processingLevel);

// A series record holding the samples as its (noisy and pure) data, with no
// truth (true positions -1, etalons 0) and the pulse-count bounds of the
// geometry; for a known count, that count and each pulse's position range as
// making a series sets it. Refused in one line (geometry no series fits, a
// count outside the bounds, sums that would wrap), with `refusal` set and
// null returned; null with no refusal after a reported allocation failure.
std::unique_ptr<SeriesHeader> seriesFromRecording(MessageSink& sink,
                                                  std::span<const int16_t> samples,
                                                  const RecordingProcessing& how,
                                                  RecordingRefusal& refusal);

}  // namespace etalon::io
