#include "app/shown_views.h"

#include <algorithm>

#include "app/recording_view.h"
#include "series/series_codes.h"

namespace etalon {
namespace {

bool covers(std::span<const Rect> region, const Rect& r) {
    return std::any_of(region.begin(), region.end(), [&](const Rect& c) {
        return c.left <= r.left && c.top <= r.top && c.right >= r.right && c.bottom >= r.bottom;
    });
}

const Rect& selectorBox(const WindowLayout& layout, int which) {
    switch (which) {
        case ShownViews::kLength:
            return layout.rcLengthSelector;
        case ShownViews::kNoise:
            return layout.rcNoiseSelector;
        default:
            return layout.rcLostSelector;
    }
}

}  // namespace

bool seriesGraphShown(const AppState& state) {
    if (state.wEffectiveTask != TaskCode::SeriesProcessing) return true;
    switch (state.wSeriesType) {
        case SeriesCode::FixedWhole:
        case SeriesCode::FixedCutoff:
        case SeriesCode::UnfixedWhole:
        case SeriesCode::UnfixedCutoff:
            return true;
        default:
            return false;
    }
}

ShownViews shownViews(const AppState& s) {
    ShownViews v;
    const DisplayMode mode = s.nDisplayMode;
    v.graph.displayMode = mode;
    if (mode == DisplayMode::Results) {
        v.graph.mainView = s.wMainView;
        v.graph.seriesGraph = s.wMainView == MainView::SeriesGraph && seriesGraphShown(s);
        if (s.wMainView == MainView::SeriesGraph && shownLongRecording(s)) {
            v.graph.longRecording = s.longRecording.get();
            v.graph.recordingView = s.recordingView;
        }
    }
    if (mode == DisplayMode::SubsetPanel)
        v.graph.tuplesPanel = subsetPanelTask(s) == TaskCode::TuplesRecognition;
    v.buttons.etalonsButton = mode == DisplayMode::Results;
    v.buttons.toggle = taskShowsToggle(s.wEffectiveTask);
    if (v.buttons.toggle) {
        int32_t selected = 0;
        for (uint16_t k = 1; k <= s.wEtalonsNumber; ++k)
            selected += s.selectedFlags[k] == 1;
        v.buttons.selectAll = 2 * selected <= s.wEtalonsNumber;
    }
    v.selectors[ShownViews::kLength] = {true, s.nSeriesLengthIndex,
                                        static_cast<int32_t>(s.dwSeriesLength)};
    v.selectors[ShownViews::kNoise] = {true, s.nNoiseIndex, s.wNoiseLevel};
    if (isCutoffSeries(s.wSeriesType))
        v.selectors[ShownViews::kLost] = {true, s.nLostIndex, s.wLostLevel};
    return v;
}

Rect graphExtent(const WindowLayout& layout) {
    const Rect& g = layout.rcGraph;
    return {g.left, g.top - 10, g.right + 2, g.bottom + 2};
}

Rect buttonsExtent(const WindowLayout& layout) {
    const Rect& c = layout.rcButtonColumn;
    return {c.left, c.top, c.right + 1, c.bottom + 1};
}

Rect selectorExtent(const WindowLayout& layout, const Rect& box) {
    return {box.left, box.top - layout.nLineHeight / 2, box.right + 2, box.bottom + 2};
}

void notePaintedViews(ShownViews& painted, const AppState& state, const WindowLayout& layout,
                      std::span<const Rect> paintedRegion) {
    const ShownViews now = shownViews(state);
    if (covers(paintedRegion, graphExtent(layout))) painted.graph = now.graph;
    if (covers(paintedRegion, buttonsExtent(layout))) painted.buttons = now.buttons;
    for (int i = 0; i < 3; ++i) {
        if (covers(paintedRegion, selectorExtent(layout, selectorBox(layout, i))))
            painted.selectors[i] = now.selectors[i];
    }
}

void repaintStaleViews(const ShownViews& painted, const AppState& state, const WindowLayout& layout,
                       CommandHost& host) {
    const ShownViews now = shownViews(state);
    const auto repaint = [&](const Rect& r) { host.invalidate(&r, true); };
    if (!(now.graph == painted.graph)) repaint(graphExtent(layout));
    // The column as last laid out also covers where a toggle that comes or
    // goes moves the other buttons.
    if (!(now.buttons == painted.buttons)) repaint(buttonsExtent(layout));
    for (int i = 0; i < 3; ++i) {
        if (!(now.selectors[i] == painted.selectors[i]))
            repaint(selectorExtent(layout, selectorBox(layout, i)));
    }
}

}  // namespace etalon
