#include "app/panel_painting.h"

#include <algorithm>
#include <span>

#include "panels/panel_drawing.h"

namespace etalon {

void drawSubsetPanelView(AppState& state, const WindowLayout& layout, platform::DeviceContext& dc) {
    if (!allocSubsetPanel(state.subsetPanel)) return;
    const size_t listed = std::min<size_t>(state.wRequiredCount, state.lpRequiredList.size());
    const std::span<const uint16_t> list(state.lpRequiredList.data(), listed);
    const auto count = static_cast<uint16_t>(listed);
    if (subsetPanelTask(state) == TaskCode::TuplesRecognition) {
        DrawTuplesSubsetPanel(dc, state.subsetPanel, layout.rcGraph, count, list,
                              state.lpSeriesHeader.get());
    } else {
        DrawSubsetPanel(dc, state.subsetPanel, layout.rcGraph, count, list,
                        state.lpSeriesHeader.get());
    }
}

void drawParamsPanelView(AppState& state, const WindowLayout& layout, platform::DeviceContext& dc) {
    DrawParamsPanel(dc, state.lpParamsHeader.get(), layout.rcGraph, state.paramsPanel);
}

}  // namespace etalon
