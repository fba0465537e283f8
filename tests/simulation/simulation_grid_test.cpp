#include "simulation/simulation_grid.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/allocation.h"
#include "series/series_generator.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

TEST(SimulationGrid, TheFirstFaultFoundIsTheOneTold) {
    const PulseCountRange range = simulationPulseRange({0, 30});
    EXPECT_EQ(range.least, 1);  // a series of no pulses scores nothing
    struct Case {
        int64_t from, to, noiseFrom, noiseSteps, noiseStep;
        GridFault fault;
        int64_t value, bound;
    };
    const Case cases[] = {
        {1, 30, 0, 29, 5, GridFault::None, 0, 0},
        {0, 40, 9000, 2, 0, GridFault::PulsesFromBelowLeast, 0, 1},
        {5, 31, 9000, 2, 0, GridFault::PulsesToAboveMost, 31, 30},
        {9, 8, 9000, 2, 0, GridFault::PulsesFromAboveTo, 9, 8},
        {1, 30, 5339, 3, 50, GridFault::None, 0, 0},  // the last level on the ceiling
        {1, 30, 5339, 3, 51, GridFault::LastNoiseAboveCeiling, 5441, kLargestNoiseLevel},
    };
    for (const Case& c : cases) {
        const GridCheck check =
            checkSimulationGrid(c.from, c.to, c.noiseFrom, c.noiseSteps, c.noiseStep, range);
        EXPECT_EQ(check.fault, c.fault) << c.from << ".." << c.to;
        EXPECT_EQ(check.value, c.value) << c.from << ".." << c.to;
        EXPECT_EQ(check.bound, c.bound) << c.from << ".." << c.to;
    }
}

TEST(SimulationGrid, ErrorRecordDescribesTheGridOrNamesTheFailedStep) {
    test::RecordingSink sink;
    const SimulationGrid grid{6, 11, 2, 20, 3, 40, 7};
    ErrorGridFailure failure = ErrorGridFailure::Describing;
    const auto errors = makeErrorGrid(sink, grid, &failure);
    ASSERT_TRUE(errors);
    EXPECT_EQ(failure, ErrorGridFailure::None);
    const auto pulses = errors->wPulseValues();
    EXPECT_EQ(std::vector<int16_t>(pulses.begin(), pulses.end()), (std::vector<int16_t>{6, 8, 10}));
    const auto noise = errors->lpNoiseLevels();
    EXPECT_EQ(std::vector<int16_t>(noise.begin(), noise.end()),
              (std::vector<int16_t>{20, 60, 100}));
    EXPECT_EQ(errors->repeats, 7u);

    failAllocationAfter(1);
    EXPECT_FALSE(makeErrorGrid(sink, grid, &failure));
    failAllocationAfter(0);
    EXPECT_EQ(failure, ErrorGridFailure::Sizing);
    EXPECT_FALSE(sink.empty());
}

}  // namespace
}  // namespace etalon
