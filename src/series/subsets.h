#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/message_sink.h"
#include "series/series_header.h"

namespace etalon {

// Makes `entries` (low 16 bits: etalon numbers) the current subset, cut to the
// record's wMaxPulses. Does nothing without a record. Returns 1.
int setSelectedSubset(std::span<const int32_t> entries, uint16_t employment, uint16_t initPosition,
                      SeriesHeader* record);

// Stores `lengths.size()` subsets (row s: lists[s], lengths[s] entries) in the
// record's store, which is regrown to hold at least rows x rowLength, and makes
// subset `pick` (1-based; out of range: the last) the current one. Returns 1,
// or 0 when there is no subset or after a reported failure.
int addSomeSelectedSubsetToSeriesHeader(MessageSink& sink, std::span<const int32_t> lengths,
                                        std::span<const std::span<const int32_t>> lists,
                                        uint16_t rows, uint16_t rowLength, int pick,
                                        uint16_t employment, uint16_t initPosition,
                                        SeriesHeader* record);

// The patterns, each as long as it is, stored as above with `pick` current
// (0: the last). Returns as above.
int storePatterns(MessageSink& sink, const std::vector<std::vector<int32_t>>& patterns, int pick,
                  uint16_t employment, uint16_t initPosition, SeriesHeader* record);

// A fresh list 1, 2, ..., count. Returns false (the list left empty) after a
// reported failure.
bool getRequiredList(MessageSink& sink, uint16_t count, std::vector<uint16_t>& list);

}  // namespace etalon
