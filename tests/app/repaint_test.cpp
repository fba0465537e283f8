// After each command the window must show what a full repaint of the same
// state shows: partial repaints may skip work, never leave stale pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "app/main_menu.h"
#include "app/painting.h"
#include "app/workbench.h"
#include "graphs/series_graph.h"
#include "graphs/stat_plot_text.h"
#include "graphs/stat_plots.h"
#include "support/open_window.h"
#include "support/pixels.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using platform::Rect;

struct OpenWindow : test::OpenWindow {
    const WindowLayout& layout() { return workbench.layout(); }
    void press(const Rect& r) {
        workbench.onMouseDown(*window, static_cast<int16_t>((r.left + r.right) / 2),
                              static_cast<int16_t>((r.top + r.bottom) / 2), platform::kMouseLeft);
    }
    void choose(uint16_t id) { window->chooseMenuItem(id); }

    // Paints what is due, then compares with the same state painted afresh.
    void expectShowsState(const char* step) {
        window->paint();
        const platform::Surface& shown = window->surface();
        platform::Surface fresh(shown.width(), shown.height());
        std::array<std::optional<platform::Bitmap>, kButtonBitmaps> bitmaps;
        for (int i = 0; i < kButtonBitmaps; ++i)
            bitmaps[i] = workbench.bitmap(static_cast<ButtonBitmap>(i));
        WindowLayout layout;
        platform::DeviceContext dc(fresh);
        test::RecordingSink reports;
        paintWindow(state(), layout, bitmaps, window->clientRect(), dc, reports);
        int stale = 0;
        Rect where{shown.width(), shown.height(), 0, 0};
        for (int32_t y = 0; y < shown.height(); ++y) {
            for (int32_t x = 0; x < shown.width(); ++x) {
                if (shown.pixel(x, y) == fresh.pixel(x, y)) continue;
                ++stale;
                where = {std::min(where.left, x), std::min(where.top, y), std::max(where.right, x),
                         std::max(where.bottom, y)};
            }
        }
        EXPECT_EQ(stale, 0) << step << ": stale pixels within (" << where.left << ", " << where.top
                            << ") - (" << where.right << ", " << where.bottom << ")";
    }
};

TEST(Repaint, CutOffTypeShowsAndHidesTheLostDataSelector) {
    OpenWindow w;
    // Ink where the lost-data selector stands: its frame, label and entries.
    const auto selectorInk = [&w] {
        const Rect& box = w.layout().rcLostSelector;
        int ink = 0;
        for (int32_t y = box.top; y < box.bottom; ++y) {
            for (int32_t x = box.left; x < box.right; ++x)
                ink += w.window->surface().pixel(x, y) != platform::kWhite;
        }
        return ink;
    };
    EXPECT_EQ(selectorInk(), 0) << "whole pulses at start-up";
    w.choose(kCmdFixedCutoff);
    w.expectShowsState("cut-off type chosen");
    EXPECT_GT(selectorInk(), 100) << "cut-off type chosen";
    w.press(w.layout().rcStartButton1);
    w.expectShowsState("start on a cut-off type");
    EXPECT_GT(selectorInk(), 100) << "start on a cut-off type";
    w.choose(kCmdFixedCase);  // back to whole pulses, from the results view
    w.expectShowsState("fixed case");
    EXPECT_EQ(selectorInk(), 0) << "fixed case";
    EXPECT_TRUE(w.sink.empty());
}

TEST(Repaint, ButtonColumnFollowsTheTaskAndTheView) {
    OpenWindow w;
    w.press(w.layout().rcStartButton1);
    w.expectShowsState("start");
    w.choose(kCmdTypeMoreDetails);  // drawn over the old picture
    w.expectShowsState("type more details");
    w.choose(kCmdRepeatDetection);  // the toggle goes, "Etalons" takes its place
    w.expectShowsState("repeat detection");
    w.choose(kCmdRecognition);
    w.expectShowsState("recognition chosen");
    w.press(w.layout().rcStartButton);  // back to the grid
    w.expectShowsState("etalons button");
    w.press(w.layout().rcCells[4]);
    w.expectShowsState("grid cell");
    w.choose(kCmdDetection);  // the working set shrinks to one etalon
    w.expectShowsState("detection chosen in the grid");
    EXPECT_TRUE(w.sink.empty());
}

// Presses OK in every series dialog as it opens.
void acceptDialogs() {
    // A window closed by an earlier test asked the application loop to end,
    // which ends any loop started before the application loop runs again.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QTimer* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [] {
        QWidget* dialog = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible() && top->isModal()) dialog = top;
        }
        // The progress dialog runs on its own; its only button is Cancel.
        if (!dialog || qobject_cast<QProgressDialog*>(dialog)) return;
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->isDefault()) {
                button->click();
                return;
            }
        }
    });
    timer->start(10);
}

TEST(Repaint, CreateSeriesFromTheGridShowsTheResultsView) {
    for (uint16_t type : {kCmdFixedWhole, kCmdFixedCutoff}) {
        OpenWindow w;
        w.choose(type);
        w.window->paint();
        acceptDialogs();
        w.choose(kCmdCreateSeries);
        for (QTimer* t : qApp->findChildren<QTimer*>())
            delete t;
        EXPECT_EQ(w.state().nDisplayMode, DisplayMode::Results);
        w.expectShowsState(type == kCmdFixedWhole ? "create series" : "create cut-off series");
    }
}

TEST(Repaint, LostDataPickBringsThePendingNoiseIntoEffect) {
    OpenWindow w;
    w.choose(kCmdFixedCutoff);
    w.window->paint();
    w.press(w.layout().rcToggleButton);  // empty working set: selectors only move
    w.window->paint();
    w.press(w.layout().rcNoiseItems[1]);
    w.expectShowsState("noise picked without a series");
    w.press(w.layout().rcCells[2]);
    w.window->paint();
    w.press(w.layout().rcLostItems[1]);
    EXPECT_EQ(w.state().wNoiseLevel, 35);
    w.expectShowsState("lost data picked");
}

TEST(Repaint, TuplesTypesOpenACleanPanelArea) {
    OpenWindow w;
    w.choose(kCmdFixedCutoff);
    w.press(w.layout().rcStartButton1);
    w.window->paint();
    w.choose(kCmdFixedTuples);
    w.expectShowsState("tuples type chosen");
    w.press(w.layout().rcStartButton1);  // no subset yet: the subset panel
    EXPECT_EQ(w.state().nDisplayMode, DisplayMode::SubsetPanel);
    w.expectShowsState("start on tuples from the results");

    OpenWindow grid;
    grid.choose(kCmdUnfixedTuples);
    grid.window->paint();
    grid.press(grid.layout().rcStartButton1);
    EXPECT_EQ(grid.state().nDisplayMode, DisplayMode::SubsetPanel);
    grid.expectShowsState("start on tuples from the grid");
    // The panel's own repaints cover what its presses change.
    grid.press(grid.state().subsetPanel.offeredCellRects[3]);
    grid.press(grid.state().subsetPanel.offeredCellRects[5]);
    grid.expectShowsState("etalons selected");
    grid.press(grid.state().subsetPanel.possibleSubsetRect[0]);
    grid.press(grid.state().subsetPanel.buttonsWhileSelectedSubsetRect[kButtonAccept]);
    grid.expectShowsState("pattern accepted");
    grid.press(grid.state().subsetPanel.buttonsWhileSelectedSubsetRect[kButtonCancel]);
    grid.expectShowsState("panel cancelled");

    grid.choose(kCmdDetection);
    grid.choose(kCmdSelectPulses);
    grid.expectShowsState("plain subset panel");
    grid.choose(kCmdViewSeriesParameters);
    grid.expectShowsState("parameter panel");
}

// A small simulation run from the menu through its real dialogs and progress
// dialog: the window then shows the curves, as the plot drawn alone has them.
TEST(Repaint, SimulationFromTheMenuShowsItsCurves) {
    OpenWindow w;
    w.state().wNoiseSteps = 3;
    w.state().wNoiseIncrement = 40;
    w.state().wRepeats = 2;
    acceptDialogs();
    w.choose(kCmdStatSimulation);
    for (QTimer* t : qApp->findChildren<QTimer*>())
        delete t;
    ASSERT_TRUE(w.state().lpRestErrorHeader);
    EXPECT_EQ(w.state().lpRestErrorHeader->ifComplete, 1);
    EXPECT_EQ(w.state().nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(w.state().wMainView, MainView::Statistics);

    for (StatPlotMode mode : {StatPlotMode::RestoredComponents, StatPlotMode::RestoredAggregate}) {
        SCOPED_TRACE(static_cast<int>(mode));
        w.state().nStatPlotMode = mode;
        w.window->invalidate(nullptr, true);
        w.window->paint();
        platform::Surface alone(w.window->surface().width(), w.window->surface().height());
        platform::DeviceContext dc(alone);
        StatPlotView view;
        view.rcGraph = w.layout().rcGraph;
        view.nLineHeight = w.layout().nLineHeight;
        view.startTime = w.state().simulationStartTime;
        view.endTime = w.state().simulationEndTime;
        const AppState& s = w.state();
        DrawDetectionArrayZ(w.sink, dc, view,
                            {.errors = s.lpRestErrorHeader.get(),
                             .series = s.lpSeriesHeader.get(),
                             .mode = mode,
                             .amplitude = s.wPulseAmplitude,
                             .required = {s.lpRequiredList.data(), s.wRequiredCount}});
        const SeriesGraphGeometry g =
            seriesGraphGeometry(view.rcGraph, view.nLineHeight, false, s.wRequiredCount);
        const StatPlotGeometry pg = statPlotGeometry(g, s.lpRestErrorHeader->wNoiseLevels);
        const Rect plot{pg.px + 1, pg.py + 1, pg.px + pg.PW, pg.py + pg.PH};
        const auto curves = test::inkOf(alone, plot);
        EXPECT_GT(curves.size(), 50u);
        int missing = 0;
        for (const platform::Point& p : curves)
            missing += w.window->surface().pixel(p.x, p.y) != alone.pixel(p.x, p.y);
        EXPECT_EQ(missing, 0);
    }
    EXPECT_TRUE(w.sink.messages.size() == 1u) << "only the summary is shown";
}

}  // namespace
}  // namespace etalon
