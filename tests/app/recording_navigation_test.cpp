// Moving through a long recording: keys, the wheel, the overview and the
// scroll bar move the span in view as they say and stop at the ends.
#include <gtest/gtest.h>

#include "app/recording_navigation.h"
#include "app/recording_view.h"
#include "graphs/long_view_layout.h"
#include "support/command_rig.h"

namespace etalon {
namespace {

constexpr uint64_t kTotal = 1'000'000;
constexpr int kF5 = 0x74, kEscape = 0x1b;  // the window's own keys

struct LongRig : test::CommandRig {
    LongRig() {
        auto recording = std::make_shared<LongRecording>();
        recording->samples.assign(kTotal, 0);
        RecordingChain chain;
        for (int64_t p : {1000, 250'000, 250'400, 999'990})
            chain.pulses.push_back({p, 1, 0, 19});
        recording->chains.push_back(chain);
        recording->envelope = EnvelopePyramid(recording->samples);
        state.longRecording = std::move(recording);
        state.bSeriesWithoutTruth = 1;
        state.nDisplayMode = DisplayMode::Results;
        state.wMainView = MainView::SeriesGraph;
        state.recordingView = openingView(kTotal);
    }
    RecordingView key(int k) {
        EXPECT_TRUE(navigateByKey(state, k)) << k;
        return state.recordingView;
    }
};

TEST(RecordingNavigation, KeysMoveAndZoomTheSpanAndStopAtTheEnds) {
    LongRig rig;
    EXPECT_EQ(rig.state.recordingView, (RecordingView{0, 32767}));
    EXPECT_EQ(rig.key(kVkPageDown), (RecordingView{32767, 32767}));
    EXPECT_EQ(rig.key(kVkRight), (RecordingView{32767 + 3276, 32767}));
    EXPECT_EQ(rig.key(kVkLeft), (RecordingView{32767, 32767}));
    EXPECT_EQ(rig.key(kVkPageUp), (RecordingView{0, 32767}));
    EXPECT_EQ(rig.key(kVkPageUp), (RecordingView{0, 32767}));  // at the start already
    EXPECT_EQ(rig.key(kVkLeft), (RecordingView{0, 32767}));
    EXPECT_EQ(rig.key(kVkEnd), (RecordingView{kTotal - 32767, 32767}));
    EXPECT_EQ(rig.key(kVkPageDown), (RecordingView{kTotal - 32767, 32767}));
    EXPECT_EQ(rig.key(kVkRight), (RecordingView{kTotal - 32767, 32767}));
    EXPECT_EQ(rig.key(kVkHome), (RecordingView{0, 32767}));

    // Zoom about the centre, down to 100 samples and up to the whole recording.
    rig.state.recordingView = {500'000, 40'000};
    EXPECT_EQ(rig.key(kVkAdd), (RecordingView{510'000, 20'000}));
    EXPECT_EQ(rig.key(kVkOemMinus), (RecordingView{500'000, 40'000}));
    for (int k = 0; k < 20; ++k)
        rig.key(kVkOemPlus);
    EXPECT_EQ(rig.state.recordingView.count, kFewestViewSamples);
    EXPECT_EQ(rig.state.recordingView.first + 50, 520'000u);
    for (int k = 0; k < 20; ++k)
        rig.key(kVkSubtract);
    EXPECT_EQ(rig.state.recordingView, (RecordingView{0, kTotal}));

    // N and P centre the next and previous restored pulse, and stop at the last and first.
    rig.state.recordingView = {0, 1000};
    EXPECT_EQ(rig.key('N'), (RecordingView{500, 1000}));  // pulse 1000 centred
    EXPECT_EQ(rig.key('N').first + 500, 250'000u);
    EXPECT_EQ(rig.key('N').first + 500, 250'400u);
    EXPECT_EQ(rig.key('N'), (RecordingView{kTotal - 1000, 1000}));  // the last, as near as it goes
    EXPECT_EQ(rig.key('P').first + 500, 250'400u);
    EXPECT_EQ(rig.key('P').first + 500, 250'000u);
    EXPECT_EQ(rig.key('P'), (RecordingView{500, 1000}));
    EXPECT_EQ(rig.key('P'), (RecordingView{500, 1000}));

    // Keys the window uses for itself pass through; so does every key elsewhere.
    for (int k : {kF5, kEscape, 0, 1, int{'A'}})
        EXPECT_FALSE(navigateByKey(rig.state, k)) << k;
    rig.state.nDisplayMode = DisplayMode::ParameterPanel;
    EXPECT_FALSE(navigateByKey(rig.state, kVkPageDown));
    rig.state.nDisplayMode = DisplayMode::Results;
    rig.state.bSeriesWithoutTruth = 0;  // a made series since
    EXPECT_FALSE(navigateByKey(rig.state, kVkPageDown));
}

TEST(RecordingNavigation, TheWheelScrollsAndZoomsWithControl) {
    LongRig rig;
    rig.state.recordingView = {100'000, 10'000};
    EXPECT_TRUE(navigateByWheel(rig.state, -120, false));
    EXPECT_EQ(rig.state.recordingView, (RecordingView{101'000, 10'000}));
    EXPECT_TRUE(navigateByWheel(rig.state, 120, false));
    EXPECT_EQ(rig.state.recordingView, (RecordingView{100'000, 10'000}));
    EXPECT_TRUE(navigateByWheel(rig.state, 120, true));
    EXPECT_EQ(rig.state.recordingView, (RecordingView{102'500, 5'000}));
    EXPECT_TRUE(navigateByWheel(rig.state, -120, true));
    EXPECT_EQ(rig.state.recordingView, (RecordingView{100'000, 10'000}));
}

TEST(RecordingNavigation, OverviewAndScrollBarPressesLandWhereTheyShould) {
    LongRig rig;
    const LongViewLayout places = longViewLayout(rig.layout.rcGraph, rig.layout.nLineHeight);
    const platform::Rect& o = places.overview;
    const int32_t width = o.right - o.left + 1;
    const int32_t y = (o.top + o.bottom) / 2;
    // A press off the box centres the view on the sample under it.
    const int32_t x = o.left + width * 3 / 4;
    EXPECT_TRUE(pressRecordingStrips(rig.state, rig.layout, x, y));
    const uint64_t under = columnSample(x - o.left, width, kTotal);
    EXPECT_EQ(rig.state.recordingView, (RecordingView{under - 32767 / 2, 32767}));
    // Dragging moves the box by as many samples as the pointer moved over.
    EXPECT_TRUE(dragRecordingStrips(rig.state, rig.layout, x - 100, y));
    EXPECT_EQ(rig.state.recordingView.first,
              under - 32767 / 2 - (under - columnSample(x - 100 - o.left, width, kTotal)));
    EXPECT_TRUE(dragRecordingStrips(rig.state, rig.layout, o.left - 50, y));  // past the start
    EXPECT_EQ(rig.state.recordingView.first, 0u);
    EXPECT_TRUE(releaseRecordingStrips(rig.state));
    EXPECT_FALSE(dragRecordingStrips(rig.state, rig.layout, x, y));

    // The scroll bar pages toward a press beside its thumb and drags the thumb.
    const platform::Rect& bar = places.scrollBar;
    const int32_t barY = (bar.top + bar.bottom) / 2;
    EXPECT_TRUE(pressRecordingStrips(rig.state, rig.layout, bar.right - 2, barY));
    EXPECT_EQ(rig.state.recordingView, (RecordingView{32767, 32767}));
    const platform::Rect thumb = spanMark(bar, 32767, 32767, kTotal);
    EXPECT_TRUE(pressRecordingStrips(rig.state, rig.layout, thumb.left + 1, barY));
    EXPECT_TRUE(dragRecordingStrips(rig.state, rig.layout, bar.right + 40, barY));
    EXPECT_EQ(rig.state.recordingView, (RecordingView{kTotal - 32767, 32767}));
    releaseRecordingStrips(rig.state);
    // Elsewhere presses are the window's as before.
    EXPECT_FALSE(pressRecordingStrips(rig.state, rig.layout, o.left, o.top - 5));
}

}  // namespace
}  // namespace etalon
