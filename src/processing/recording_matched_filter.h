#pragma once

#include <cstddef>

#include "processing/recording_chain.h"

// The matched filter (processing/matched_filter.h) over a whole recording of
// any length and depth, for an unknown count: the same greedy picking, with
// 64-bit fits.
namespace etalon {

// Every position whose whole-pulse fit is below 0 is a candidate: the
// smallest fit (the leftmost on equal fits) is taken, then the next among
// those at least Tmin from every one taken, and so on; Tmax and the
// processing level are not used. Detection fits each position with the list's
// best etalon (the earlier on a tie); recognition picks for each etalon in
// turn and ranks them by the sum of the fits taken (list order on a tie).
// The candidates are held: 24 bytes each. Throws RecordingRefused before any
// work, RestoringStopped when asked to stop.
RecordingChainResult matchedFilterOverRecording(const RecordingChainRequest& request);

// What the run holds besides the samples and the result, at most, when
// `candidates` positions fit below 0.
std::size_t recordingMatchedFilterMemoryNeed(const RecordingChainRequest& request,
                                             std::size_t candidates);

}  // namespace etalon
