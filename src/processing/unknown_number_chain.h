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

// Restores a series whose pulse count lies between wMinPulses and wMaxPulses:
// count, positions, etalons of the list and windows at once. Returns 1, or 0
// after a reported allocation failure.
int detectUnknownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                             std::span<const uint16_t> etalons, const SearchBounds& bounds,
                             ChainsHeader* chains, SeriesHeader& series,
                             RestoringWork* work = nullptr);

// Which etalon of the list makes up the whole series (unknown pulse count).
// Returns its number; 65535 when no candidate gives an admissible chain; 0
// after a reported allocation failure.
uint16_t recognizeUnknownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                                     std::span<const uint16_t> etalons, const SearchBounds& bounds,
                                     ChainsHeader* chains, SeriesHeader& series,
                                     RestoringWork* work = nullptr);

}  // namespace etalon
