#include "app/painting.h"

#include <algorithm>
#include <span>
#include <vector>

#include "app/panel_painting.h"
#include "app/recording_navigation.h"
#include "app/recording_view.h"
#include "app/shown_views.h"
#include "app/workbench.h"
#include "graphs/alphabet_grid.h"
#include "graphs/long_recording_graph.h"
#include "graphs/selector.h"
#include "graphs/series_graph.h"
#include "graphs/stat_plots.h"

namespace etalon {
namespace {

using platform::DeviceContext;
using Bitmaps = std::array<std::optional<platform::Bitmap>, 5>;

void blit(DeviceContext& dc, const std::optional<platform::Bitmap>& bitmap, const Rect& at) {
    if (bitmap) dc.blit(*bitmap, at.left, at.top);
}

void drawAlphabet(AppState& state, const WindowLayout& layout, DeviceContext& dc) {
    AlphabetGridLayout grid{layout.rcGraph,     layout.rcCells,         layout.wCellWidth,
                            layout.wCellHeight, layout.wCellInnerWidth, layout.wCellInnerHeight,
                            layout.nLineHeight};
    grid.rcCells = std::span<const Rect>(layout.rcCells.data(), state.wEtalonsNumber);
    DrawAlphabetGrid(dc, grid,
                     std::span<const PulseHeader>(state.alphabet.data(), state.wEtalonsNumber),
                     state.selectedFlags, static_cast<int16_t>(state.wPulseAmplitude));
}

// The matched filter's copy of the series, while the series on screen is the
// one it restored: a new or loaded series leaves the copy behind unshown.
const SeriesHeader* matchedFilterSeries(const AppState& state) {
    const SeriesHeader* mf = state.lpBaselineSeriesHeader.get();
    const SeriesHeader* series = state.lpSeriesHeader.get();
    if (!state.bShowMatchedFilterPulses || !mf || !series) return nullptr;
    return std::ranges::equal(mf->noisyData(), series->noisyData()) ? mf : nullptr;
}

// A recording longer than a series: its overview and the span in view.
void drawLongRecordingView(const AppState& state, const WindowLayout& layout, DeviceContext& dc) {
    const LongRecording& recording = *state.longRecording;
    platform::ClipGuard clip(dc, graphExtent(layout));
    LongRecordingPicture picture;
    picture.samples = recording.samples;
    picture.envelope = &recording.envelope;
    picture.pulses = recording.pulses();
    picture.alphabet = {state.alphabet.data(), state.wEtalonsNumber};
    const RecordingView view = clampedView(state.recordingView, recording.size());
    picture.viewFirst = view.first;
    picture.viewCount = view.count;
    picture.fileFirst = recording.first;
    picture.rate = recording.rate;
    picture.name = state.recordingName;
    picture.task = "detection";
    if (recording.task == RecordingTask::Recognition) {
        picture.task = "recognition";
        if (!recording.chains.empty() && recording.chains.front().etalon > 0)
            picture.task += std::string(" of etalon ") +
                            static_cast<char>('a' + (recording.chains.front().etalon - 1) % 26);
    }
    DrawLongRecording(dc, layout.rcGraph, layout.nLineHeight, picture);
}

void drawResults(AppState& state, const WindowLayout& layout, DeviceContext& dc) {
    if (longRecordingViewShown(state)) {
        drawLongRecordingView(state, layout, dc);
    } else if (seriesGraphShown(state)) {
        // Text that runs past the frame is cut there rather than written over
        // the selectors, whatever part of the window is being repainted.
        platform::ClipGuard clip(dc, graphExtent(layout));
        SeriesGraphView view;
        view.rcGraph = layout.rcGraph;
        view.nLineHeight = layout.nLineHeight;
        view.settings = {state.bFrameGraphFields, state.bShadedOriginalPulses,
                         state.bHighlightDetectedPulses, state.wTuplesHighlight,
                         state.bSpecialGraphSize};
        view.pickedReserved = state.subsetPanel.pickedReserved;
        view.listedReservedRects = state.subsetPanel.listedReservedRects;
        view.truthKnown = !state.bSeriesWithoutTruth;
        view.matchedFilter = matchedFilterSeries(state);
        view.matchedFilterWanted = state.bShowMatchedFilterPulses != 0;
        const size_t listed = std::min<size_t>(state.wRequiredCount, state.lpRequiredList.size());
        DrawSeriesGraph(dc, view, static_cast<uint16_t>(listed),
                        std::span<const uint16_t>(state.lpRequiredList.data(), listed),
                        state.lpChainsHeader.get(), state.lpSeriesHeader.get());
    }
    state.bNoErase = 0;
}

void drawStatistics(AppState& state, const WindowLayout& layout, DeviceContext& dc,
                    MessageSink& sink) {
    StatPlotView view;
    view.rcGraph = layout.rcGraph;
    view.nLineHeight = layout.nLineHeight;
    view.bFixedUpperBound = state.bFixedUpperBound;
    view.dUpperBound = state.dUpperBound;
    view.startTime = state.simulationStartTime;
    view.endTime = state.simulationEndTime;
    view.listedReservedRects = state.subsetPanel.listedReservedRects;
    if (state.bCompareMatchedFilter) view.matchedFilter = state.lpBaselineErrorHeader.get();
    view.matchedFilterWanted = state.bCompareMatchedFilter != 0;
    const size_t listed = std::min<size_t>(state.wRequiredCount, state.lpRequiredList.size());
    DrawDetectionArrayZ(sink, dc, view,
                        {.errors = state.lpRestErrorHeader.get(),
                         .series = state.lpSeriesHeader.get(),
                         .mode = state.nStatPlotMode,
                         .amplitude = state.wPulseAmplitude,
                         .required = {state.lpRequiredList.data(), listed}});
}

// The graph area's content; false when the mode shows nothing and no buttons.
bool drawContent(AppState& state, const WindowLayout& layout, DeviceContext& dc,
                 MessageSink& sink) {
    switch (state.nDisplayMode) {
        case DisplayMode::AlphabetGrid:
            drawAlphabet(state, layout, dc);
            return true;
        case DisplayMode::Results:
            if (state.wMainView == MainView::SeriesGraph) drawResults(state, layout, dc);
            if (state.wMainView == MainView::Statistics) drawStatistics(state, layout, dc, sink);
            return true;
        case DisplayMode::SubsetPanel:
            drawSubsetPanelView(state, layout, dc);
            return true;
        case DisplayMode::ParameterPanel:
            drawParamsPanelView(state, layout, dc);
            return true;
    }
    return false;
}

void blitButtons(AppState& state, WindowLayout& layout, const Bitmaps& bitmaps, DeviceContext& dc) {
    if (state.nDisplayMode == DisplayMode::Results)
        blit(dc, bitmaps[kBmpStart], layout.rcStartButton);
    blit(dc, bitmaps[kBmpStart1], layout.rcStartButton1);
    blit(dc, bitmaps[kBmpExit], layout.rcExitButton);
    if (!taskShowsToggle(state.wEffectiveTask)) return;
    int selected = 0;
    for (uint16_t k = 1; k <= state.wEtalonsNumber; ++k)
        selected += state.selectedFlags[k] == 1;
    layout.bFewSelected = 2 * selected <= state.wEtalonsNumber;
    blit(dc, bitmaps[layout.bFewSelected ? kBmpSelectAll : kBmpDeselectAll], layout.rcToggleButton);
}

template <typename T, size_t N>
std::vector<int32_t> asValues(const std::array<T, N>& table) {
    return std::vector<int32_t>(table.begin(), table.end());
}

void drawSelectors(AppState& state, WindowLayout& layout, DeviceContext& dc) {
    DrawSelector(dc, layout.rcLengthSelector, layout.rcLengthItems,
                 " series length: ", asValues(state.seriesLengthTable), state.nSeriesLengthIndex,
                 static_cast<int32_t>(state.dwSeriesLength));
    DrawSelector(dc, layout.rcNoiseSelector, layout.rcNoiseItems,
                 " noise level: ", asValues(state.noiseLevelTable), state.nNoiseIndex,
                 state.wNoiseLevel);
    if (isCutoffSeries(state.wSeriesType)) {
        DrawSelector(dc, layout.rcLostSelector, layout.rcLostItems,
                     " lost data level: ", asValues(state.lostLevelTable), state.nLostIndex,
                     state.wLostLevel);
    }
}

}  // namespace

void paintWindow(AppState& state, WindowLayout& layout, const Bitmaps& bitmaps,
                 const platform::Rect& client, DeviceContext& dc, MessageSink& sink) {
    platform::FontGuard font(dc, platform::FontKind::Text);
    computeLayout(layout, client, dc.textMetrics(), state.wEffectiveTask, state.wEtalonsNumber);
    if (drawContent(state, layout, dc, sink)) blitButtons(state, layout, bitmaps, dc);
    drawSelectors(state, layout, dc);
}

}  // namespace etalon
