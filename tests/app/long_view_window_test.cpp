// The window with a long recording: the overview marks the span in view, the
// scroll bar shows it, and a key or the wheel moves both.
#include <gtest/gtest.h>

#include "app/recording_navigation.h"
#include "app/recording_view.h"
#include "graphs/long_recording_graph.h"
#include "platform/virtual_keys.h"
#include "support/long_recording_fixture.h"
#include "support/open_window.h"

namespace etalon {
namespace {

constexpr platform::Color kSpanRed{220, 0, 0};
constexpr platform::Color kThumbGrey{130, 130, 130};

TEST(LongViewWindow, TheOverviewAndScrollBarFollowTheKeysAndTheWheel) {
    test::OpenWindow open;
    test::showLongRecording(open.state(), 2'000'000, 700);
    open.window->invalidateAll(true);
    open.window->paint();
    const uint64_t total = open.state().longRecording->size();
    const auto places =
        longViewLayout(open.workbench.layout().rcGraph, open.workbench.layout().nLineHeight);
    const auto expectSpanShown = [&](RecordingView view) {
        SCOPED_TRACE(std::to_string(view.first) + "+" + std::to_string(view.count));
        const platform::Surface& s = open.window->surface();
        const platform::Rect box = spanMark(places.overview, view.first, view.count, total);
        EXPECT_EQ(s.pixel(box.left, box.top), kSpanRed);
        EXPECT_EQ(s.pixel(box.right, box.bottom), kSpanRed);
        const platform::Rect thumb = spanMark(places.scrollBar, view.first, view.count, total);
        EXPECT_EQ(s.pixel((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2),
                  kThumbGrey);
    };
    expectSpanShown({0, 32767});
    // The paint the key asks for follows; the old box is gone.
    for (int k = 0; k < 20; ++k)
        open.workbench.onKeyDown(*open.window, kVkPageDown);
    open.window->paint();
    expectSpanShown({20 * 32767, 32767});
    const platform::Rect old = spanMark(places.overview, 0, 32767, total);
    EXPECT_NE(open.window->surface().pixel(old.left, old.top), kSpanRed);
    open.workbench.onMouseWheel(*open.window, 0, 0, -120, platform::kMouseControl);
    open.window->paint();
    expectSpanShown(open.state().recordingView);
    EXPECT_EQ(open.state().recordingView.count, 65534u);
    // The whole recording is drawn as an envelope column by column.
    open.workbench.onKeyDown(*open.window, kVkHome);
    for (int k = 0; k < 10; ++k)
        open.workbench.onKeyDown(*open.window, kVkOemMinus);
    open.window->paint();
    expectSpanShown({0, total});
}

// The keys that move the view arrive with the codes the view reads.
TEST(LongViewWindow, KeysArriveAsTheCodesTheViewReads) {
    using platform::virtualKey;
    EXPECT_EQ(virtualKey(Qt::Key_PageDown, false), kVkPageDown);
    EXPECT_EQ(virtualKey(Qt::Key_PageUp, false), kVkPageUp);
    EXPECT_EQ(virtualKey(Qt::Key_Home, false), kVkHome);
    EXPECT_EQ(virtualKey(Qt::Key_End, false), kVkEnd);
    EXPECT_EQ(virtualKey(Qt::Key_Left, false), kVkLeft);
    EXPECT_EQ(virtualKey(Qt::Key_Right, false), kVkRight);
    EXPECT_EQ(virtualKey(Qt::Key_Plus, true), kVkAdd);
    EXPECT_EQ(virtualKey(Qt::Key_Minus, true), kVkSubtract);
    EXPECT_EQ(virtualKey(Qt::Key_Plus, false), kVkOemPlus);
    EXPECT_EQ(virtualKey(Qt::Key_Equal, false), kVkOemPlus);
    EXPECT_EQ(virtualKey(Qt::Key_Minus, false), kVkOemMinus);
    EXPECT_EQ(virtualKey(Qt::Key_N, false), 'N');
}

}  // namespace
}  // namespace etalon
