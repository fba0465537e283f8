#pragma once

// Slow, step-by-step versions of the restoring procedures, kept as the
// reference the fast ones are compared with (tests and benchmarks only).
// They write the same fields, return the same values and share the guards
// of the fast ones (no chain -> zero pulses; ranges clipped to the series;
// Tmin of 0 taken as 1), but recompute everything where the text does.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "processing/chains_header.h"
#include "processing/search_bounds.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon::oracle {

int detectKnownNumberChain(std::span<const PulseHeader> alphabet, std::span<const uint16_t> etalons,
                           const SearchBounds& bounds, ChainsHeader* chains, SeriesHeader& series);
int recognizeKnownNumberChain(std::span<const PulseHeader> alphabet,
                              std::span<const uint16_t> etalons, const SearchBounds& bounds,
                              ChainsHeader* chains, SeriesHeader& series);
int detectUnknownNumberChain(std::span<const PulseHeader> alphabet,
                             std::span<const uint16_t> etalons, const SearchBounds& bounds,
                             ChainsHeader* chains, SeriesHeader& series);
uint16_t recognizeUnknownNumberChain(std::span<const PulseHeader> alphabet,
                                     std::span<const uint16_t> etalons, const SearchBounds& bounds,
                                     ChainsHeader* chains, SeriesHeader& series);
int detectKnownNumberTuples(std::span<const PulseHeader> alphabet, std::span<const int32_t> tuple,
                            const TuplesSearch& search, ChainsHeader* chains, SeriesHeader& series);
int recognizeKnownNumberTuples(std::span<const PulseHeader> alphabet,
                               std::span<const std::span<const int32_t>> tuples,
                               const TuplesSearch& search, ChainsHeader* chains,
                               SeriesHeader& series);
// The debug texts, when asked for, are appended to `texts`.
int TuplesDetection(std::span<const PulseHeader> alphabet, std::span<const int32_t> pattern,
                    const TuplesSearch& search, ChainsHeader* chains, SeriesHeader& series,
                    int32_t& debuggingRepeat, std::vector<std::string>* texts = nullptr);
int TuplesRecognition(std::span<const PulseHeader> alphabet,
                      std::span<const std::span<const int32_t>> patterns,
                      const TuplesSearch& search, ChainsHeader* chains, SeriesHeader& series,
                      int32_t& debuggingRepeat, std::vector<std::string>* texts = nullptr);

}  // namespace etalon::oracle

#include "processing/restoring.h"

namespace etalon::oracle {

// The references as a procedure table, for runRestoringProcedure; the debug
// texts of the tuples references go to the sink, as the fast ones show them.
const RestoringProcedures& referenceRestoringProcedures();

}  // namespace etalon::oracle
