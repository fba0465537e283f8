#include "app/panel_painting.h"

#include <algorithm>
#include <span>
#include <string>

#include "app/recording_view.h"
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
    if (const LongRecording* recording = shownLongRecording(state)) {
        // No boxes to press and no edit control: the panel has nothing to set.
        state.paramsPanel = {};
        const int32_t x = layout.rcGraph.left + 10;
        const int32_t y = layout.rcGraph.top + 10;
        dc.textOut(x, y,
                   " The recording holds " + std::to_string(recording->size()) +
                       " samples and was restored whole with an unknown pulse count.");
        dc.textOut(x, y + layout.nLineHeight,
                   " The parameter diagram plots known pulse counts of a series of at most "
                   "32,767 samples, so it has none to show here.");
        return;
    }
    DrawParamsPanel(dc, state.lpParamsHeader.get(), layout.rcGraph, state.paramsPanel);
}

}  // namespace etalon
