// The two panels in the real window, offscreen: composing patterns with the
// mouse and running the tuples tasks, and the parameter panel's drags.
#include <gtest/gtest.h>

#include <string>

#include "app/main_menu.h"
#include "app/workbench.h"
#include "dialogs/settings_dialogs.h"
#include "panels/panel_drawing.h"
#include "support/pixels.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using platform::Rect;

struct PanelWindow {
    test::RecordingSink sink;
    Workbench workbench{sink, platform::loadBitmapResource};
    std::unique_ptr<platform::Window> window;

    PanelWindow() {
        window = platform::Window::create(workbench, kWindowTitle, mainMenu());
        window->resizeClient(1024, 700);
        window->paint();
    }
    AppState& state() { return workbench.state(); }
    const SubsetPanelState& panel() { return workbench.state().subsetPanel; }
    static int16_t midX(const Rect& r) { return static_cast<int16_t>((r.left + r.right) / 2); }
    static int16_t midY(const Rect& r) { return static_cast<int16_t>((r.top + r.bottom) / 2); }
    // A click as the user makes it, and the repaint that follows before the next one.
    void click(const Rect& r) {
        workbench.onMouseDown(*window, midX(r), midY(r), platform::kMouseLeft);
        workbench.onMouseUp(*window, midX(r), midY(r), 0);
        window->paint();
    }
    void move(int32_t x, int32_t y) {
        workbench.onMouseMove(*window, static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
        window->paint();
    }
    void choose(uint16_t id) {
        window->chooseMenuItem(id);
        window->paint();
    }
    platform::Color at(int32_t x, int32_t y) { return window->surface().pixel(x, y); }
};

TEST(PanelsWindow, DetectionOfTuplesFromAPatternOfThreeClickedEtalons) {
    PanelWindow w;
    w.choose(kCmdFixedTuples);
    w.choose(kCmdDetection);
    ASSERT_EQ(w.state().wEffectiveTask, kTaskTuplesDetection);
    w.click(w.workbench.layout().rcStartButton1);
    // The panel shows at once, though the grid sent a command that paints nothing.
    ASSERT_EQ(w.state().nDisplayMode, 9);
    const Rect graph = w.workbench.layout().rcGraph;
    EXPECT_EQ(w.at(graph.left + 1, graph.top + 1), kPanelBackground);
    ASSERT_EQ(w.panel().buttonCount, 4);
    ASSERT_EQ(w.panel().offeredCount, 20);

    for (int k : {2, 4, 6})
        w.click(w.panel().offeredCellRects[k]);
    ASSERT_EQ(w.panel().selectionCount, 3);
    // A selected cell shows its etalon where the empty cells showed nothing.
    const Rect cell = w.panel().possibleSubsetRect[0];
    EXPECT_FALSE(test::inkOf(w.window->surface(),
                             {cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2})
                     .empty());

    w.click(w.panel().buttonsWhileSelectedSubsetRect[kButtonOk]);
    EXPECT_TRUE(w.sink.empty());
    const AppState& s = w.state();
    EXPECT_EQ(s.nDisplayMode, 6);
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    ASSERT_EQ(s.lpSeriesHeader->wSubsetLength, 3);
    EXPECT_EQ(s.lpSeriesHeader->lpSelectedSubset[0], 3);
    EXPECT_EQ(s.lpSeriesHeader->lpSelectedSubset[1], 5);
    EXPECT_EQ(s.lpSeriesHeader->lpSelectedSubset[2], 7);
    ASSERT_NE(s.lpChainsHeader, nullptr);
    EXPECT_EQ(s.lpChainsHeader->wEffectiveTask, kTaskTuplesDetection);
    EXPECT_GT(s.lpSeriesHeader->wRestoredTuples, 0);
}

TEST(PanelsWindow, RecognitionOfTuplesAmongTwoAcceptedPatterns) {
    PanelWindow w;
    w.choose(kCmdFixedTuples);  // with Recognition, the start-up task
    w.click(w.workbench.layout().rcStartButton1);
    ASSERT_EQ(w.state().nDisplayMode, 9);
    ASSERT_EQ(w.panel().buttonCount, 6);

    for (int k : {0, 1, 2})
        w.click(w.panel().offeredCellRects[k]);
    w.click(w.panel().buttonsWhileSelectedSubsetRect[kButtonAccept]);
    // Accepting marks the selection, so the next etalon starts a new pattern.
    for (int k : {9, 12, 15})
        w.click(w.panel().offeredCellRects[k]);
    w.click(w.panel().buttonsWhileSelectedSubsetRect[kButtonAccept]);
    ASSERT_EQ(w.panel().reservedCount, 2);
    EXPECT_EQ(w.panel().pickedReserved, 2);
    w.click(w.panel().possibleSubsetArrayRect[0][SubsetPanelState::kSelectionCapacity]);
    EXPECT_EQ(w.panel().pickedReserved, 1);
    w.click(w.panel().possibleSubsetArrayRect[1][SubsetPanelState::kSelectionCapacity]);
    EXPECT_EQ(w.panel().pickedReserved, 2);

    w.click(w.panel().buttonsWhileSelectedSubsetRect[kButtonOk]);
    EXPECT_TRUE(w.sink.empty());
    const AppState& s = w.state();
    EXPECT_EQ(s.nDisplayMode, 6);
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    const SeriesHeader& series = *s.lpSeriesHeader;
    ASSERT_EQ(series.wSubsets, 2);
    ASSERT_EQ(series.wSubsetLength, 3);
    EXPECT_EQ(series.lpSelectedSubset[0], 10);
    EXPECT_EQ(series.lpSelectedSubset[2], 16);
    EXPECT_EQ(s.lpChainsHeader->wEffectiveTask, kTaskTuplesRecognition);
    // The series was made of the second pattern, and that is the one recognised.
    EXPECT_EQ(series.wTupleCriterion, 2);
}

}  // namespace
}  // namespace etalon
