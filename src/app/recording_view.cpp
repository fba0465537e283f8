#include "app/recording_view.h"

#include <algorithm>

#include "app/app_state.h"

namespace etalon {

const std::vector<RecordingPulse>& LongRecording::pulses() const {
    static const std::vector<RecordingPulse> none;
    return chains.empty() ? none : chains.front().pulses;
}

const LongRecording* shownLongRecording(const AppState& state) {
    return state.bSeriesWithoutTruth ? state.longRecording.get() : nullptr;
}

RecordingView clampedView(RecordingView view, uint64_t total) {
    view.count = std::clamp(view.count, std::min(kFewestViewSamples, total), total);
    view.first = std::min(view.first, total - view.count);
    return view;
}

RecordingView openingView(uint64_t total) {
    return clampedView({0, kFirstViewSamples}, total);
}

namespace {

RecordingView shifted(RecordingView view, uint64_t total, uint64_t by, int direction) {
    view = clampedView(view, total);
    if (direction < 0) {
        view.first -= std::min(view.first, by);
    } else {
        view.first = std::min(view.first + by, total - view.count);
    }
    return view;
}

}  // namespace

RecordingView pagedView(RecordingView view, uint64_t total, int direction) {
    view = clampedView(view, total);
    return shifted(view, total, view.count, direction);
}

RecordingView steppedView(RecordingView view, uint64_t total, int direction) {
    view = clampedView(view, total);
    return shifted(view, total, std::max<uint64_t>(view.count / 10, 1), direction);
}

RecordingView viewAtStart(RecordingView view, uint64_t total) {
    view = clampedView(view, total);
    view.first = 0;
    return view;
}

RecordingView viewAtEnd(RecordingView view, uint64_t total) {
    view = clampedView(view, total);
    view.first = total - view.count;
    return view;
}

RecordingView centredView(RecordingView view, uint64_t total, uint64_t centre) {
    view = clampedView(view, total);
    view.first = centre > view.count / 2 ? centre - view.count / 2 : 0;
    return clampedView(view, total);
}

RecordingView zoomedView(RecordingView view, uint64_t total, bool in) {
    view = clampedView(view, total);
    const uint64_t centre = view.first + view.count / 2;
    view.count = in ? view.count / 2 : view.count * 2;
    return centredView(clampedView(view, total), total, centre);
}

RecordingView pulseView(RecordingView view, uint64_t total, std::span<const RecordingPulse> pulses,
                        int direction) {
    view = clampedView(view, total);
    const auto centre = static_cast<int64_t>(view.first + view.count / 2);
    const auto after =
        std::upper_bound(pulses.begin(), pulses.end(), centre,
                         [](int64_t c, const RecordingPulse& p) { return c < p.position; });
    if (direction > 0) {
        if (after == pulses.end()) return view;
        return centredView(view, total, static_cast<uint64_t>(after->position));
    }
    auto before =
        std::lower_bound(pulses.begin(), pulses.end(), centre,
                         [](const RecordingPulse& p, int64_t c) { return p.position < c; });
    if (before == pulses.begin()) return view;
    --before;
    return centredView(view, total, static_cast<uint64_t>(before->position));
}

uint64_t pulsesInView(RecordingView view, std::span<const RecordingPulse> pulses) {
    const auto starts = [](const RecordingPulse& p, int64_t at) { return p.position < at; };
    const auto a =
        std::lower_bound(pulses.begin(), pulses.end(), static_cast<int64_t>(view.first), starts);
    const auto b = std::lower_bound(pulses.begin(), pulses.end(),
                                    static_cast<int64_t>(view.first + view.count), starts);
    return static_cast<uint64_t>(b - a);
}

}  // namespace etalon
