// The statistical simulation: the step-by-step driver over the step-by-step
// procedures on one thread against the parallel driver on every core, on a
// sample of the default grid (Recognition, N 1200, Tmin 40, Tmax 181, all 20
// etalons, pulse counts 6, 18, 30 by noise 0, 70, 140, 10 repeats). Checks
// that both give the same grid and prints the time ratio; then the wall time
// of the whole default run (25 counts by 29 noise levels by 100 repeats) with
// one and with two threads, and with the matched filter restoring every
// series too (--baseline).
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "oracle/oracle_processing.h"
#include "oracle/oracle_simulation.h"
#include "pulses/alphabet.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon {
namespace {

struct Grid {
    uint16_t pulseSteps, firstPulses, pulsesStep;
    uint16_t noiseSteps, firstNoise, noiseStep;
    uint32_t repeats;
};
constexpr Grid kSample{3, 6, 12, 3, 0, 70, 10};
constexpr Grid kDefault{25, 6, 1, 29, 0, 5, 100};

const std::vector<uint16_t> kAll = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                    11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

// The records as a fresh workbench has them: streams right after the alphabet.
struct Records {
    SilentSink sink;
    RandomStreams streams;
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    std::unique_ptr<SeriesHeader> series;
    std::unique_ptr<RestErrorHeader> errors;

    explicit Records(const Grid& g) {
        makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet,
                     streams.wAlphabetNoiseSeed);
        series = getCutOffSeriesHeader(sink, kEtalonsNumber, kEtalonLength, 40, 181, 1200, nullptr);
        errors = getRestErrHeader(sink, g.pulseSteps, g.noiseSteps, g.repeats, nullptr);
        initRestErrHeader(sink, g.pulseSteps, g.firstPulses, g.pulsesStep, g.noiseSteps,
                          g.firstNoise, g.noiseStep, g.repeats, errors.get());
    }

    void stepByStep() {
        oracle::statCutoffVarnel(sink, errors.get(), kEtalonsNumber, alphabet, kAll.size(),
                                 kAll.data(), 1, 2, 100, 100, series, streams, {},
                                 oracle::referenceRestoringProcedures());
    }

    void parallel(unsigned threads, bool baseline = false) {
        SimulationRun run;
        run.alphabet = alphabet;
        run.requiredList = kAll;
        run.seriesType = SeriesCode{1};
        run.effectiveTask = TaskCode{2};
        tbb::task_arena arena(threads > 0 ? static_cast<int>(threads) : tbb::task_arena::automatic);
        SimulationOptions options;
        options.arena = &arena;
        RestErrorHeader baselineGrid;
        statCutoffVarnel(sink, run,
                         {errors.get(), series.get(), &streams, baseline ? &baselineGrid : nullptr},
                         options);
    }
};

std::vector<uint32_t> sampleReference;
std::vector<uint32_t> sampleFast;

void stepByStepSample(benchmark::State& state) {
    for (auto _ : state) {
        Records r(kSample);
        r.stepByStep();
        sampleReference = r.errors->errorCells;
    }
}

void parallelSample(benchmark::State& state) {
    for (auto _ : state) {
        Records r(kSample);
        r.parallel(0);
        sampleFast = r.errors->errorCells;
    }
}

void parallelDefaultRun(benchmark::State& state) {
    for (auto _ : state) {
        Records r(kDefault);
        r.parallel(static_cast<unsigned>(state.range(0)), state.range(1) != 0);
        benchmark::DoNotOptimize(r.errors->errorCells.data());
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                seconds_[run.benchmark_name()] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printSummary() const {
        const auto time = [&](const std::string& name) {
            const auto found = seconds_.find(name);
            return found == seconds_.end() ? 0.0 : found->second;
        };
        const double reference = time("stepByStepSample/iterations:1/real_time");
        const double fast = time("parallelSample/real_time");
        std::printf("\nsample grid (90 series): step by step %.2f s, parallel on %u cores %.4f s\n",
                    reference, std::thread::hardware_concurrency(), fast);
        if (fast > 0) std::printf("ratio: %.0fx\n", reference / fast);
        std::printf("grids %s\n",
                    sampleReference == sampleFast && !sampleFast.empty() ? "identical" : "DIFFER");
        for (int baseline : {0, 1}) {
            for (int threads : {1, 2}) {
                const double t = time("parallelDefaultRun/" + std::to_string(threads) + "/" +
                                      std::to_string(baseline) + "/iterations:1/real_time");
                if (t > 0)
                    std::printf("default run (72,500 series)%s, %d thread%s: %.1f s\n",
                                baseline ? " with the baseline" : "", threads,
                                threads == 1 ? "" : "s", t);
            }
        }
    }

  private:
    std::map<std::string, double> seconds_;
};

}  // namespace
}  // namespace etalon

int main(int argc, char** argv) {
    using namespace etalon;
    benchmark::RegisterBenchmark("stepByStepSample", stepByStepSample)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("parallelSample", parallelSample)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("parallelDefaultRun", parallelDefaultRun)
        ->ArgsProduct({{1, 2}, {0, 1}})
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kSecond);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
