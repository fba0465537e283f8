#include "app/presses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/main_menu.h"
#include "support/command_rig.h"

namespace etalon {
namespace {

using platform::Rect;
using test::CommandRig;
using test::selectorArea;

using Ids = std::vector<uint16_t>;
const Ids kChain = {kCmdNextSeries, kCmdNewGeometry, kCmdMakeSeries,
                    kCmdAddNoise,   kCmdProcess,     kCmdResultsRepaint};

std::vector<uint16_t> workingSetOf(const AppState& state) {
    return {state.lpRequiredList.begin(), state.lpRequiredList.begin() + state.wRequiredCount};
}

Rect widenedCell(const WindowLayout& layout, int etalon) {
    const Rect& c = layout.rcCells[etalon - 1];
    return {c.left - 1, c.top - 1, c.right + 3, c.bottom + 3};
}

TEST(Presses, DetectionCellMakesItsEtalonTheWorkingSet) {
    CommandRig b;
    b.command(kCmdDetection);
    b.layOut();
    b.host.clear();
    ASSERT_EQ(workingSetOf(b.state), (std::vector<uint16_t>{1}));
    b.pressIn(b.layout.rcCells[6]);
    EXPECT_EQ(workingSetOf(b.state), (std::vector<uint16_t>{7}));
    EXPECT_EQ(b.state.nSelectedEtalon, 7);
    EXPECT_EQ(b.state.nPrevSelectedEtalon, 1);
    EXPECT_EQ(b.state.bRepaintButtons, 1);
    EXPECT_EQ(b.host.sent, (Ids{kCmdEtalonHighlight}));
    EXPECT_TRUE(b.host.invalidated(widenedCell(b.layout, 7), true));
    EXPECT_TRUE(b.host.invalidated(widenedCell(b.layout, 1), true));
    // Every etalon has its cell, the last included.
    b.pressIn(b.layout.rcCells[19]);
    EXPECT_EQ(workingSetOf(b.state), (std::vector<uint16_t>{20}));
    // Between the cells nothing happens.
    b.host.clear();
    b.press(b.layout.rcCells[0].right + 5, b.layout.rcCells[0].top + 5);
    EXPECT_TRUE(b.host.sent.empty());
}

TEST(Presses, RecognitionCellsToggleAndAnEmptySetKeepsTheGrid) {
    CommandRig b;
    b.pressIn(b.layout.rcCells[2]);
    EXPECT_EQ(b.state.selectedFlags[3], 0);
    EXPECT_EQ(b.state.wRequiredCount, 19);
    EXPECT_EQ(b.state.nSelectedEtalon, 3);
    EXPECT_EQ(b.host.sent, (Ids{kCmdEtalonHighlight}));
    b.pressIn(b.layout.rcCells[2]);
    EXPECT_EQ(b.state.wRequiredCount, 20);

    // The toggle shows "deselect all" while most etalons are selected.
    b.layout.bFewSelected = 0;
    b.host.clear();
    b.pressIn(b.layout.rcToggleButton);
    EXPECT_EQ(b.state.wRequiredCount, 0);
    EXPECT_EQ(std::count(b.state.selectedFlags.begin(), b.state.selectedFlags.end(), 1), 0);
    EXPECT_EQ(b.host.sent, (Ids{kCmdGridRepaint}));

    b.host.clear();
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(b.host.sent, (Ids{kCmdNothing}));
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::AlphabetGrid);
    EXPECT_TRUE(b.calls.empty());

    b.layout.bFewSelected = 1;
    b.pressIn(b.layout.rcToggleButton);
    EXPECT_EQ(b.state.wRequiredCount, 20);
    EXPECT_EQ(b.state.lpRequiredList[19], 20);
}

TEST(Presses, StartButtonRunsANewSeriesAndTheOtherButtonGoesBack) {
    CommandRig b;
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(b.host.sent, kChain);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::Results);
    // Coming from the grid, the button column changes: it is repainted once.
    const Rect& column = b.layout.rcButtonColumn;
    EXPECT_TRUE(
        b.host.invalidated({column.left, column.top, column.right + 1, column.bottom + 1}, true));
    EXPECT_EQ(b.state.bRepaintButtons, 0);

    b.host.clear();
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(b.host.sent, kChain);
    EXPECT_EQ(b.calls.size(), 2u);

    b.host.clear();
    b.pressIn(b.layout.rcStartButton);
    EXPECT_EQ(b.host.sent, (Ids{kCmdGridRepaint}));
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::AlphabetGrid);

    b.host.clear();
    b.pressIn(b.layout.rcExitButton);
    EXPECT_EQ(b.host.sent, (Ids{kCmdClose}));
    EXPECT_EQ(b.host.closed, 1);
}

TEST(Presses, SelectorEntriesStartASeriesWithThePickedValues) {
    CommandRig b;
    b.pressIn(b.layout.rcLengthItems[1]);  // 600
    EXPECT_EQ(b.host.sent, kChain);
    const AppState& s = b.state;
    EXPECT_EQ(s.nSeriesLengthIndex, 2);
    EXPECT_EQ(s.dwSeriesLength, 600u);
    EXPECT_EQ(s.wSeriesPulses, 9);
    EXPECT_EQ(s.lpSeriesHeader->dwSeriesSize, 600u);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseQuantity, 9);
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    EXPECT_TRUE(b.host.invalidated(selectorArea(b.layout, b.layout.rcLengthSelector), true));
    EXPECT_FALSE(b.host.invalidated(selectorArea(b.layout, b.layout.rcNoiseSelector), true));

    b.host.clear();
    b.pressIn(b.layout.rcNoiseItems[2]);
    EXPECT_EQ(b.host.sent, kChain);
    EXPECT_EQ(s.nNoiseIndex, 3);
    EXPECT_EQ(s.wNoiseLevel, 50);
    EXPECT_TRUE(b.host.invalidated(selectorArea(b.layout, b.layout.rcNoiseSelector), true));

    // The lost-data selector answers only on cut-off series.
    b.host.clear();
    b.pressIn(b.layout.rcLostItems[2]);
    EXPECT_TRUE(b.host.sent.empty());
    b.command(kCmdFixedCutoff);
    b.host.clear();
    b.pressIn(b.layout.rcLostItems[2]);
    EXPECT_EQ(b.host.sent, kChain);
    EXPECT_EQ(s.nLostIndex, 3);
    EXPECT_EQ(s.wLostLevel, 50);
    EXPECT_EQ(s.wMakingLevel, 50);
    EXPECT_EQ(s.wProcessingLevel, 50);
    EXPECT_EQ(b.calls.back().level, 50);
}

TEST(Presses, WithAnEmptyWorkingSetSelectorsOnlyMove) {
    CommandRig b;
    b.layout.bFewSelected = 0;
    b.pressIn(b.layout.rcToggleButton);
    b.host.clear();
    b.pressIn(b.layout.rcNoiseItems[1]);
    EXPECT_EQ(b.host.sent, (Ids{kCmdSelectorPick}));
    EXPECT_EQ(b.state.nNoiseIndex, 2);
    EXPECT_EQ(b.state.wNewNoiseLevel, 35);
    EXPECT_EQ(b.state.wNoiseLevel, 20);
    EXPECT_TRUE(b.host.erasedWhole());
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::AlphabetGrid);
}

TEST(Presses, TuplesWithoutASubsetSwitchToTheSubsetPanel) {
    CommandRig b;
    b.command(kCmdFixedTuples);
    b.host.clear();
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(b.host.sent, (Ids{kCmdNothing}));
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);

    b.state.nDisplayMode = DisplayMode::Results;
    b.host.clear();
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(b.host.sent, (Ids{kCmdSelectPulses}));
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);

    b.state.nDisplayMode = DisplayMode::Results;
    b.host.clear();
    b.pressIn(b.layout.rcStartButton);
    EXPECT_EQ(b.host.sent, (Ids{kCmdSelectPulses}));

    b.state.nDisplayMode = DisplayMode::Results;
    b.host.clear();
    b.pressIn(b.layout.rcLengthItems[0]);
    EXPECT_EQ(b.host.sent, (Ids{kCmdSelectPulses}));
    EXPECT_EQ(b.state.nSeriesLengthIndex, 1);
    EXPECT_EQ(b.state.dwNewSeriesLength, 200u);
    EXPECT_TRUE(b.calls.empty());
}

TEST(Presses, TheSubsetPanelHandsItsSelectionOverBeforeARun) {
    CommandRig b;
    b.state.nDisplayMode = DisplayMode::SubsetPanel;
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(b.host.sent,
              (Ids{kCmdReservedRowsRepaint}));  // nothing selected: the panel is repainted
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);

    b.host.clear();
    b.state.subsetPanel.selectedSubset = {3, 8, 3};
    b.state.subsetPanel.selectionCount = 3;
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(b.host.sent, kChain);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(b.state.lpSeriesHeader->wSubsetLength, 3);

    // Recognition of tuples hands over the reserved subsets, or fails without.
    CommandRig t;
    t.command(kCmdUnfixedTuples);
    t.command(kCmdRecognition);
    t.state.nDisplayMode = DisplayMode::SubsetPanel;
    t.state.subsetPanel.selectedSubset = {2, 5};
    t.state.subsetPanel.selectionCount = 2;
    t.host.clear();
    t.pressIn(t.layout.rcNoiseItems[1]);
    EXPECT_EQ(t.host.sent, (Ids{kCmdReservedRowsRepaint}));
    t.state.subsetPanel.reservedSubsets[0] = {2, 5};
    t.state.subsetPanel.selectedSubsetArraySize[0] = 2;
    t.state.subsetPanel.reservedCount = 1;
    t.state.subsetPanel.pickedReserved = 1;
    t.host.clear();
    t.pressIn(t.layout.rcNoiseItems[1]);
    EXPECT_EQ(t.host.sent, kChain);
    EXPECT_EQ(t.state.lpSeriesHeader->wSubsets, 1);
    EXPECT_EQ(t.procedureNames(), (std::vector<std::string>{"TuplesRecognition"}));

    // In the results view, the listed reserved subsets pick the current one.
    t.state.subsetPanel.reservedSubsets[1] = {7};
    t.state.subsetPanel.selectedSubsetArraySize[1] = 1;
    t.state.subsetPanel.reservedCount = 2;
    t.state.subsetPanel.listedReservedRects[1] = {100, 100, 150, 110};
    t.host.clear();
    t.press(120, 105);
    EXPECT_EQ(t.state.subsetPanel.pickedReserved, 2);
    EXPECT_EQ(t.host.sent, kChain);
    EXPECT_EQ(t.state.lpSeriesHeader->wSubsets, 2);
}

}  // namespace
}  // namespace etalon
