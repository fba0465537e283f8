// The two panels in the real window, offscreen: composing patterns with the
// mouse and running the tuples tasks, and the parameter panel's drags.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "app/main_menu.h"
#include "app/workbench.h"
#include "dialogs/settings_dialogs.h"
#include "graphs/series_graph.h"
#include "panels/panel_drawing.h"
#include "support/open_window.h"
#include "support/pixels.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using platform::Rect;

struct PanelWindow : test::OpenWindow {
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
    ASSERT_EQ(w.state().wEffectiveTask, TaskCode::TuplesDetection);
    w.click(w.workbench.layout().rcStartButton1);
    // The panel shows at once, though the grid sent a command that paints nothing.
    ASSERT_EQ(w.state().nDisplayMode, DisplayMode::SubsetPanel);
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
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    ASSERT_EQ(s.lpSeriesHeader->wSubsetLength, 3);
    EXPECT_EQ(s.lpSeriesHeader->lpSelectedSubset[0], 3);
    EXPECT_EQ(s.lpSeriesHeader->lpSelectedSubset[1], 5);
    EXPECT_EQ(s.lpSeriesHeader->lpSelectedSubset[2], 7);
    ASSERT_NE(s.lpChainsHeader, nullptr);
    EXPECT_EQ(s.lpChainsHeader->wEffectiveTask, TaskCode::TuplesDetection);
    EXPECT_GT(s.lpSeriesHeader->wRestoredTuples, 0);
}

TEST(PanelsWindow, RecognitionOfTuplesAmongTwoAcceptedPatterns) {
    PanelWindow w;
    w.choose(kCmdFixedTuples);  // with Recognition, the start-up task
    w.click(w.workbench.layout().rcStartButton1);
    ASSERT_EQ(w.state().nDisplayMode, DisplayMode::SubsetPanel);
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
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    const SeriesHeader& series = *s.lpSeriesHeader;
    ASSERT_EQ(series.wSubsets, 2);
    ASSERT_EQ(series.wSubsetLength, 3);
    EXPECT_EQ(series.lpSelectedSubset[0], 10);
    EXPECT_EQ(series.lpSelectedSubset[2], 16);
    EXPECT_EQ(s.lpChainsHeader->wEffectiveTask, TaskCode::TuplesRecognition);
    // The series was made of the second pattern, and that is the one recognised.
    EXPECT_EQ(series.wTupleCriterion, 2);
}

// The parameter panel's " Tmin = " row, where the text block writes it.
Rect tminRow(const ParamsHeader& h, const WindowLayout& layout) {
    const int32_t th = layout.nLineHeight + 1;
    const Rect& g = layout.rcGraph;
    const int32_t mx = (g.right + 1 - g.left) / 170, my = (g.bottom + 1 - g.top) / 131;
    const int32_t top = g.top + my + 3 * my + 10 * th;
    return {g.left + 2 * mx, top, h.diagramRect.left, top + th};
}

TEST(PanelsWindow, DraggingTheTminLineMovesItAndOkAppliesIt) {
    PanelWindow w;
    w.choose(kCmdViewSeriesParameters);
    ASSERT_EQ(w.state().nDisplayMode, DisplayMode::ParameterPanel);
    ASSERT_NE(w.state().lpParamsHeader, nullptr);
    const ParamsHeader& h = *w.state().lpParamsHeader;
    // The edit control shows in the panel, holding Tmin.
    EXPECT_EQ(w.window->editControlRect(kParamEditId), w.state().paramsPanel.edit);
    EXPECT_EQ(w.window->editText(kParamEditId), "40");
    const Rect row = tminRow(h, w.workbench.layout());
    const platform::Surface before = w.window->surface();
    const int32_t startY1 = h.tminLine.y1;

    const int32_t x = (h.tminLine.x1 + h.tminLine.x2) / 2;
    const int32_t y = h.tminLine.y2 + (h.tminLine.y1 - h.tminLine.y2) * (h.tminLine.x2 - x) /
                                          (h.tminLine.x2 - h.tminLine.x1);
    w.move(x, y);
    EXPECT_TRUE(w.window->hasCapture());
    w.workbench.onMouseDown(*w.window, static_cast<int16_t>(x), static_cast<int16_t>(y),
                            platform::kMouseLeft);
    ASSERT_EQ(h.tminLine.drag, 1);
    w.move(x, y + 30);
    w.move(x, y + 60);
    w.workbench.onMouseUp(*w.window, static_cast<int16_t>(x), static_cast<int16_t>(y + 60), 0);
    w.window->paint();
    EXPECT_EQ(h.tminLine.drag, 0);
    EXPECT_GT(h.Tmin, 40);
    EXPECT_EQ(w.window->editText(kParamEditId), std::to_string(h.Tmin));
    // The line starts lower now, drawn in black, and the " Tmin = " row says so.
    EXPECT_GT(h.tminLine.y1, startY1);
    EXPECT_EQ(w.at(h.tminLine.x2, h.tminLine.y2), platform::kBlack);
    int changed = 0;
    for (int32_t py = row.top; py < row.bottom; ++py) {
        for (int32_t px = row.left; px < row.right; ++px)
            changed += !(before.pixel(px, py) == w.window->surface().pixel(px, py));
    }
    EXPECT_GT(changed, 0);

    const int32_t dragged = h.Tmin;
    w.click(w.state().paramsPanel.ok);
    EXPECT_TRUE(w.sink.empty());
    EXPECT_EQ(w.state().wTmin, dragged);
    EXPECT_EQ(w.state().nDisplayMode, DisplayMode::Results);
    const Rect edit = w.window->editControlRect(kParamEditId);
    EXPECT_EQ(edit.right - edit.left, 0);  // hidden with the panel
}

TEST(PanelsWindow, ParameterPanelWithoutASeriesShowsItsButtons) {
    PanelWindow w;
    w.state().lpSeriesHeader.reset();
    w.choose(kCmdViewSeriesParameters);
    EXPECT_EQ(w.state().lpParamsHeader, nullptr);
    const Rect graph = w.workbench.layout().rcGraph;
    EXPECT_EQ(w.at(graph.left + 1, graph.top + 1), kPanelBackground);
    ASSERT_TRUE(w.state().paramsPanel.laidOut);
    w.click(w.state().paramsPanel.cancel);
    EXPECT_EQ(w.state().nDisplayMode, DisplayMode::Results);
}

// Unchecks "frame graph fields" in the drawing settings dialog and presses OK.
void answerDrawingSettings() {
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QTimer* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible() || !top->isModal()) continue;
            for (QCheckBox* box : top->findChildren<QCheckBox*>()) {
                if (box->text() == "frame graph fields") box->click();
            }
            for (QPushButton* button : top->findChildren<QPushButton*>()) {
                if (button->isDefault()) button->click();
            }
            timer->deleteLater();
            return;
        }
    });
    timer->start(10);
}

TEST(PanelsWindow, DrawingSettingsChangeWhatTheResultsViewDraws) {
    PanelWindow w;
    w.click(w.workbench.layout().rcStartButton1);
    ASSERT_EQ(w.state().nDisplayMode, DisplayMode::Results);
    const SeriesGraphGeometry g =
        seriesGraphGeometry(w.workbench.layout().rcGraph, w.workbench.layout().nLineHeight, false,
                            w.state().wRequiredCount);
    const Rect panel = g.panel(2);
    const int32_t x = (panel.left + panel.right) / 2;
    EXPECT_EQ(w.at(x, panel.top), platform::kBlack);  // the frame's top edge

    answerDrawingSettings();
    w.choose(kCmdDrawingSettings);
    EXPECT_EQ(w.state().bFrameGraphFields, 0);
    w.window->invalidateAll(true);
    w.window->paint();
    EXPECT_NE(w.at(x, panel.top), platform::kBlack);
}

}  // namespace
}  // namespace etalon
