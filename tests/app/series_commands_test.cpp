// The series commands through the stand-in host: the working set, the task
// and series types, the two series dialogs and the chain from a new series
// to its repaint.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_checks.h"
#include "app/command_handler.h"
#include "app/main_menu.h"
#include "support/command_rig.h"

namespace etalon {
namespace {

using platform::kIdCancel;
using platform::kIdOk;
using test::CommandRig;
using test::Ids;
using test::raisedGraph;
using test::selectorArea;
using test::setWorkingSet;
using test::typeAndPress;
using test::workingSetOf;

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

}  // namespace
}  // namespace etalon
