#include "app/app_state.h"

#include <gtest/gtest.h>

#include "support/recording_sink.h"

namespace etalon {
namespace {

TEST(AppState, DerivedFormulas) {
    EXPECT_EQ(effectiveTask(kTaskDetection, kSeriesFixedTuples), kTaskTuplesDetection);
    EXPECT_EQ(effectiveTask(kTaskDetection, kSeriesUnfixedTuples), kTaskTuplesDetection);
    EXPECT_EQ(effectiveTask(kTaskRecognition, kSeriesUnfixedTuples), kTaskTuplesRecognition);
    EXPECT_EQ(effectiveTask(kTaskJoint, kSeriesFixedTuples), kTaskJoint);
    EXPECT_EQ(effectiveTask(kTaskDetection, kSeriesUnfixedCutoff), kTaskDetection);

    const PulseCountBounds b200 = pulseCountBounds(200, 20, 40, 181);
    EXPECT_EQ(b200.minPulses, 1);
    EXPECT_EQ(b200.maxPulses, 5);
    EXPECT_EQ(defaultPulseCount(b200), 3);
    EXPECT_EQ(defaultPulseCount(pulseCountBounds(600, 20, 40, 181)), 9);
    EXPECT_EQ(defaultPulseCount(pulseCountBounds(1200, 20, 40, 181)), 18);

    // Bounds belong to the recognition plots only.
    EXPECT_EQ(statPlotMode(1, 1, true), StatPlotMode::RestoredComponents);
    EXPECT_EQ(statPlotMode(2, 2, true), StatPlotMode::DetectionAggregate);
    EXPECT_EQ(statPlotMode(3, 1, false), StatPlotMode::RecognitionComponents);
    EXPECT_EQ(statPlotMode(3, 2, true), StatPlotMode::RecognitionAggregateBounds);

    EXPECT_STREQ(taskReportText(kTaskJoint), "joint detection and identification");
    EXPECT_EQ(taskReportText(kTaskSeriesProcessing), nullptr);
    EXPECT_STREQ(seriesTypeReportText(kSeriesUnfixedCutoff), "unknown number of cut-off pulses");
    EXPECT_EQ(seriesTypeReportText(kSeriesCreatedFixed), nullptr);
    EXPECT_TRUE(isCutoffSeries(2) && isCutoffSeries(8) && !isCutoffSeries(4));
    EXPECT_TRUE(isUnfixedSeries(40) && !isUnfixedSeries(36) && !isUnfixedSeries(32));
}

TEST(AppState, BeforeTheWindowAndAfterStartup) {
    AppState state;
    // Before window creation the lost-data entry is 2 and the levels follow it.
    EXPECT_EQ(state.nLostIndex, 2);
    EXPECT_EQ(state.wLostLevel, 25);
    EXPECT_EQ(state.wMakingLevel, 75);
    EXPECT_EQ(state.wProcessingLevel, 75);

    test::RecordingSink sink;
    createStartupState(state, sink);
    EXPECT_TRUE(sink.empty());
    EXPECT_EQ(state.bAlphabetReady, 1);
    EXPECT_EQ(state.nDisplayMode, DisplayMode::AlphabetGrid);
    EXPECT_EQ(state.wMainView, MainView::SeriesGraph);
    EXPECT_EQ(state.wSeriesType, kSeriesFixedWhole);
    EXPECT_EQ(state.wTaskType, kTaskRecognition);
    EXPECT_EQ(state.wEffectiveTask, kTaskRecognition);
    EXPECT_EQ(state.wRequiredCount, 20);
    for (int k = 1; k <= 20; ++k) {
        EXPECT_EQ(state.selectedFlags[k], 1);
        EXPECT_EQ(state.lpRequiredList[k - 1], k);
    }
    EXPECT_EQ(state.wMinPulses, 6);
    EXPECT_EQ(state.wMaxPulses, 30);
    EXPECT_EQ(state.wRequestedPulses, 18);
    EXPECT_EQ(state.wSeriesPulses, 18);
    EXPECT_EQ(state.lpEtalonSequence, std::vector<uint16_t>(30, 1));
    EXPECT_EQ(state.lpEditedSequence, std::vector<uint16_t>(30, 1));
    EXPECT_EQ(state.nLostIndex, 1);
    EXPECT_EQ(state.wLostLevel, 0);
    EXPECT_EQ(state.wMakingLevel, 100);
    EXPECT_EQ(state.wNewProcessingLevel, 100);
    EXPECT_EQ(state.wDlgMakingLevel, 100);
    ASSERT_TRUE(state.lpChainsHeader);
    EXPECT_EQ(state.lpChainsHeader->wMaxSize, 10);
    EXPECT_EQ(state.lpChainsHeader->wMaxPulses, 30);
    ASSERT_TRUE(state.lpSeriesHeader);
    EXPECT_EQ(state.lpSeriesHeader->wImpulseQuantity, 18);
    EXPECT_EQ(state.lpSeriesHeader->wNoiseLevel, 0);
    EXPECT_TRUE(std::equal(state.lpSeriesHeader->lpPureData.begin(),
                           state.lpSeriesHeader->lpPureData.begin() + 1200,
                           state.lpSeriesHeader->lpNoisyData.begin()));

    destroyState(state);
    EXPECT_FALSE(state.lpSeriesHeader);
    EXPECT_FALSE(state.lpChainsHeader);
    EXPECT_FALSE(state.alphabet[0].hasData());
}

TEST(AppState, SelectorPicksAndWorkingSet) {
    AppState state;
    test::RecordingSink sink;
    createStartupState(state, sink);

    state.nSeriesLengthIndex = 1;
    state.nNoiseIndex = 3;
    state.nLostIndex = 3;
    applySelectorPicks(state);
    EXPECT_EQ(state.dwNewSeriesLength, 200u);
    EXPECT_EQ(state.wMinPulses, 1);
    EXPECT_EQ(state.wMaxPulses, 5);
    EXPECT_EQ(state.wRequestedPulses, 3);
    EXPECT_EQ(state.wNewNoiseLevel, 50);
    EXPECT_EQ(state.wNewLostLevel, 50);
    EXPECT_EQ(state.wNewMakingLevel, 50);
    EXPECT_EQ(state.wNewProcessingLevel, 50);

    resetLevels(state);
    EXPECT_EQ(state.nLostIndex, 1);
    EXPECT_EQ(state.wNewLostLevel, 0);
    EXPECT_EQ(state.wNewMakingLevel, 100);

    std::fill(state.selectedFlags.begin(), state.selectedFlags.end(), int16_t{0});
    state.selectedFlags[3] = state.selectedFlags[5] = state.selectedFlags[7] = 1;
    rebuildRequiredList(state);
    EXPECT_EQ(state.wRequiredCount, 3);
    EXPECT_EQ(std::vector<uint16_t>(state.lpRequiredList.begin(), state.lpRequiredList.begin() + 3),
              (std::vector<uint16_t>{3, 5, 7}));
}

}  // namespace
}  // namespace etalon
