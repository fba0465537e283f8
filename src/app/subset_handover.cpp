// The subset panel's selection and reserved subsets handed to the series record.
#include "app/subset_handover.h"

#include <algorithm>

#include "series/subsets.h"

namespace etalon {

std::vector<std::span<const int32_t>> reservedTuples(const SubsetPanelState& panel) {
    std::vector<std::span<const int32_t>> tuples;
    for (int32_t s = 0; s < panel.reservedCount && s < panel.kReservedCapacity; ++s) {
        const auto length = std::clamp<int32_t>(panel.selectedSubsetArraySize[s], 0,
                                                SubsetPanelState::kSelectionCapacity);
        tuples.emplace_back(panel.reservedSubsets[s].data(), static_cast<std::size_t>(length));
    }
    return tuples;
}

int storeReservedSubsets(MessageSink& sink, AppState& state) {
    const SubsetPanelState& panel = state.subsetPanel;
    const auto tuples = reservedTuples(panel);
    return addSomeSelectedSubsetToSeriesHeader(
        sink, std::span<const int32_t>(panel.selectedSubsetArraySize.data(), tuples.size()), tuples,
        SubsetPanelState::kReservedCapacity, SubsetPanelState::kSelectionCapacity,
        panel.pickedReserved, state.wSubsetEmployment, state.wSubsetInitPosition,
        state.lpSeriesHeader.get());
}

void handSelectionToSeries(AppState& state) {
    const SubsetPanelState& panel = state.subsetPanel;
    setSelectedSubset(std::span<const int32_t>(panel.selectedSubset.data(),
                                               static_cast<std::size_t>(panel.selectionCount)),
                      state.wSubsetEmployment, state.wSubsetInitPosition,
                      state.lpSeriesHeader.get());
}

}  // namespace etalon
