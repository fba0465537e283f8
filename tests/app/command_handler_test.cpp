#include "app/command_handler.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_menu.h"
#include "base/memory_budget.h"
#include "dialogs/settings_dialogs.h"
#include "series/subsets.h"
#include "support/command_rig.h"
#include "support/state_difference.h"

namespace etalon {
namespace {

using platform::kIdCancel;
using platform::kIdOk;
using platform::Rect;
using test::CommandRig;
using test::selectorArea;
using test::typeAndPress;

using Ids = std::vector<uint16_t>;

// The graph rectangle with the header above it and the frame drawn one pixel past it.
Rect raisedGraph(const WindowLayout& layout) {
    const Rect& g = layout.rcGraph;
    return {g.left, g.top - 10, g.right + 2, g.bottom + 2};
}

Rect widenedCell(const WindowLayout& layout, int etalon) {
    const Rect& c = layout.rcCells[etalon - 1];
    return {c.left - 1, c.top - 1, c.right + 3, c.bottom + 3};
}

void setWorkingSet(AppState& state, std::initializer_list<int> etalons) {
    std::fill(state.selectedFlags.begin(), state.selectedFlags.end(), int16_t{0});
    for (int k : etalons)
        state.selectedFlags[k] = 1;
    rebuildRequiredList(state);
}

std::vector<uint16_t> workingSetOf(const AppState& state) {
    return {state.lpRequiredList.begin(), state.lpRequiredList.begin() + state.wRequiredCount};
}

TEST(Commands, NextDataMakesNoisesProcessesAndRepaintsAsOneChain) {
    CommandRig b;
    const std::vector<int16_t> pureBefore = b.state.lpSeriesHeader->lpPureData;
    b.command(kCmdNextData);

    EXPECT_EQ(b.host.sent, (Ids{kCmdNextData, kCmdNextSeries, kCmdNewGeometry, kCmdMakeSeries,
                                kCmdAddNoise, kCmdProcess, kCmdResultsRepaint}));
    EXPECT_TRUE(b.sink.empty());
    ASSERT_EQ(b.calls.size(), 1u);
    EXPECT_EQ(b.calls[0].procedure, "recognizeKnownNumberChain");
    std::vector<int32_t> all(20);
    for (int k = 0; k < 20; ++k)
        all[k] = k + 1;
    EXPECT_EQ(b.calls[0].etalons, all);
    EXPECT_EQ(b.calls[0].tmin, 40);
    EXPECT_EQ(b.calls[0].tmax, 181);
    EXPECT_EQ(b.calls[0].level, 100);

    const AppState& s = b.state;
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(s.wMainView, MainView::SeriesGraph);
    EXPECT_EQ(s.wEffectiveTask, TaskCode::Recognition);
    // The first draw from rand() is 41: (41 div 8) mod 20 = 5 picks etalon 6,
    // and recognition repeats the first etalon through the whole sequence.
    EXPECT_EQ(s.lpEtalonSequence, std::vector<uint16_t>(30, 6));
    CrtRandom fresh;
    for (int i = 0; i < 30; ++i)
        fresh.next();
    EXPECT_EQ(s.crtRandom.state(), fresh.state());
    ASSERT_NE(s.lpSeriesHeader, nullptr);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseQuantity, 18);
    EXPECT_EQ(s.lpSeriesHeader->wNoiseLevel, 20);
    EXPECT_NE(s.lpSeriesHeader->lpNoisyData, s.lpSeriesHeader->lpPureData);
    EXPECT_NE(s.lpSeriesHeader->lpPureData, pureBefore);
    ASSERT_NE(s.lpChainsHeader, nullptr);
    EXPECT_EQ(s.lpChainsHeader->wEffectiveTask, TaskCode::Recognition);
    EXPECT_EQ(s.lpChainsHeader->wSeriesType, SeriesCode::FixedWhole);
    EXPECT_EQ(s.lpChainsHeader->wProcessingLevel, 100);
    // Only the graph area, raised by 10 pixels for the header lines, is repainted.
    ASSERT_EQ(b.host.invalidations.size(), 1u);
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));
}

TEST(Commands, ProcessingDispatchesOnTaskAndSeriesType) {
    struct Case {
        TaskCode task;
        uint16_t type;
        const char* procedure;
    };
    const Case cases[] = {
        {TaskCode::Recognition, 1, "recognizeKnownNumberChain"},
        {TaskCode::Recognition, 2, "recognizeKnownNumberChain"},
        {TaskCode::Recognition, 16, "recognizeKnownNumberChain"},
        {TaskCode::Recognition, 4, "recognizeUnknownNumberChain"},
        {TaskCode::Recognition, 8, "recognizeUnknownNumberChain"},
        {TaskCode::Detection, 1, "detectKnownNumberChain"},
        {TaskCode::Detection, 32, "detectKnownNumberChain"},
        {TaskCode::Detection, 4, "detectUnknownNumberChain"},
        {TaskCode::Joint, 8, "detectUnknownNumberChain"},
        {TaskCode::Joint, 40, "detectKnownNumberChain"},
        {TaskCode::SeriesProcessing, 36, "detectKnownNumberChain"},
        {TaskCode::SeriesProcessing, 2, "detectKnownNumberChain"},
        {TaskCode::Detection, 36, "detectKnownNumberTuples"},
        {TaskCode::Detection, 40, "TuplesDetection"},
        {TaskCode::Recognition, 36, "recognizeKnownNumberTuples"},
        {TaskCode::Recognition, 40, "TuplesRecognition"},
    };
    for (const Case& c : cases) {
        CommandRig b;
        SubsetPanelState& panel = b.state.subsetPanel;
        panel.selectedSubset = {3, 4};
        panel.selectionCount = 2;
        panel.reservedSubsets[0] = {5, 6, 7};
        panel.selectedSubsetArraySize[0] = 3;
        panel.reservedSubsets[1] = {8};
        panel.selectedSubsetArraySize[1] = 1;
        panel.reservedCount = 2;
        b.state.wTaskType = c.task;
        b.state.wSeriesType = SeriesCode{c.type};
        b.state.wEffectiveTask = effectiveTask(c.task, SeriesCode{c.type});
        b.command(kCmdSameData);
        ASSERT_EQ(b.calls.size(), 1u) << c.task << " " << c.type;
        EXPECT_EQ(b.calls[0].procedure, c.procedure) << c.task << " " << c.type;
        EXPECT_EQ(b.host.sent, (Ids{kCmdSameData, kCmdProcess, kCmdResultsRepaint}));
        if (b.state.wEffectiveTask == TaskCode::TuplesDetection) {
            EXPECT_EQ(b.calls[0].etalons, (std::vector<int32_t>{3, 4}));
        }
        if (b.state.wEffectiveTask == TaskCode::TuplesRecognition) {
            EXPECT_EQ(b.calls[0].tuples, 2u);
            EXPECT_EQ(b.calls[0].etalons, (std::vector<int32_t>{5, 6, 7, 8}));
        }
        EXPECT_EQ(b.state.lpChainsHeader->wEffectiveTask, b.state.wEffectiveTask);
        EXPECT_EQ(b.state.nDisplayMode, DisplayMode::Results);
    }
    // A task chosen for tuples stays when the series type changes afterwards.
    CommandRig b;
    b.state.subsetPanel.selectedSubset = {2};
    b.state.subsetPanel.selectionCount = 1;
    b.state.wEffectiveTask = TaskCode::TuplesDetection;
    b.state.wSeriesType = SeriesCode::UnfixedWhole;
    b.command(kCmdMoreDetails);
    EXPECT_EQ(b.procedureNames(), (std::vector<std::string>{"TuplesDetection"}));
}

TEST(Commands, EveryTaskAndSeriesTypeRunsThroughTheRestoringProcedures) {
    for (TaskCode task : {TaskCode::Detection, TaskCode::Recognition, TaskCode::Joint,
                          TaskCode::SeriesProcessing}) {
        for (uint16_t type : {1, 2, 4, 8, 36, 40}) {
            CommandRig b;
            b.procedures = workbenchRestoringProcedures();
            SubsetPanelState& panel = b.state.subsetPanel;
            panel.selectedSubset = {3, 4};
            panel.selectionCount = 2;
            panel.reservedSubsets[0] = {3, 4};
            panel.selectedSubsetArraySize[0] = 2;
            panel.reservedSubsets[1] = {5};
            panel.selectedSubsetArraySize[1] = 1;
            panel.reservedCount = 2;
            panel.pickedReserved = 1;
            setSelectedSubset(std::span<const int32_t>(panel.selectedSubset.data(), 2),
                              b.state.wSubsetEmployment, b.state.wSubsetInitPosition,
                              b.state.lpSeriesHeader.get());
            b.state.wTaskType = task;
            b.state.wSeriesType = SeriesCode{type};
            b.command(kCmdNextData);
            EXPECT_EQ(b.host.sent,
                      (Ids{kCmdNextData, kCmdNextSeries, kCmdNewGeometry, kCmdMakeSeries,
                           kCmdAddNoise, kCmdProcess, kCmdResultsRepaint}))
                << task << " " << type;
            EXPECT_TRUE(b.sink.empty()) << task << " " << type << " " << b.sink.last().text;
            EXPECT_EQ(b.state.nDisplayMode, DisplayMode::Results);
            EXPECT_EQ(b.state.lpChainsHeader->wEffectiveTask,
                      effectiveTask(task, SeriesCode{type}));
            EXPECT_GE(b.state.lpChainsHeader->wPretenders, 1) << task << " " << type;
        }
    }
}

// The panel's selection reaches tuples detection whole, however few pulses
// the series holds.
TEST(Commands, TuplesDetectionGetsTheWholeSelection) {
    CommandRig b;
    SubsetPanelState& panel = b.state.subsetPanel;
    panel.selectedSubset = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    panel.selectionCount = 10;
    b.state.lpSeriesHeader->wMaxPulses = 2;
    b.state.wSeriesType = SeriesCode::FixedTuples;
    b.state.wEffectiveTask = TaskCode::TuplesDetection;
    b.command(kCmdSameData);
    ASSERT_EQ(b.calls.size(), 1u);
    EXPECT_EQ(b.calls[0].etalons, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(Commands, TuplesWithoutASubsetOpenTheSubsetPanelInstead) {
    CommandRig b;
    b.state.wSeriesType = SeriesCode::FixedTuples;
    b.state.wEffectiveTask = TaskCode::TuplesDetection;
    b.command(kCmdSameData);
    EXPECT_EQ(b.host.sent, (Ids{kCmdSameData, kCmdProcess, kCmdSelectPulses}));
    EXPECT_TRUE(b.calls.empty());
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    EXPECT_EQ(b.state.lpChainsHeader->wEffectiveTask, TaskCode{0});  // nothing recorded
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));

    // Recognition of tuples with a selection but nothing reserved opens the
    // panel and still runs, on no candidates.
    CommandRig r;
    r.state.wSeriesType = SeriesCode::UnfixedTuples;
    r.state.wEffectiveTask = TaskCode::TuplesRecognition;
    r.state.subsetPanel.selectedSubset = {1, 2};
    r.state.subsetPanel.selectionCount = 2;
    r.command(kCmdSameData);
    EXPECT_EQ(r.host.sent, (Ids{kCmdSameData, kCmdProcess, kCmdSelectPulses, kCmdResultsRepaint}));
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0].tuples, 0u);
    EXPECT_EQ(r.state.nDisplayMode, DisplayMode::Results);
}

TEST(Commands, RepeatRecognitionOnATuplesSeriesRecognisesTuples) {
    CommandRig b;
    b.command(kCmdUnfixedTuples);
    b.state.subsetPanel.selectedSubset = {4, 9};
    b.state.subsetPanel.selectionCount = 2;
    b.state.subsetPanel.reservedSubsets[0] = {4, 9};
    b.state.subsetPanel.selectedSubsetArraySize[0] = 2;
    b.state.subsetPanel.reservedCount = 1;
    b.state.wTaskType = TaskCode::Detection;
    b.host.clear();
    b.command(kCmdRepeatRecognition);
    EXPECT_EQ(b.state.wTaskType, TaskCode::Recognition);
    EXPECT_EQ(b.state.wEffectiveTask, TaskCode::TuplesRecognition);
    EXPECT_EQ(b.procedureNames(), (std::vector<std::string>{"TuplesRecognition"}));
    // The Repeat commands leave the task check marks alone.
    EXPECT_FALSE(b.host.checks.contains(kCmdRecognition));
}

TEST(Commands, SeriesTypesMoveTheCheckMarkAndResetLevelsOnlyForWholePulses) {
    CommandRig b;
    b.state.nLostIndex = 2;
    b.state.wNewLostLevel = b.state.wLostLevel = 25;
    b.state.wMakingLevel = b.state.wNewMakingLevel = 75;
    b.command(kCmdUnfixedCutoff);
    EXPECT_EQ(b.state.wSeriesType, SeriesCode::UnfixedCutoff);
    for (uint16_t id :
         {kCmdFixedWhole, kCmdUnfixedWhole, kCmdFixedCutoff, kCmdFixedTuples, kCmdUnfixedTuples})
        EXPECT_FALSE(b.host.checks.at(id)) << id;
    EXPECT_TRUE(b.host.checks.at(kCmdUnfixedCutoff));
    EXPECT_EQ(b.state.nLostIndex, 2);
    EXPECT_EQ(b.state.wLostLevel, 25);
    EXPECT_EQ(b.state.wMakingLevel, 75);
    EXPECT_EQ(b.host.sent, (Ids{kCmdUnfixedCutoff}));  // nothing generated

    b.command(kCmdUnfixedTuples);
    EXPECT_EQ(b.state.wSeriesType, SeriesCode::UnfixedTuples);
    EXPECT_TRUE(b.host.checks.at(kCmdUnfixedTuples));
    EXPECT_FALSE(b.host.checks.at(kCmdUnfixedCutoff));
    EXPECT_EQ(b.state.nLostIndex, 1);
    EXPECT_EQ(b.state.wLostLevel, 0);
    EXPECT_EQ(b.state.wNewLostLevel, 0);
    for (uint16_t level :
         {b.state.wMakingLevel, b.state.wNewMakingLevel, b.state.wProcessingLevel,
          b.state.wNewProcessingLevel, b.state.wDlgMakingLevel, b.state.wDlgProcessingLevel}) {
        EXPECT_EQ(level, 100);
    }
}

TEST(Commands, TaskTypesMoveTheCheckMarkAndDetectionKeepsOneEtalon) {
    CommandRig b;
    setWorkingSet(b.state, {3, 5, 7});
    b.state.nSelectedEtalon = 5;
    b.command(kCmdDetection);
    EXPECT_EQ(b.state.wTaskType, TaskCode::Detection);
    EXPECT_EQ(b.state.wEffectiveTask, TaskCode::Detection);
    EXPECT_EQ(workingSetOf(b.state), (std::vector<uint16_t>{5}));
    EXPECT_TRUE(b.host.checks.at(kCmdDetection));
    for (uint16_t id : {kCmdRecognition, kCmdJointDetection, kCmdSeriesProcessing})
        EXPECT_FALSE(b.host.checks.at(id));

    // On a tuples series Detection only changes the effective task.
    CommandRig t;
    t.state.wSeriesType = SeriesCode::FixedTuples;
    setWorkingSet(t.state, {3, 5, 7});
    t.command(kCmdDetection);
    EXPECT_EQ(t.state.wEffectiveTask, TaskCode::TuplesDetection);
    EXPECT_EQ(workingSetOf(t.state), (std::vector<uint16_t>{3, 5, 7}));
    t.command(kCmdRecognition);
    EXPECT_EQ(t.state.wEffectiveTask, TaskCode::TuplesRecognition);
    EXPECT_EQ(workingSetOf(t.state), (std::vector<uint16_t>{3, 5, 7}));
    EXPECT_TRUE(t.host.checks.at(kCmdRecognition));
    EXPECT_FALSE(t.host.checks.at(kCmdDetection));

    t.state.wMainView = MainView::Statistics;
    t.command(kCmdSeriesProcessing);
    EXPECT_EQ(t.state.wEffectiveTask, TaskCode::SeriesProcessing);
    EXPECT_EQ(t.state.wMainView, MainView::SeriesGraph);
    EXPECT_EQ(t.host.sent.back(), kCmdNothing);
    t.command(kCmdJointDetection);
    EXPECT_EQ(t.state.wEffectiveTask, TaskCode::Joint);
    EXPECT_TRUE(t.host.checks.at(kCmdJointDetection));
    EXPECT_FALSE(t.host.checks.at(kCmdSeriesProcessing));
}

TEST(Commands, CreateSeriesAppliesBothDialogsAndRunsTheChain) {
    CommandRig b;
    b.host.scripts[105] = typeAndPress(
        {{1000, "600"}, {1001, "30"}, {1003, "100"}, {1004, "3"}, {1005, "90"}, {1006, "80"}},
        kIdOk);
    b.host.scripts[106] = typeAndPress({{1007, "10"}, {1010, "3,5,7"}, {1011, "35"}}, kIdOk);
    b.command(kCmdCreateSeries);

    EXPECT_EQ(b.host.dialogs, (std::vector<int>{105, 106}));
    // Bounds from the typed geometry: (600 + 19) div 100 = 6, (600 - 20 + 30) div 30 = 20.
    const auto& shown = b.host.shown.at(106);
    EXPECT_EQ(shown.text(1008), "Number of Pulses in Series (from 6 to 20)");
    EXPECT_EQ(shown.text(1007), "10");  // as typed; 13 was offered
    EXPECT_EQ(b.host.sent, (Ids{kCmdCreateSeries, kCmdSeriesParameters, kCmdMakeSeries,
                                kCmdAddNoise, kCmdProcess, kCmdResultsRepaint}));
    EXPECT_TRUE(b.sink.empty());

    const AppState& s = b.state;
    EXPECT_EQ(s.dwSeriesLength, 600u);
    EXPECT_EQ(s.wTmin, 30);
    EXPECT_EQ(s.wTmax, 100);
    EXPECT_EQ(s.nDefaultEtalon, 3);
    EXPECT_EQ(s.nSelectedEtalon, 3);
    EXPECT_EQ(s.wMakingLevel, 90);
    EXPECT_EQ(s.wProcessingLevel, 80);
    EXPECT_EQ(s.wRequestedPulses, 10);
    EXPECT_EQ(s.wSeriesPulses, 10);
    EXPECT_EQ(s.wNoiseLevel, 35);
    EXPECT_EQ(s.wMinPulses, 6);
    EXPECT_EQ(s.wMaxPulses, 20);
    EXPECT_EQ(s.wSeriesType, SeriesCode::CreatedFixed);
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    // The typed sequence ends after three numbers; beyond the 13 shown entries
    // the old sequence stays (the generator turns the zeros into etalon 1).
    EXPECT_EQ(std::vector<uint16_t>(s.lpEtalonSequence.begin(), s.lpEtalonSequence.begin() + 3),
              (std::vector<uint16_t>{3, 5, 7}));
    EXPECT_EQ(s.lpEtalonSequence.size(), 30u);
    EXPECT_EQ(s.lpEtalonSequence[13], 1);
    EXPECT_EQ(s.lpEtalonSequence[29], 1);
    EXPECT_EQ(s.lpSeriesHeader->dwSeriesSize, 600u);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseQuantity, 10);
    ASSERT_EQ(b.calls.size(), 1u);
    EXPECT_EQ(b.calls[0].tmin, 30);
    EXPECT_EQ(b.calls[0].level, 80);
    // The three selectors show new values: each is repainted, and the flags cleared.
    EXPECT_TRUE(b.host.invalidated(selectorArea(b.layout, b.layout.rcLengthSelector), true));
    EXPECT_TRUE(b.host.invalidated(selectorArea(b.layout, b.layout.rcNoiseSelector), true));
    EXPECT_TRUE(b.host.invalidated(selectorArea(b.layout, b.layout.rcLostSelector), true));
    EXPECT_EQ(s.bRepaintLength + s.bRepaintNoise + s.bRepaintLost, 0);

    // " Fixed case" brings the series type back to 1 and runs a new series.
    b.host.clear();
    b.command(kCmdFixedCase);
    EXPECT_EQ(b.state.wSeriesType, SeriesCode::FixedWhole);
    EXPECT_EQ(b.host.sent, (Ids{kCmdFixedCase, kCmdNextSeries, kCmdNewGeometry, kCmdMakeSeries,
                                kCmdAddNoise, kCmdProcess, kCmdResultsRepaint}));
}

TEST(Commands, CreateSeriesCancelledLeavesTheGeometryAlone) {
    CommandRig b;
    b.host.scripts[105] = typeAndPress({{1001, "30"}, {1003, "100"}, {1004, "3"}}, kIdOk);
    b.host.scripts[106] = typeAndPress({{1007, "10"}, {1010, "3,5,7"}}, kIdCancel);
    b.command(kCmdCreateSeries);
    EXPECT_EQ(b.host.sent, (Ids{kCmdCreateSeries, kCmdSeriesParameters}));
    const AppState& s = b.state;
    EXPECT_EQ(s.wRequestedPulses, 18);
    EXPECT_EQ(s.wTmin, 40);
    EXPECT_EQ(s.wTmax, 181);
    EXPECT_EQ(s.lpEtalonSequence, std::vector<uint16_t>(30, 1));
    EXPECT_EQ(s.nDefaultEtalon, 3);  // stored by the first dialog at once
    EXPECT_EQ(s.nSelectedEtalon, 1);
    EXPECT_EQ(s.nDisplayMode, DisplayMode::AlphabetGrid);
    EXPECT_EQ(s.bDialogAccepted, 0);

    CommandRig c;
    c.host.scripts[105] = typeAndPress({{1004, "3"}}, kIdCancel);
    c.command(kCmdCreateSeries);
    EXPECT_EQ(c.host.dialogs, (std::vector<int>{105}));
    EXPECT_EQ(c.state.nDefaultEtalon, 1);
}

TEST(Commands, SeriesParametersRepairAnEmptyWorkingSetFirst) {
    CommandRig b;
    setWorkingSet(b.state, {});
    b.state.nSelectedEtalon = 9;
    b.host.scripts[105] = typeAndPress({}, kIdCancel);
    b.command(kCmdSeriesParameters);
    EXPECT_EQ(workingSetOf(b.state), (std::vector<uint16_t>{1}));
    EXPECT_EQ(b.state.nSelectedEtalon, 1);
    EXPECT_EQ(b.host.shown.at(105).text(1004), "1");

    CommandRig c;
    setWorkingSet(c.state, {4, 12});
    c.state.nSelectedEtalon = 2;
    c.host.scripts[105] = typeAndPress({}, kIdCancel);
    c.command(kCmdSeriesParameters);
    EXPECT_EQ(c.state.nSelectedEtalon, 4);
}

TEST(Commands, NewPulsesReadsTheListAndRepairsNumbersThatNameNoEtalon) {
    CommandRig b;
    b.host.scripts[107] = typeAndPress({{1014, "6"}, {1013, "2,2,9,17,25,0"}}, kIdOk);
    b.command(kCmdNewPulses);
    EXPECT_EQ(b.host.dialogs, (std::vector<int>{107}));
    EXPECT_EQ(b.host.shown.at(107).text(1012), "List of Required Etalons (from 1 to 20)");
    EXPECT_EQ(workingSetOf(b.state), (std::vector<uint16_t>{2, 2, 9, 17, 5, 6}));
    for (int k = 1; k <= 20; ++k) {
        const bool in = k == 2 || k == 5 || k == 6 || k == 9 || k == 17;
        EXPECT_EQ(b.state.selectedFlags[k], in ? 1 : 0) << k;
    }
    EXPECT_EQ(b.host.sent, (Ids{kCmdNewPulses}));  // nothing repainted

    // A count beyond the capacity keeps the old count.
    b.host.scripts[107] = typeAndPress({{1014, "25"}, {1013, "1,2,3,4,5,6,7"}}, kIdOk);
    b.command(kCmdNewPulses);
    EXPECT_EQ(workingSetOf(b.state), (std::vector<uint16_t>{1, 2, 3, 4, 5, 6}));
}

TEST(Commands, NextSeriesWithAnEmptyWorkingSetDoesNothing) {
    CommandRig b;
    setWorkingSet(b.state, {});
    SeriesHeader* before = b.state.lpSeriesHeader.get();
    const auto pure = before->lpPureData;
    b.command(kCmdNextData);
    EXPECT_EQ(b.host.sent, (Ids{kCmdNextData, kCmdNextSeries}));
    EXPECT_EQ(b.state.crtRandom.state(), 1u);
    EXPECT_EQ(b.state.lpSeriesHeader.get(), before);
    EXPECT_EQ(b.state.lpSeriesHeader->lpPureData, pure);
    EXPECT_TRUE(b.calls.empty());
    EXPECT_TRUE(b.sink.empty());
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::AlphabetGrid);
}

TEST(Commands, SequenceGrowsWhenMorePulsesFit) {
    CommandRig b;
    b.state.wTmin = 20;
    b.state.nDefaultEtalon = 4;
    b.command(kCmdSelectorPick);
    EXPECT_EQ(b.state.wMaxPulses, 60);  // (1200 - 20 + 20) div 20
    ASSERT_EQ(b.state.lpEtalonSequence.size(), 60u);
    EXPECT_EQ(b.state.lpEtalonSequence[29], 1);
    EXPECT_EQ(b.state.lpEtalonSequence[30], 4);
    EXPECT_EQ(b.state.wRequestedPulses, 33);  // (6 + 60) div 2
    EXPECT_TRUE(b.host.erasedWhole());

    // Joint detection keeps the drawn sequence as it is: every entry from the set.
    setWorkingSet(b.state, {2, 9, 14});
    b.state.wTaskType = TaskCode::Joint;
    b.state.wTmin = 10;  // 119 pulses now fit
    b.command(kCmdNextData);
    ASSERT_EQ(b.state.lpEtalonSequence.size(), 119u);
    CrtRandom random;
    const uint16_t set[] = {2, 9, 14};
    for (int i = 0; i < 119; ++i)
        EXPECT_EQ(b.state.lpEtalonSequence[i], set[(random.next() / 8) % 3]) << i;
    EXPECT_EQ(b.procedureNames(), (std::vector<std::string>{"detectKnownNumberChain"}));
}

TEST(Commands, FailuresStopTheChainWithTheirMessage) {
    CommandRig b;
    b.state.wSeriesType = SeriesCode::UnfixedWhole;
    b.state.wTmin = 100;  // at least 10 pulses needed, at most 2 fit
    b.state.wTmax = 20;
    b.command(kCmdNextData);
    EXPECT_EQ(b.host.sent, (Ids{kCmdNextData, kCmdNextSeries, kCmdNewGeometry, kCmdMakeSeries}));
    ASSERT_EQ(b.sink.messages.size(), 1u);
    EXPECT_EQ(b.sink.last().text, "Не могу создать ряд!");
    EXPECT_EQ(b.sink.last().caption, "CM_INFO");
    EXPECT_EQ(b.state.lpSeriesHeader, nullptr);
    // Processing the same data again has no series to work on.
    b.command(kCmdSameData);
    EXPECT_EQ(b.sink.messages.size(), 2u);
    EXPECT_TRUE(b.calls.empty());

    CommandRig c;
    c.state.lpChainsHeader.reset();
    c.command(kCmdSameData);
    ASSERT_FALSE(c.sink.empty());
    EXPECT_EQ(c.sink.last().text, "Ошибка addToChainsHeader!");
    EXPECT_EQ(c.sink.last().caption, " About ChainsHeader ");
    EXPECT_EQ(c.host.sent, (Ids{kCmdSameData, kCmdProcess}));
    EXPECT_EQ(c.state.nDisplayMode, DisplayMode::AlphabetGrid);
}

// A restoration runs behind a busy dialog. Cancelled, stopped by an
// exception or refused for memory, it undoes the whole input that led to it:
// the series made on the way, the streams, the settings taken over.
TEST(Commands, ACancelledFailedOrRefusedRestorationKeepsTheWholeState) {
    CommandRig b;
    b.procedures = workbenchRestoringProcedures();
    b.command(kCmdNextData);
    EXPECT_EQ(b.host.progressTotals, std::vector<uint32_t>{0});
    EXPECT_EQ(b.host.progressCaptions, std::vector<std::string>{" Processing "});
    b.state.wNewNoiseLevel = 50;  // taken over by the next series
    const AppState before = b.state;
    b.host.cancelAt = 0;
    for (uint16_t id : {kCmdNextData, kCmdSameData, kCmdRepeatDetection, kCmdFixedCase}) {
        SCOPED_TRACE(id);
        b.command(id);
        EXPECT_EQ(test::stateDifference(before, b.state), "");
    }
    b.pressIn(b.layout.rcStartButton1);
    EXPECT_EQ(test::stateDifference(before, b.state), "");
    EXPECT_TRUE(b.sink.empty());

    b.host.cancelAt.reset();
    b.procedures.recognizeKnownNumberChain = [](auto&&...) -> int {
        throw std::runtime_error("no lane left");
    };
    b.command(kCmdNextData);
    EXPECT_EQ(test::stateDifference(before, b.state), "");
    ASSERT_EQ(b.sink.messages.size(), 1u);
    EXPECT_EQ(b.sink.last().text, "The restoration stopped: no lane left");

    b.procedures = workbenchRestoringProcedures();
    setenv(kMemoryLimitVariable, "100K", 1);
    b.command(kCmdNextData);
    unsetenv(kMemoryLimitVariable);
    EXPECT_EQ(test::stateDifference(before, b.state), "");
    ASSERT_EQ(b.sink.messages.size(), 2u);
    EXPECT_NE(b.sink.last().text.find("Restoring the series needs "), std::string::npos);
    EXPECT_NE(b.sink.last().text.find("100 KB is the limit set by ETALON_MEMORY_LIMIT."),
              std::string::npos)
        << b.sink.last().text;

    b.command(kCmdNextData);
    EXPECT_EQ(b.state.wNoiseLevel, 50);
}

// " Show matched filter pulses": the matched filter restores a copy of the
// series at once for the series on screen, then after every restoration,
// never touching the exact result; off, there is no copy.
TEST(Commands, MatchedFilterPulsesComeFromACopyOfTheSeries) {
    CommandRig b;
    b.procedures = workbenchRestoringProcedures();
    b.command(kCmdNextData);
    const AppState exact = b.state;
    for (uint16_t id : {kCmdShowMatchedFilterPulses, kCmdNextData}) {
        b.command(id);
        const SeriesHeader* mf = b.state.lpBaselineSeriesHeader.get();
        ASSERT_NE(mf, nullptr);
        EXPECT_TRUE(std::ranges::equal(mf->noisyData(), b.state.lpSeriesHeader->noisyData()));
        EXPECT_EQ(mf->wRestoredQuantity, mf->wImpulseQuantity);  // a known count, taken whole
    }
    EXPECT_TRUE(b.host.checks.at(kCmdShowMatchedFilterPulses));
    b.state = exact;
    b.command(kCmdShowMatchedFilterPulses);
    EXPECT_EQ(test::stateDifference(exact, b.state), "lpBaselineSeriesHeader");
    b.command(kCmdShowMatchedFilterPulses);
    EXPECT_FALSE(b.host.checks.at(kCmdShowMatchedFilterPulses));
    EXPECT_EQ(b.state.lpBaselineSeriesHeader, nullptr);
}

TEST(Commands, RepaintsCoverWhatChanged) {
    CommandRig b;
    b.state.wEffectiveTask = TaskCode::Detection;
    b.state.nSelectedEtalon = 7;
    b.state.nPrevSelectedEtalon = 1;
    b.command(kCmdEtalonHighlight);
    EXPECT_EQ(b.host.invalidations.size(), 2u);
    EXPECT_TRUE(b.host.invalidated(widenedCell(b.layout, 7), true));
    EXPECT_TRUE(b.host.invalidated(widenedCell(b.layout, 1), true));
    EXPECT_EQ(widenedCell(b.layout, 1), (Rect{19, 19, 180, 179}));

    b.host.clear();
    b.state.wEffectiveTask = TaskCode::Recognition;
    b.command(kCmdEtalonHighlight);
    EXPECT_EQ(b.host.invalidations.size(), 2u);
    EXPECT_TRUE(b.host.invalidated(b.layout.rcToggleButton, true));

    b.host.clear();
    b.state.bRepaintButtons = 1;
    b.command(kCmdGridRepaint);
    const Rect& column = b.layout.rcButtonColumn;
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));
    EXPECT_TRUE(b.host.invalidated(b.layout.rcToggleButton, true));
    EXPECT_TRUE(
        b.host.invalidated({column.left, column.top, column.right + 1, column.bottom + 1}, true));
    EXPECT_EQ(b.state.bRepaintButtons, 0);

    b.host.clear();
    b.command(kCmdTypeMoreDetails);
    EXPECT_EQ(b.host.sent, (Ids{kCmdTypeMoreDetails, kCmdResultsRepaint}));
    EXPECT_EQ(b.state.bNoErase, 1);
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), false));

    b.host.clear();
    b.command(kCmdGraphOverlay);
    b.command(kCmdGraphRepaint);
    b.command(kCmdRepaintAll);
    EXPECT_EQ(b.host.invalidations.size(), 3u);
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), false));
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));
    EXPECT_TRUE(b.host.erasedWhole());

    b.host.clear();
    b.state.subsetPanel.selectionAreaRect = {5, 6, 7, 8};
    b.state.subsetPanel.possibleSubsetArrayRect[3][10] = {1, 2, 3, 4};
    b.command(kCmdReservedRowsRepaint);
    EXPECT_EQ(b.host.invalidations.size(), 11u);
    EXPECT_TRUE(b.host.invalidated({1, 2, 3, 4}, true));
    EXPECT_TRUE(b.host.invalidated({5, 6, 7, 8}, true));

    b.host.clear();
    b.command(kCmdSelectPulses);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));
}

TEST(Commands, ExitClosesAndInertCommandsDoNothing) {
    CommandRig b;
    b.command(kCmdExit);
    b.command(kCmdClose);
    EXPECT_EQ(b.host.closed, 2);
    b.host.clear();
    // Ids the menu and the chain keep without an effect.
    for (uint16_t id : {uint16_t{kCmdNothing}, uint16_t{217}, uint16_t{219}, uint16_t{220},
                        uint16_t{kCmdElseCreateSeries}})
        b.command(id);
    EXPECT_TRUE(b.host.invalidations.empty());
    EXPECT_TRUE(b.host.dialogs.empty());
    EXPECT_EQ(b.host.sent.size(), 5u);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::AlphabetGrid);
}

TEST(Commands, ViewSeriesParametersOpensTheParameterPanel) {
    CommandRig b;
    b.command(kCmdViewSeriesParameters);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::ParameterPanel);
    ASSERT_NE(b.state.lpParamsHeader, nullptr);
    EXPECT_EQ(b.state.lpParamsHeader->pulses, 18);
    EXPECT_EQ(b.host.edits[kParamEditId], "40");
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));

    // No series: no record, and the panel still opens.
    CommandRig none;
    none.state.lpSeriesHeader.reset();
    none.command(kCmdViewSeriesParameters);
    EXPECT_EQ(none.state.nDisplayMode, DisplayMode::ParameterPanel);
    EXPECT_EQ(none.state.lpParamsHeader, nullptr);
    EXPECT_TRUE(none.sink.empty());
}

TEST(Commands, SubsetSettingsHandTheSubsetsOverWithTheNewSettings) {
    for (uint16_t task : {uint16_t{kCmdDetection}, uint16_t{kCmdRecognition}}) {
        SCOPED_TRACE(task);
        CommandRig b;
        b.command(kCmdFixedTuples);
        b.command(task);
        SubsetPanelState& panel = b.state.subsetPanel;
        allocSubsetPanel(panel);
        appendSelected(panel, 3);
        appendSelected(panel, 5);
        const std::vector<int32_t> stored{7, 8, 9};
        panel.reservedCount =
            storeSubsetRow(stored, panel.selectedSubsetArraySize, panel.reservedSubsets, 0, 10);
        b.host.scripts[kDialogSubsetSettings] = [](test::FakeDialogContext& context,
                                                   const platform::DialogProcedure& procedure) {
            context.press(procedure, kRadioFirstEmployment + 1);
            context.press(procedure, kRadioShiftedComplete);
            context.press(procedure, kIdOk);
        };
        b.host.clear();
        b.command(kCmdSubsetSettings);
        EXPECT_EQ(b.host.dialogs, (std::vector<int>{kDialogSubsetSettings}));
        EXPECT_EQ(b.state.wSubsetEmployment, 2);
        EXPECT_EQ(b.state.wSubsetProceeding, 2);
        const SeriesHeader& series = *b.state.lpSeriesHeader;
        EXPECT_EQ(series.wSubsetEmployment, 2);
        if (task == kCmdRecognition) {
            EXPECT_EQ(series.wSubsets, 1);
            ASSERT_EQ(series.wSubsetLength, 3);
            EXPECT_EQ(series.lpSelectedSubset[0], 7);
        } else {
            ASSERT_EQ(series.wSubsetLength, 2);
            EXPECT_EQ(series.lpSelectedSubset[1], 5);
        }
        EXPECT_TRUE(b.host.invalidations.empty());
    }
}

TEST(Commands, DrawingSettingsChangeTheDisplaySettingsOnly) {
    CommandRig b;
    b.host.scripts[kDialogDrawingSettings] = [](test::FakeDialogContext& context,
                                                const platform::DialogProcedure& procedure) {
        context.setChecked(kCheckFrameGraphFields, false);
        context.press(procedure, kCheckFrameGraphFields);
        context.press(procedure, kRadioNoHighlight);
        context.press(procedure, kIdOk);
    };
    b.command(kCmdDrawingSettings);
    EXPECT_EQ(b.state.bFrameGraphFields, 0);
    EXPECT_EQ(b.state.wTuplesHighlight, TuplesHighlight::None);
    EXPECT_EQ(b.state.bShadedOriginalPulses, 1);
    EXPECT_TRUE(b.host.invalidations.empty());  // shown at the next repaint
}

// " Save image as..." saves the client area as it was when chosen, in the
// file the user names, and changes nothing in the window.
TEST(Commands, SaveImageWritesTheClientAreaToTheNamedFile) {
    CommandRig b;
    std::string folder = (std::filesystem::temp_directory_path() / "etalon-save-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    b.host.clientArea = {
        3, 2, {0xffffffff, 0xff102030, 0xffffffff, 0xff000000, 0xffffffff, 0xffa0b0c0}};
    b.host.saveChoice = SaveChoice{folder + "/shot", 0};
    b.command(kCmdSaveImage);
    EXPECT_EQ(b.host.captures, 1);
    EXPECT_EQ(b.host.saveCaptions,
              (std::vector<std::string>{"Snapshot File Name | Bitmap Files (*.bmp) | PCX Files "
                                        "(*.pcx) | PNG Files (*.png) | SVG Files (*.svg)"}));
    std::ifstream in(folder + "/shot.bmp", std::ios::binary);
    const std::vector<uint8_t> bmp{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(bmp.size(), 54u + 64);
    // Bottom-up rows of blue, green, red, zero.
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 54, bmp.begin() + 54 + 12),
              (std::vector<uint8_t>{0, 0, 0, 0, 0xff, 0xff, 0xff, 0, 0xc0, 0xb0, 0xa0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 66 + 4, bmp.begin() + 66 + 8),
              (std::vector<uint8_t>{0x30, 0x20, 0x10, 0}));
    EXPECT_TRUE(b.sink.empty());
    EXPECT_TRUE(b.host.invalidations.empty());
    EXPECT_TRUE(b.host.sent == Ids{kCmdSaveImage});

    // An ending no format has: a message, and no file.
    b.host.saveChoice = SaveChoice{folder + "/shot.gif", 0};
    b.command(kCmdSaveImage);
    ASSERT_EQ(b.sink.messages.size(), 1u);
    EXPECT_NE(b.sink.last().text.find(".png"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder + "/shot.gif"));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace etalon
