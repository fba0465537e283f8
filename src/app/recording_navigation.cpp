#include "app/recording_navigation.h"

#include <algorithm>

#include "app/recording_view.h"
#include "graphs/long_view_layout.h"

namespace etalon {
namespace {

enum Drag : int32_t { kNoDrag, kOverviewDrag, kScrollDrag };

int32_t stripWidth(const platform::Rect& strip) {
    return strip.right - strip.left + 1;
}

uint64_t sampleAt(const platform::Rect& strip, int32_t x, uint64_t total) {
    const int32_t column = std::clamp(x - strip.left, 0, stripWidth(strip) - 1);
    return std::min(columnSample(column, stripWidth(strip), total), total - 1);
}

bool changeView(AppState& state, RecordingView view) {
    view = clampedView(view, state.longRecording->size());
    state.recordingView = view;
    return true;
}

LongViewLayout lastLayout(const WindowLayout& layout) {
    return longViewLayout(layout.rcGraph, layout.nLineHeight);
}

}  // namespace

bool longRecordingViewShown(const AppState& state) {
    return shownLongRecording(state) && state.nDisplayMode == DisplayMode::Results &&
           state.wMainView == MainView::SeriesGraph;
}

bool navigateByKey(AppState& state, int key) {
    if (!longRecordingViewShown(state)) return false;
    const uint64_t total = state.longRecording->size();
    const RecordingView view = state.recordingView;
    switch (key) {
        case kVkPageDown:
            return changeView(state, pagedView(view, total, 1));
        case kVkPageUp:
            return changeView(state, pagedView(view, total, -1));
        case kVkRight:
            return changeView(state, steppedView(view, total, 1));
        case kVkLeft:
            return changeView(state, steppedView(view, total, -1));
        case kVkHome:
            return changeView(state, viewAtStart(view, total));
        case kVkEnd:
            return changeView(state, viewAtEnd(view, total));
        case kVkAdd:
        case kVkOemPlus:
            return changeView(state, zoomedView(view, total, true));
        case kVkSubtract:
        case kVkOemMinus:
            return changeView(state, zoomedView(view, total, false));
        case 'N':
            return changeView(state, pulseView(view, total, state.longRecording->pulses(), 1));
        case 'P':
            return changeView(state, pulseView(view, total, state.longRecording->pulses(), -1));
        default:
            return false;
    }
}

bool navigateByWheel(AppState& state, int32_t delta, bool control) {
    if (!longRecordingViewShown(state) || delta == 0) return false;
    const uint64_t total = state.longRecording->size();
    if (control) return changeView(state, zoomedView(state.recordingView, total, delta > 0));
    return changeView(state, steppedView(state.recordingView, total, delta > 0 ? -1 : 1));
}

bool pressRecordingStrips(AppState& state, const WindowLayout& layout, int32_t x, int32_t y) {
    if (!longRecordingViewShown(state)) return false;
    const uint64_t total = state.longRecording->size();
    const LongViewLayout places = lastLayout(layout);
    RecordingView view = clampedView(state.recordingView, total);
    const uint64_t end = view.first + view.count;
    if (containsInclusive(places.overview, x, y)) {
        // Off the box the view centres on the point; either way the box follows a drag.
        const uint64_t at = sampleAt(places.overview, x, total);
        if (at < view.first || at >= end) view = centredView(view, total, at);
        state.bRecordingDrag = kOverviewDrag;
        state.recordingGrab = static_cast<int64_t>(at) - static_cast<int64_t>(view.first);
        return changeView(state, view);
    }
    if (containsInclusive(places.scrollBar, x, y)) {
        const platform::Rect thumb = spanMark(places.scrollBar, view.first, view.count, total);
        if (x < thumb.left) return changeView(state, pagedView(view, total, -1));
        if (x > thumb.right) return changeView(state, pagedView(view, total, 1));
        state.bRecordingDrag = kScrollDrag;
        state.recordingGrab = static_cast<int64_t>(sampleAt(places.scrollBar, x, total)) -
                              static_cast<int64_t>(view.first);
        return true;
    }
    return false;
}

bool dragRecordingStrips(AppState& state, const WindowLayout& layout, int32_t x, int32_t) {
    if (state.bRecordingDrag == kNoDrag || !longRecordingViewShown(state)) return false;
    const uint64_t total = state.longRecording->size();
    const LongViewLayout places = lastLayout(layout);
    const platform::Rect& strip =
        state.bRecordingDrag == kOverviewDrag ? places.overview : places.scrollBar;
    const auto at = static_cast<int64_t>(sampleAt(strip, x, total));
    RecordingView view = state.recordingView;
    view.first = static_cast<uint64_t>(std::max<int64_t>(at - state.recordingGrab, 0));
    return changeView(state, view);
}

bool releaseRecordingStrips(AppState& state) {
    if (state.bRecordingDrag == kNoDrag) return false;
    state.bRecordingDrag = kNoDrag;
    state.recordingGrab = 0;
    return true;
}

}  // namespace etalon
