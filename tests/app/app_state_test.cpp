#include "app/app_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "support/recording_sink.h"

namespace etalon {
namespace {

TEST(AppState, DerivedFormulas) {
    EXPECT_EQ(effectiveTask(TaskCode::Detection, SeriesCode::FixedTuples),
              TaskCode::TuplesDetection);
    EXPECT_EQ(effectiveTask(TaskCode::Detection, SeriesCode::UnfixedTuples),
              TaskCode::TuplesDetection);
    EXPECT_EQ(effectiveTask(TaskCode::Recognition, SeriesCode::UnfixedTuples),
              TaskCode::TuplesRecognition);
    EXPECT_EQ(effectiveTask(TaskCode::Joint, SeriesCode::FixedTuples), TaskCode::Joint);
    EXPECT_EQ(effectiveTask(TaskCode::Detection, SeriesCode::UnfixedCutoff), TaskCode::Detection);

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

    EXPECT_STREQ(taskReportText(TaskCode::Joint), "joint detection and identification");
    EXPECT_EQ(taskReportText(TaskCode::SeriesProcessing), nullptr);
    EXPECT_STREQ(seriesTypeReportText(SeriesCode::UnfixedCutoff),
                 "unknown number of cut-off pulses");
    EXPECT_EQ(seriesTypeReportText(SeriesCode::CreatedFixed), nullptr);
    EXPECT_TRUE(isCutoffSeries(SeriesCode{2}) && isCutoffSeries(SeriesCode{8}) &&
                !isCutoffSeries(SeriesCode{4}));
    EXPECT_TRUE(isUnfixedSeries(SeriesCode{40}) && !isUnfixedSeries(SeriesCode{36}) &&
                !isUnfixedSeries(SeriesCode{32}));
}

// Start-up makes a first series to look at, whatever the pending levels were
// before the window; destruction gives everything back.
TEST(AppState, StartupMakesTheFirstSeriesAndDestroyFreesIt) {
    AppState state;
    state.wNewLostLevel = 50;  // pending cut-off levels do not reach the first series
    test::RecordingSink sink;
    createStartupState(state, sink);
    EXPECT_TRUE(sink.empty());
    std::vector<uint16_t> everyEtalon(20);
    std::iota(everyEtalon.begin(), everyEtalon.end(), uint16_t{1});
    EXPECT_EQ(std::vector<uint16_t>(state.lpRequiredList.begin(),
                                    state.lpRequiredList.begin() + state.wRequiredCount),
              everyEtalon);

    ASSERT_TRUE(state.lpSeriesHeader);
    const SeriesHeader& series = *state.lpSeriesHeader;
    ASSERT_EQ(series.wImpulseQuantity, 18);
    EXPECT_EQ(series.wNoiseLevel, 0);
    EXPECT_TRUE(std::ranges::equal(series.pureData(), series.noisyData()));
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(series.lpEtalons[i], 1);
        EXPECT_EQ(series.lpCutEnds[i] - series.lpCutStarts[i] + 1, 20);  // whole pulses
    }
    ASSERT_TRUE(state.lpChainsHeader);
    EXPECT_GE(state.lpChainsHeader->wMaxPulses, state.wMaxPulses);

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
