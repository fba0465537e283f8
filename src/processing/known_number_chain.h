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

// Restores a series of a known number of pulses, each any etalon of the list
// with a window of it. Returns 1, or 0 after a reported allocation failure.
int detectKnownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                           std::span<const uint16_t> etalons, const SearchBounds& bounds,
                           ChainsHeader* chains, SeriesHeader& series,
                           RestoringWork* work = nullptr);

// Which etalon of the list makes up the whole series (known pulse count).
// Returns its number; -1 when no candidate gives a chain or after a reported
// allocation failure.
int recognizeKnownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                              std::span<const uint16_t> etalons, const SearchBounds& bounds,
                              ChainsHeader* chains, SeriesHeader& series,
                              RestoringWork* work = nullptr);

}  // namespace etalon
