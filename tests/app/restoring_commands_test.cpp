// The restoring commands through the stand-in host: which procedure the task
// and series type call for, what reaches it, and a restoration undone whole.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/command_checks.h"
#include "app/command_handler.h"
#include "app/main_menu.h"
#include "base/memory_budget.h"
#include "series/subsets.h"
#include "support/command_rig.h"
#include "support/state_difference.h"

namespace etalon {
namespace {

using test::CommandRig;
using test::Ids;
using test::raisedGraph;

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

}  // namespace
}  // namespace etalon
