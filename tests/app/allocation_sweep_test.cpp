// Every allocation of start-up, a run of each task and a tiny simulation
// failing once, in turn: each failure is reported, nothing crashes or leaks
// (the sanitizer build checks), and the same steps then run cleanly.
#include <gtest/gtest.h>

#include <vector>

#include <cstdio>
#include <filesystem>

#include "app/app_state.h"
#include "base/allocation.h"
#include "export/snapshot.h"
#include "processing/restoring.h"
#include "series/series_generator.h"
#include "simulation/stat_cutoff_varnel.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

// A 6 x 4 client area saved in the four formats into a scratch folder.
class SmallWindow final : public SnapshotWindow {
  public:
    explicit SmallWindow(std::filesystem::path name) : name_(std::move(name)) {}
    CapturedImage captureClientArea() override {
        return {6, 4, std::vector<uint32_t>(24, 0xffffffff)};
    }
    std::optional<SaveChoice> askSaveFile(const std::string&,
                                          const std::vector<std::string>&) override {
        return SaveChoice{name_.string(), 0};
    }
    std::optional<std::vector<uint8_t>> encodePng(const CapturedImage&) override {
        return std::vector<uint8_t>{0x89, 'P', 'N', 'G'};
    }
    std::string drawAsSvg() override { return "<svg/>"; }

  private:
    std::filesystem::path name_;
};

// Start-up, one series and run per task, and a 2 x 2 x 2 simulation on one
// thread, so that the n-th allocation is the same one every time.
void startAndRunEveryTask(MessageSink& sink) {
    AppState state;
    createStartupState(state, sink);
    const std::vector<int32_t> a{3, 5}, b{7};
    const std::vector<std::span<const int32_t>> patterns{a, b};
    const std::pair<TaskCode, SeriesCode> runs[] = {
        {TaskCode::Recognition, SeriesCode::FixedWhole},
        {TaskCode::Detection, SeriesCode::UnfixedWhole},
        {TaskCode::Joint, SeriesCode::FixedCutoff},
        {TaskCode::Recognition, SeriesCode::UnfixedCutoff},
        {TaskCode::Detection, SeriesCode::FixedTuples},
        {TaskCode::Recognition, SeriesCode::UnfixedTuples},
        {TaskCode::SeriesProcessing, SeriesCode::FixedWhole}};
    for (const auto& [task, type] : runs) {
        if (!state.lpSeriesHeader || !state.lpChainsHeader) break;
        state.wSeriesType = type;
        state.wEffectiveTask = effectiveTask(task, type);
        state.wSeriesPulses = 6;
        if (makeSeriesFromState(state, sink) == SeriesMade::NoRecord) break;
        addSeriesNoise(20, 128, state.lpSeriesHeader.get(), state.streams.wNoiseSeed);
        RestoringRequest request;
        request.alphabet = {state.alphabet.data(), state.wEtalonsNumber};
        request.etalons = {state.lpRequiredList.data(), state.wRequiredCount};
        request.pattern = a;
        request.patterns = patterns;
        request.tmin = state.wTmin;
        request.tmax = state.wTmax;
        request.chains = state.lpChainsHeader.get();
        request.series = state.lpSeriesHeader.get();
        runRestoringProcedure(sink, chooseRestoringProcedure(state.wEffectiveTask, type), request);
        addToChainsHeader(sink, type, state.wEffectiveTask, 100, 100, state.lpChainsHeader.get());
    }
    if (state.lpSeriesHeader) {
        state.lpSeriesHeader->wSubsetLength = 0;
        auto errors = getRestErrHeader(sink, 2, 2, 2, nullptr);
        if (errors && initRestErrHeader(sink, 2, 6, 1, 2, 0, 30, 2, errors.get())) {
            SimulationRun run;
            run.alphabet = {state.alphabet.data(), state.wEtalonsNumber};
            run.requiredList = {state.lpRequiredList.data(), state.wRequiredCount};
            tbb::task_arena oneThread(1);
            SimulationOptions options;
            options.arena = &oneThread;
            const SimulationRecords records{errors.get(), state.lpSeriesHeader.get(),
                                            &state.streams};
            const SimulationResult result = statCutoffVarnel(sink, run, records, options);
            for (const auto& m : result.messages)
                sink.show(m.text, m.caption, m.icon);
        }
    }
    destroyState(state);

    const auto folder = std::filesystem::temp_directory_path() / "etalon_allocation_sweep";
    std::filesystem::create_directories(folder);
    for (const char* name : {"shot.bmp", "shot.pcx", "shot.png", "shot.svg"}) {
        SmallWindow window(folder / name);
        MakeSnapshot(window, sink);
    }
    std::filesystem::remove_all(folder);
}

TEST(AllocationSweep, EveryAllocationFailingOnceIsReported) {
    test::RecordingSink clean;
    startAndRunEveryTask(clean);
    ASSERT_TRUE(clean.empty()) << clean.last().text;

    int failures = 0;
    for (int k = 1; k < 100000; ++k) {
        test::RecordingSink sink;
        failAllocationAfter(k);
        startAndRunEveryTask(sink);
        const bool happened = allocationsBeforeFailure() == 0;
        failAllocationAfter(0);
        if (!happened) break;  // fewer than k allocations: every one has failed once
        ++failures;
        EXPECT_FALSE(sink.empty()) << "allocation " << k << " failed silently";

        test::RecordingSink after;
        startAndRunEveryTask(after);
        EXPECT_TRUE(after.empty()) << "after allocation " << k << ": " << after.last().text;
    }
    EXPECT_GT(failures, 20);
    std::printf("allocation sweep: %d allocations failed in turn\n", failures);
}

}  // namespace
}  // namespace etalon
