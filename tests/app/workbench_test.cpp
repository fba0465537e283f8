#include "app/workbench.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/main_menu.h"
#include "graphs/alphabet_grid.h"
#include "graphs/plot_primitives.h"
#include "graphs/series_graph.h"
#include "graphs/series_graph_text.h"
#include "support/pixels.h"
#include "support/recording_sink.h"
#include "support/state_difference.h"

namespace etalon {
namespace {

using platform::MenuEntry;
using platform::Window;

struct OpenWorkbench {
    test::RecordingSink sink;
    Workbench workbench{sink, platform::loadBitmapResource};
    std::unique_ptr<Window> window;

    OpenWorkbench() {
        window = Window::create(workbench, kWindowTitle, mainMenu());
        if (window) window->resizeClient(1024, 700);
    }
    void paint() {
        window->invalidateAll(true);
        window->paint();
    }
};

// Menu items in order as "id text"; separators as "-", popups as "[text]".
void flatten(const std::vector<MenuEntry>& entries, std::vector<std::string>& out) {
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Kind::Separator:
                out.push_back("-");
                break;
            case MenuEntry::Kind::Popup:
                out.push_back("[" + e.text + "]");
                flatten(e.entries, out);
                out.push_back("[/]");
                break;
            case MenuEntry::Kind::Item:
                out.push_back(std::to_string(e.id) + e.text);
                break;
        }
    }
}

TEST(Workbench, MenuHasEveryItemWithItsIdAndText) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    std::vector<std::string> shown;
    flatten(open.window->menu(), shown);
    const std::vector<std::string> expected = {
        "[ File]",
        "40002 New pulses... ",
        "40001 Create series... ",
        "40031 View series parameters...",
        "40016 Select set of pulses",
        "-",
        "40038 Open series...",
        "40039 Save series...",
        "40040 Export results...",
        "-",
        "40035 Open etalons...",
        "40036 Save etalons...",
        "40037 Etalon from series...",
        "-",
        "40003 Save image as...",
        "40034 Export simulation table...",
        "-",
        "40004 Exit",
        "[/]",
        "[ Processing]",
        "40017 Processing Same Data",
        "40018 Processing Next Data ",
        "-",
        "40019 More details",
        "40020 Type more detales",
        "40042 Show matched filter pulses",
        "-",
        "40021 Fixed case",
        "40022 Unfixed case",
        "-",
        "40012 Statistical Simulation",
        "40015 Show Statistical Simulation",
        "-",
        "40023 Repeat Detection",
        "40024 Repeat Recognition",
        "40025 Repeat Joint Detection and Discrimination",
        "40026 Repeat Series Processing",
        "[/]",
        "[ Settings]",
        "[ Select Task Type]",
        "40005 Detection",
        "40006 Recognition",
        "40007 Joint Detection and Identification",
        "40027 Series Processing",
        "[/]",
        "[ Select Series Type]",
        "40008 Fixed Number of Whole Pulses",
        "40009 Unfixed Number of Whole Pulses",
        "40010 Fixed Number of Cutoffs Pulses",
        "40011 Unfuxed Number of Cutoffs Pulses",
        "-",
        "40028 Fixed Number of Whole Pulses Tuples ",
        "40032 Unfixed Number of Whole Pulses Tuples ",
        "[/]",
        "-",
        "40029 Subset settings ...",
        "40030 Drawing settings ...",
        "-",
        "40041 Compare with matched filter",
        "[/]",
        "[ Else One]",
        "40014 Create Series...",
        "-",
        "40033 Debugging repeat ",
        "[/]",
    };
    EXPECT_EQ(shown, expected);
}

TEST(Workbench, StartUpWindowAndState) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    EXPECT_TRUE(open.sink.empty());
    EXPECT_EQ(open.window->title(), "ZedoviredivOdedeZozar");
    for (uint16_t id : {kCmdDetection, kCmdJointDetection, kCmdSeriesProcessing, kCmdUnfixedWhole,
                        kCmdFixedCutoff, kCmdUnfixedCutoff, kCmdFixedTuples, kCmdUnfixedTuples}) {
        EXPECT_FALSE(open.window->isMenuItemChecked(id)) << id;
    }
    EXPECT_TRUE(open.window->isMenuItemChecked(kCmdRecognition));
    EXPECT_TRUE(open.window->isMenuItemChecked(kCmdFixedWhole));

    ASSERT_TRUE(open.window->hasEditControl(kParamEditId));
    EXPECT_EQ(open.window->editText(kParamEditId), "Tmin Text");
    EXPECT_EQ(open.window->editControlRect(kParamEditId), (platform::Rect{0, 0, 0, 0}));

    for (int i = 0; i < kButtonBitmaps; ++i) {
        const auto& bitmap = open.workbench.bitmap(static_cast<ButtonBitmap>(i));
        ASSERT_TRUE(bitmap.has_value()) << kButtonBitmapNames[i];
        EXPECT_EQ(bitmap->width, 144);
        EXPECT_EQ(bitmap->height, 32);
    }

    const AppState& s = open.workbench.state();
    EXPECT_EQ(s.nDisplayMode, DisplayMode::AlphabetGrid);
    EXPECT_EQ(s.wTaskType, TaskCode::Recognition);
    EXPECT_EQ(s.wEffectiveTask, TaskCode::Recognition);
    EXPECT_EQ(s.wSeriesType, SeriesCode::FixedWhole);
    EXPECT_EQ(s.wRequiredCount, 20);
    EXPECT_EQ(s.bAlphabetReady, 1);
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseQuantity, 18);
    EXPECT_EQ(s.lpSeriesHeader->dwSeriesSize, 1200u);
    EXPECT_EQ(s.lpSeriesHeader->lpNoisyData, s.lpSeriesHeader->lpPureData);  // no noise yet
    ASSERT_NE(s.lpChainsHeader, nullptr);
    EXPECT_EQ(s.lpChainsHeader->wMaxSize, 10);
    EXPECT_EQ(s.nLostIndex, 1);
    EXPECT_EQ(s.wLostLevel, 0);
    EXPECT_EQ(s.wMakingLevel, 100);
    EXPECT_EQ(s.wProcessingLevel, 100);
    EXPECT_EQ(s.lpEtalonSequence, std::vector<uint16_t>(30, 1));
}

TEST(Workbench, StartUpPaintShowsGridButtonsAndTwoSelectors) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    open.paint();
    const platform::Surface& s = open.window->surface();
    const WindowLayout& layout = open.workbench.layout();
    EXPECT_EQ(layout.rcGraph, (platform::Rect{10, 10, 859, 687}));
    EXPECT_FALSE(test::pixelsOf(s, kWorkingCurve, layout.rcGraph).empty());
    EXPECT_TRUE(test::pixelsOf(s, kOtherCurve, layout.rcGraph).empty());

    // Every etalon in the working set: the toggle offers to deselect them all.
    EXPECT_EQ(layout.bFewSelected, 0);
    const auto pixelAt = [&](ButtonBitmap which, const platform::Rect& at, int x, int y) {
        const auto& bitmap = *open.workbench.bitmap(which);
        EXPECT_EQ(s.pixel(at.left + x, at.top + y),
                  platform::Surface::unpack(bitmap.pixels[y * 144 + x]));
    };
    for (auto [x, y] : {std::pair{0, 0}, {70, 16}, {143, 31}, {30, 10}}) {
        pixelAt(kBmpDeselectAll, layout.rcToggleButton, x, y);
        pixelAt(kBmpStart1, layout.rcStartButton1, x, y);
        pixelAt(kBmpExit, layout.rcExitButton, x, y);
    }
    // No "ButtonStart" outside the results view.
    EXPECT_TRUE(test::inkOf(s, {layout.rcStartButton.left, layout.rcStartButton.top,
                                layout.rcStartButton.right + 1, layout.rcStartButton.bottom + 1})
                    .empty());

    const auto inkIn = [&](const platform::Rect& r) {
        return test::inkOf(s, {r.left, r.top, r.right + 2, r.bottom + 2}).size();
    };
    EXPECT_GT(inkIn(layout.rcLengthSelector), 0u);
    EXPECT_GT(inkIn(layout.rcNoiseSelector), 0u);
    EXPECT_EQ(inkIn(layout.rcLostSelector), 0u);  // whole pulses: no lost-data selector
    const int32_t lh = layout.nLineHeight;
    EXPECT_EQ(layout.rcLengthItems[2].top,
              layout.rcLengthSelector.top + lh / 2 + lh + 2 * (lh + lh / 2));
}

TEST(Workbench, CutOffSeriesShowTheLostDataSelector) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    open.workbench.state().wSeriesType = SeriesCode::UnfixedCutoff;
    open.paint();
    const WindowLayout& layout = open.workbench.layout();
    const platform::Rect& r = layout.rcLostSelector;
    EXPECT_GT(
        test::inkOf(open.window->surface(), {r.left, r.top, r.right + 2, r.bottom + 2}).size(), 0u);
    EXPECT_GT(layout.rcLostItems[0].bottom, layout.rcLostItems[0].top);
}

TEST(Workbench, DetectionLeavesOutTheToggleButton) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    AppState& state = open.workbench.state();
    state.wTaskType = state.wEffectiveTask = TaskCode::Detection;
    open.paint();
    const WindowLayout& layout = open.workbench.layout();
    EXPECT_EQ(layout.rcStartButton.top, layout.rcStartButton1.top - 42);
    // Where the toggle would be there is only the (empty) start-button slot.
    EXPECT_TRUE(test::inkOf(open.window->surface(),
                            {layout.rcStartButton.left, layout.rcStartButton.top,
                             layout.rcStartButton.right + 1, layout.rcStartButton.bottom + 1})
                    .empty());
}

TEST(Workbench, AMissingBitmapEndsStartUpWithOneMessage) {
    for (const char* missing : kButtonBitmapNames) {
        test::RecordingSink sink;
        int loaded = 0;
        const BitmapLoader loader = [&](std::string_view name) -> std::optional<platform::Bitmap> {
            if (name == missing) return std::nullopt;
            ++loaded;
            return platform::loadBitmapResource(name);
        };
        EXPECT_EQ(runWorkbench(sink, loader), 0) << missing;
        ASSERT_EQ(sink.messages.size(), 1u) << missing;
        EXPECT_EQ(sink.last().text, std::string("No Bitmap <") + missing + ">");
        EXPECT_EQ(sink.last().caption, "Fatal Error");
    }
    // Loading stops at the first failure, in the order 103, 102, 101, 109, 108.
    test::RecordingSink sink;
    std::vector<std::string> asked;
    const BitmapLoader loader = [&](std::string_view name) -> std::optional<platform::Bitmap> {
        asked.emplace_back(name);
        if (name == "IDB_BITMAP5") return std::nullopt;
        return platform::loadBitmapResource(name);
    };
    Workbench workbench(sink, loader);
    EXPECT_EQ(Window::create(workbench, kWindowTitle, mainMenu()), nullptr);
    EXPECT_EQ(asked, (std::vector<std::string>{"ButtonStart", "ButtonExit", "IDB_BITMAP1",
                                               "IDB_BITMAP5"}));
    EXPECT_EQ(workbench.destroyCount(), 0);
    EXPECT_FALSE(workbench.state().bAlphabetReady);
}

// The restored-pulses panel shows exactly the curves of the restored pulses:
// every pixel they set on their own is set in the window too.
void expectRestoredPulsesDrawn(const platform::Surface& surface, const WindowLayout& layout,
                               const AppState& s) {
    const SeriesHeader& series = *s.lpSeriesHeader;
    const SeriesGraphGeometry g =
        seriesGraphGeometry(layout.rcGraph, layout.nLineHeight, false, s.wRequiredCount);
    const platform::Rect panel = g.panel(3);
    const int16_t a = seriesHalfRange(series.wAmplitude, series.wNoiseLevel).range;
    platform::Surface alone(surface.width(), surface.height());
    platform::DeviceContext dc(alone);
    DrawDetectedPulses(dc, panel, a, series);
    const auto curves = test::inkOf(alone);
    ASSERT_GT(curves.size(), 18u * 10);
    for (const auto& p : curves) {
        ASSERT_EQ(surface.pixel(p.x, p.y), alone.pixel(p.x, p.y)) << p.x << "," << p.y;
    }
}

TEST(Workbench, StartButtonProcessesANewSeriesAndShowsTheResultsView) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    open.paint();
    const WindowLayout& layout = open.workbench.layout();
    const platform::Rect start = layout.rcStartButton1;
    open.workbench.onMouseDown(*open.window, static_cast<int16_t>(start.left + 70),
                               static_cast<int16_t>(start.top + 16), platform::kMouseLeft);
    EXPECT_TRUE(open.sink.empty());

    const AppState& s = open.workbench.state();
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(s.wMainView, MainView::SeriesGraph);
    EXPECT_EQ(s.wEffectiveTask, TaskCode::Recognition);
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseQuantity, 18);
    EXPECT_EQ(s.lpSeriesHeader->wNoiseLevel, 20);
    EXPECT_NE(s.lpSeriesHeader->lpNoisyData, s.lpSeriesHeader->lpPureData);
    ASSERT_NE(s.lpChainsHeader, nullptr);
    EXPECT_EQ(s.lpChainsHeader->wEffectiveTask, TaskCode::Recognition);
    EXPECT_EQ(s.lpChainsHeader->wSeriesType, SeriesCode::FixedWhole);

    // Recognition restored every pulse of the series, as the etalon it is made of.
    const SeriesHeader& series = *s.lpSeriesHeader;
    const int16_t etalon = series.lpEtalons[0];
    ASSERT_EQ(series.wRestoredQuantity, 18);
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(series.lpEtalons[i], etalon);
        EXPECT_EQ(series.lpRestoredEtalons[i], etalon) << i;
        EXPECT_LE(std::abs(series.lpRestoredPositions[i] - series.lpPositions[i]), 2) << i;
    }
    // The best chain heads the results record.
    ASSERT_GE(s.lpChainsHeader->wPretenders, 1);
    EXPECT_EQ(s.lpChainsHeader->pulsesQuantity(0), 18);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(s.lpChainsHeader->pulsesList(0)[i], etalon) << i;

    // The repaint it asked for covers the button column: the results view's
    // "ButtonStart" appears there.
    open.window->paint();
    expectRestoredPulsesDrawn(open.window->surface(), layout, s);
    const auto& bitmap = *open.workbench.bitmap(kBmpStart);
    const platform::Surface& surface = open.window->surface();
    for (auto [x, y] : {std::pair{0, 0}, {70, 16}, {143, 31}}) {
        EXPECT_EQ(surface.pixel(layout.rcStartButton.left + x, layout.rcStartButton.top + y),
                  platform::Surface::unpack(bitmap.pixels[y * 144 + x]));
    }
}

TEST(Workbench, MenuChoicesReachTheCommands) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    open.window->chooseMenuItem(kCmdUnfixedCutoff);
    EXPECT_TRUE(open.window->isMenuItemChecked(kCmdUnfixedCutoff));
    EXPECT_FALSE(open.window->isMenuItemChecked(kCmdFixedWhole));
    open.window->chooseMenuItem(kCmdDetection);
    EXPECT_TRUE(open.window->isMenuItemChecked(kCmdDetection));
    EXPECT_FALSE(open.window->isMenuItemChecked(kCmdRecognition));
    EXPECT_EQ(open.workbench.state().wSeriesType, SeriesCode::UnfixedCutoff);
    EXPECT_EQ(open.workbench.state().wRequiredCount, 1);
}

TEST(Workbench, F5ProcessesTheNextData) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    open.paint();
    open.workbench.onKeyDown(*open.window, kVkF5);
    EXPECT_EQ(open.workbench.state().nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(open.workbench.state().lpChainsHeader->wEffectiveTask, TaskCode::Recognition);
    EXPECT_TRUE(open.sink.empty());
}

TEST(Workbench, MenuShowsF5AndGreysTheStatisticsUntilASimulation) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    const auto find = [](const std::vector<MenuEntry>& entries, uint16_t id,
                         auto& self) -> const MenuEntry* {
        for (const MenuEntry& e : entries) {
            if (e.kind == MenuEntry::Kind::Item && e.id == id) return &e;
            if (const MenuEntry* inner = self(e.entries, id, self)) return inner;
        }
        return nullptr;
    };
    const std::vector<MenuEntry> menu = open.window->menu();
    const MenuEntry* next = find(menu, kCmdNextData, find);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->text, " Processing Next Data ");
    EXPECT_EQ(next->shortcut, "F5");
    EXPECT_FALSE(open.window->isMenuItemEnabled(kCmdShowStatSimulation));
    EXPECT_TRUE(open.window->isMenuItemEnabled(kCmdStatSimulation));
}

TEST(Workbench, ClosingFreesEveryRecordOnce) {
    OpenWorkbench open;
    ASSERT_NE(open.window, nullptr);
    open.paint();
    open.window->sendCommand(kCmdExit);
    EXPECT_TRUE(open.window->isDestroyed());
    EXPECT_EQ(open.workbench.destroyCount(), 1);
    const AppState& s = open.workbench.state();
    for (const PulseHeader& etalon : s.alphabet)
        EXPECT_FALSE(etalon.hasData());
    EXPECT_TRUE(s.lpRequiredList.empty());
    EXPECT_TRUE(s.lpEtalonSequence.empty());
    EXPECT_TRUE(s.lpEditedSequence.empty());
    EXPECT_EQ(s.lpSeriesHeader, nullptr);
    EXPECT_EQ(s.lpChainsHeader, nullptr);
    for (int i = 0; i < kButtonBitmaps; ++i) {
        EXPECT_FALSE(open.workbench.bitmap(static_cast<ButtonBitmap>(i)).has_value());
    }
    open.window->sendCommand(kCmdClose);
    open.window->close();
    EXPECT_EQ(open.workbench.destroyCount(), 1);
    EXPECT_TRUE(open.sink.empty());
}

}  // namespace
}  // namespace etalon
