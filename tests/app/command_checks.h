// Checks shared by the command tests: the areas a command repaints and the
// working set as the state holds it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "app/app_state.h"
#include "app/window_layout.h"

namespace etalon::test {

using Ids = std::vector<uint16_t>;

// The graph rectangle with the header above it and the frame drawn one pixel past it.
inline platform::Rect raisedGraph(const WindowLayout& layout) {
    const platform::Rect& g = layout.rcGraph;
    return {g.left, g.top - 10, g.right + 2, g.bottom + 2};
}

inline platform::Rect widenedCell(const WindowLayout& layout, int etalon) {
    const platform::Rect& c = layout.rcCells[etalon - 1];
    return {c.left - 1, c.top - 1, c.right + 3, c.bottom + 3};
}

inline void setWorkingSet(AppState& state, std::initializer_list<int> etalons) {
    std::fill(state.selectedFlags.begin(), state.selectedFlags.end(), int16_t{0});
    for (int k : etalons)
        state.selectedFlags[k] = 1;
    rebuildRequiredList(state);
}

inline std::vector<uint16_t> workingSetOf(const AppState& state) {
    return {state.lpRequiredList.begin(), state.lpRequiredList.begin() + state.wRequiredCount};
}

}  // namespace etalon::test
