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

// Restores a series of a known number of pulses whose etalons repeat the
// tuple cyclically, from its first member (proceeding 1) or from the best
// member (otherwise). Returns 1, or 0 after a reported allocation failure.
int detectKnownNumberTuples(MessageSink& sink, std::span<const PulseHeader> alphabet,
                            std::span<const int32_t> tuple, const TuplesSearch& search,
                            ChainsHeader* chains, SeriesHeader& series,
                            RestoringWork* work = nullptr);

// Which of the candidate tuples makes up the series. Returns its 1-based
// number; 0 when none gives a chain or after a reported allocation failure.
int recognizeKnownNumberTuples(MessageSink& sink, std::span<const PulseHeader> alphabet,
                               std::span<const std::span<const int32_t>> tuples,
                               const TuplesSearch& search, ChainsHeader* chains,
                               SeriesHeader& series, RestoringWork* work = nullptr);

// Whether every member names an etalon of the alphabet.
bool isValidTuple(std::span<const int32_t> tuple, std::size_t alphabetSize);

}  // namespace etalon
