// Each restoring procedure against its step-by-step reference on the default
// geometry (N 1200, L 20, Tmin 40, Tmax 181, 18 pulses, noise 20), with whole
// pulses and with windows (making and processing level 75). Prints the
// reference-to-fast time ratio of each pair measured in this run.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oracle/oracle_processing.h"
#include "processing/restoring.h"
#include "pulses/alphabet.h"
#include "series/series_codes.h"
#include "series/series_generator.h"
#include "series/subsets.h"

namespace etalon {
namespace {

struct Setup {
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    std::unique_ptr<SeriesHeader> series;
    std::unique_ptr<ChainsHeader> chains;
    uint16_t level = 100;
};

const std::vector<int32_t> kPattern = {3, 7, 12};
const std::vector<std::vector<int32_t>> kPatterns = {{5, 9, 2}, {3, 7, 12}, {14, 1, 18}};

// A series of the given type; windows kept at `level` percent of the energy.
std::shared_ptr<Setup> makeSetup(uint16_t type, uint16_t level, uint16_t etalon) {
    auto setup = std::make_shared<Setup>();
    SilentSink sink;
    RandomStreams streams;
    makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, setup->alphabet,
                 streams.wAlphabetNoiseSeed);
    setup->level = level;
    std::vector<uint16_t> sequence(30, etalon);
    SeriesRequest request;
    request.alphabet = setup->alphabet;
    request.sequence = sequence;
    request.pulses = 18;
    request.savedEnergyLevel = level;
    const bool tuples = isTuplesSeries(type);
    if (tuples) {
        setup->series =
            getCutOffSeriesHeader(sink, kEtalonsNumber, kEtalonLength, 40, 181, 1200, nullptr);
        setSelectedSubset(kPattern, 4, 1, setup->series.get());
    }
    if (isUnfixedSeries(type)) {
        // Redraw until the count is 18, so every variant restores alike.
        do {
            setup->series = makeUnfixedSeries(sink, request, std::move(setup->series), streams);
        } while (setup->series->wImpulseQuantity != 18);
    } else {
        setup->series = getCutOffSeries(sink, request, std::move(setup->series), streams);
    }
    addSeriesNoise(20, kPulseAmplitude, setup->series.get(), streams.wNoiseSeed);
    setup->chains = getChainsHeader(sink, 10, setup->series->wMaxPulses, nullptr);
    return setup;
}

const std::vector<uint16_t> kOne = {1};
const std::vector<uint16_t> kAll = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                    11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

struct Procedure {
    RestoringProcedure procedure;
    uint16_t wholeType, cutType;
    uint16_t etalon;  // what the series is made of
    const std::vector<uint16_t>* list;
    const char* name() const { return restoringProcedureName(procedure); }
};

const std::vector<Procedure>& procedures() {
    using P = RestoringProcedure;
    static const std::vector<Procedure> list = {
        {P::DetectKnownNumberChain, 1, 2, 1, &kOne},
        {P::RecognizeKnownNumberChain, 1, 2, 5, &kAll},
        {P::DetectUnknownNumberChain, 4, 8, 1, &kOne},
        {P::RecognizeUnknownNumberChain, 4, 8, 5, &kAll},
        {P::DetectKnownNumberTuples, 36, 36, 1, &kOne},
        {P::RecognizeKnownNumberTuples, 36, 36, 1, &kOne},
        {P::TuplesDetection, 40, 40, 1, &kOne},
        {P::TuplesRecognition, 40, 40, 1, &kOne},
    };
    return list;
}

void run(const Procedure& p, Setup& s, bool reference) {
    SilentSink sink;
    int32_t debugging = 0;
    const std::vector<std::span<const int32_t>> patterns(kPatterns.begin(), kPatterns.end());
    RestoringRequest request;
    request.alphabet = s.alphabet;
    request.etalons = *p.list;
    request.pattern = kPattern;
    request.patterns = patterns;
    request.tmin = 40;
    request.tmax = 181;
    request.processingLevel = s.level;
    request.debugging = &debugging;
    request.chains = s.chains.get();
    request.series = s.series.get();
    runRestoringProcedure(
        sink, p.procedure, request,
        reference ? oracle::referenceRestoringProcedures() : workbenchRestoringProcedures());
}

// Mean real time per iteration of every run, by name.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        std::printf("\n%-30s %-10s %12s\n", "procedure", "pulses", "ratio");
        for (const Procedure& p : procedures()) {
            for (const char* variant : {"whole", "windows"}) {
                const std::string base = std::string(p.name()) + "/" + variant;
                const auto fast = times_.find(base + "/fast");
                const auto reference = times_.find(base + "/reference");
                if (fast == times_.end() || reference == times_.end()) continue;
                std::printf("%-30s %-10s %11.1fx\n", p.name(), variant,
                            reference->second / fast->second);
            }
        }
    }

  private:
    std::map<std::string, double> times_;
};

void registerAll() {
    for (const Procedure& p : procedures()) {
        for (const bool windows : {false, true}) {
            const uint16_t type = windows ? p.cutType : p.wholeType;
            const uint16_t level = windows ? 75 : 100;
            auto setup = makeSetup(type, level, p.etalon);
            for (const bool reference : {false, true}) {
                const std::string name = std::string(p.name()) + (windows ? "/windows" : "/whole") +
                                         (reference ? "/reference" : "/fast");
                benchmark::RegisterBenchmark(name.c_str(), [setup, p,
                                                            reference](benchmark::State& state) {
                    for (auto _ : state)
                        run(p, *setup, reference);
                })->Unit(benchmark::kMicrosecond);
            }
        }
    }
}

}  // namespace
}  // namespace etalon

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    etalon::registerAll();
    etalon::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
