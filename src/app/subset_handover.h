#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/app_state.h"
#include "base/message_sink.h"

namespace etalon {

// The reserved subsets of the subset panel, each as long as its stored length.
std::vector<std::span<const int32_t>> reservedTuples(const SubsetPanelState& panel);

// The panel's reserved subsets stored into the series record, the picked one
// made current; returns 0 after a reported failure.
int storeReservedSubsets(MessageSink& sink, AppState& state);
// The panel's selection made the series record's current subset.
void handSelectionToSeries(AppState& state);

}  // namespace etalon
