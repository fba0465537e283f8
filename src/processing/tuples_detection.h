#pragma once

#include <cstdint>
#include <span>

#include "base/message_sink.h"
#include "processing/chains_header.h"
#include "processing/restoring_work.h"
#include "processing/search_bounds.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon {

// Restores a series of an unknown number of pulses whose etalons repeat the
// pattern from its first member on. With `debuggingRepeat` set, shows the
// first-pulse classes with their chain values; clears it when done. Returns
// 1, or 0 after a reported allocation failure. `search.proceeding` is accepted
// for symmetry with the known-count procedures; a chain always starts with member 0.
int TuplesDetection(MessageSink& sink, std::span<const PulseHeader> alphabet,
                    std::span<const int32_t> pattern, const TuplesSearch& search,
                    ChainsHeader* chains, SeriesHeader& series, int32_t& debuggingRepeat,
                    RestoringWork* work = nullptr);

// Which candidate pattern makes up the series (unknown pulse count). Returns
// its 1-based number; 0 when none gives a chain or after a reported failure.
int TuplesRecognition(MessageSink& sink, std::span<const PulseHeader> alphabet,
                      std::span<const std::span<const int32_t>> patterns,
                      const TuplesSearch& search, ChainsHeader* chains, SeriesHeader& series,
                      int32_t& debuggingRepeat, RestoringWork* work = nullptr);

}  // namespace etalon
