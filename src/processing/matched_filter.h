#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/memory_budget.h"
#include "base/message_sink.h"
#include "processing/restoring.h"

namespace etalon {

// The greedy baseline practitioners use (correlate with each template, pick
// the best peaks a minimum distance apart), written as the exact procedures
// write their results so the same scoring applies.
//
// For every position x in 0..N-L and etalon e of the list the fit is
// E - 2 * sum_j y[x + j] e[j] (whole pulses, 32-bit as the exact programmes
// compute it). Greedy picking then takes the smallest fit, the leftmost on
// equal fits, among positions at least Tmin from every position taken, until
// Q are taken (known count) or, for an unknown count, while the smallest
// remaining fit is below 0. Tmax, the position ranges and the processing
// level are not used: the method knows a minimum spacing only.
//
// Detection, joint detection and series processing fit each position with
// the list's best etalon there (the earlier entry on a tie); recognition
// picks for each etalon in turn and keeps the one whose picked fits sum
// smallest (the first in the list on a tie).

// Whether the baseline stands in for `procedure` (not the tuples procedures).
bool matchedFilterRestores(RestoringProcedure procedure);

// Runs the baseline in place of `procedure` on request.series: the restored
// fields (positions sorted, cut starts 0, cut ends L - 1), the number taken as
// wSeekingPulsesQuantity and one chain whose criterion is the sum of the
// fits. Returns the recognised etalon for recognitions, 1 for detections, 0
// for a procedure it does not stand in for or a list naming an etalon the
// alphabet lacks (both reported, the series left alone).
int runMatchedFilter(MessageSink& sink, RestoringProcedure procedure,
                     const RestoringRequest& request);

// Bytes the baseline's tables take on request.series (an upper bound): the
// series length times the list, whatever Tmin and Tmax are.
std::size_t matchedFilterMemoryNeed(const RestoringRequest& request);
// The same for a series of `samples` samples, etalons of `length` and a list
// of `etalons`, before any series is made.
std::size_t matchedFilterMemoryNeed(std::size_t samples, std::size_t length, std::size_t etalons);

// One line refusing a baseline run that would pass `budget`; empty when it fits.
std::string matchedFilterBudgetProblem(const RestoringRequest& request, const MemoryBudget& budget);

}  // namespace etalon
