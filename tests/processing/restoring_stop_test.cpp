// A caller may stop a running procedure: every procedure then throws
// RestoringStopped and keeps no half-made tables.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "processing/processing_support.h"
#include "processing/restoring.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using P = RestoringProcedure;

// Runs the procedure on a series made for it, through `table`, with `stop`.
void restore(P procedure, uint16_t type, uint32_t length, uint16_t tmin,
             const std::atomic<bool>& stop, const RestoringProcedures& table) {
    static const std::vector<uint16_t> all = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                              11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    static const std::vector<int32_t> pattern = {3, 7, 12};
    static const std::vector<std::span<const int32_t>> patterns = {pattern, pattern};
    test::SeriesFromRecipe made;
    test::SeriesRecipe recipe;
    recipe.type = type;
    recipe.length = length;
    recipe.tmin = tmin;
    recipe.makingLevel = 75;
    recipe.sequence.assign(8, 5);
    if (type >= 36) recipe.subset = pattern;
    ASSERT_TRUE(made.make(recipe));
    auto chains = test::makeChains(made.series().wMaxPulses);
    int32_t debugging = 0;
    RestoringWork work;
    work.stop = &stop;
    const RestoringRequest request{.alphabet = made.alphabet(),
                                   .etalons = all,
                                   .pattern = pattern,
                                   .patterns = patterns,
                                   .tmin = tmin,
                                   .tmax = 181,
                                   .processingLevel = 75,
                                   .proceeding = 2,
                                   .debugging = &debugging,
                                   .chains = chains.get(),
                                   .series = &made.series(),
                                   .work = &work};
    test::RecordingSink sink;
    EXPECT_THROW(runRestoringProcedure(sink, procedure, request, table), RestoringStopped);
    EXPECT_FALSE(work.holdsTables());
}

TEST(RestoringStop, EveryProcedureStopsWhenAskedBeforeOrDuringTheRun) {
    // Asked before the run, through a copy of the table (the window keeps one).
    const RestoringProcedures copy = workbenchRestoringProcedures();
    const std::atomic<bool> set{true};
    const std::pair<P, uint16_t> procedures[] = {
        {P::DetectKnownNumberChain, 2},   {P::RecognizeKnownNumberChain, 2},
        {P::DetectUnknownNumberChain, 8}, {P::RecognizeUnknownNumberChain, 8},
        {P::DetectKnownNumberTuples, 36}, {P::RecognizeKnownNumberTuples, 36},
        {P::TuplesDetection, 40},         {P::TuplesRecognition, 40}};
    for (const auto& [procedure, type] : procedures) {
        SCOPED_TRACE(restoringProcedureName(procedure));
        restore(procedure, type, 1200, 40, set, copy);
    }

    // Asked from another thread during a run of seconds: the lane chains past
    // their every-layer budget. (The unknown-count runs take milliseconds
    // even at 32,767 samples and Tmin 1; they are asked before the run above.)
    for (const auto& [procedure, type] : {std::pair{P::RecognizeKnownNumberChain, 1}}) {
        SCOPED_TRACE(restoringProcedureName(procedure));
        std::atomic<bool> stop{false};
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            stop = true;
        });
        restore(procedure, static_cast<uint16_t>(type), 32767, 1, stop,
                workbenchRestoringProcedures());
        stopper.join();
    }
}

}  // namespace
}  // namespace etalon
