// Each restoring procedure against its step-by-step reference on the default
// geometry (N 1200, L 20, Tmin 40, Tmax 181, 18 pulses, noise 20), with whole
// pulses and with windows (making and processing level 75). Prints the
// reference-to-fast time ratio of each pair measured in this run (min and
// median over --benchmark_repetitions), and beside each fast time the floor:
// the multiply-adds and window-minimum steps the procedure cannot avoid.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oracle/oracle_processing.h"
#include "processing/intervals_header.h"
#include "processing/layered_chain.h"
#include "processing/pulse_fit.h"
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
std::shared_ptr<Setup> makeSetup(SeriesCode type, uint16_t level, uint16_t etalon) {
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
    SeriesCode wholeType, cutType;
    uint16_t etalon;  // what the series is made of
    const std::vector<uint16_t>* list;
    const char* name() const { return restoringProcedureName(procedure); }
};

const std::vector<Procedure>& procedures() {
    using P = RestoringProcedure;
    static const std::vector<Procedure> list = {
        {P::DetectKnownNumberChain, SeriesCode::FixedWhole, SeriesCode::FixedCutoff, 1, &kOne},
        {P::RecognizeKnownNumberChain, SeriesCode::FixedWhole, SeriesCode::FixedCutoff, 5, &kAll},
        {P::DetectUnknownNumberChain, SeriesCode::UnfixedWhole, SeriesCode::UnfixedCutoff, 1,
         &kOne},
        {P::RecognizeUnknownNumberChain, SeriesCode::UnfixedWhole, SeriesCode::UnfixedCutoff, 5,
         &kAll},
        {P::DetectKnownNumberTuples, SeriesCode::FixedTuples, SeriesCode::FixedTuples, 1, &kOne},
        {P::RecognizeKnownNumberTuples, SeriesCode::FixedTuples, SeriesCode::FixedTuples, 1, &kOne},
        {P::TuplesDetection, SeriesCode::UnfixedTuples, SeriesCode::UnfixedTuples, 1, &kOne},
        {P::TuplesRecognition, SeriesCode::UnfixedTuples, SeriesCode::UnfixedTuples, 1, &kOne},
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
    // The work tables stay with the caller between runs, as a simulation
    // worker's do.
    static RestoringWork work;
    request.work = &work;
    runRestoringProcedure(
        sink, p.procedure, request,
        reference ? oracle::referenceRestoringProcedures() : workbenchRestoringProcedures());
}

// The work no implementation can skip, on one setup: every fitted pair of
// etalon and position costs L multiply-adds (with windows also a suffix
// minimum over the ends and one comparison per admissible start), and every
// position of every layer of every candidate chain one window minimum.
struct Floor {
    double multiplyAdds = 0;
    double layerMinima = 0;  // window minima of the chain programmes
    double windowSteps = 0;  // suffix-minimum and start steps of window fits

    // At one AVX2 instruction per cycle: 16 multiply-adds per instruction
    // (pairs of 16-bit samples), a window minimum three 8-lane minima (two
    // running minima and their meeting), a window step one 8-lane minimum.
    double microseconds(double gigahertz) const {
        const double instructions = multiplyAdds / 16 + layerMinima * 3 / 8 + windowSteps / 8;
        return instructions / gigahertz / 1000;
    }
};

std::map<std::string, Floor>& floors() {
    static std::map<std::string, Floor> all;
    return all;
}

// Window-fit steps of one etalon at one position: the ends scanned and the
// admissible starts compared.
double windowStepsPerPosition(const PulseHeader& etalon, uint16_t level) {
    EtalonEnergy energy;
    computeEtalonEnergy(etalon.samples().first(kEtalonLength), level, energy);
    if (!keepsAnyWindow(energy)) return 0;
    double starts = 0;
    for (int b = 0; b < kEtalonLength; ++b)
        starts += energy.threshold < energy.total - energy.pe[b];
    return kEtalonLength + starts;
}

int distinctEtalons(const std::vector<std::vector<int32_t>>& patterns,
                    std::vector<int32_t>& etalons) {
    for (const auto& pattern : patterns) {
        for (const int32_t e : pattern) {
            if (std::find(etalons.begin(), etalons.end(), e) == etalons.end()) etalons.push_back(e);
        }
    }
    return static_cast<int>(etalons.size());
}

Floor floorOf(const Procedure& p, const Setup& s) {
    const SeriesHeader& series = *s.series;
    std::vector<int32_t> etalons;
    int candidates = 1;  // chain programmes run
    switch (p.procedure) {
        case RestoringProcedure::RecognizeKnownNumberChain:
        case RestoringProcedure::RecognizeUnknownNumberChain:
            for (const uint16_t e : *p.list)
                etalons.push_back(e);
            candidates = static_cast<int>(etalons.size());
            break;
        case RestoringProcedure::DetectKnownNumberChain:
        case RestoringProcedure::DetectUnknownNumberChain:
            for (const uint16_t e : *p.list)
                etalons.push_back(e);
            break;
        case RestoringProcedure::DetectKnownNumberTuples:
            distinctEtalons({kPattern}, etalons);
            break;
        case RestoringProcedure::RecognizeKnownNumberTuples:
            distinctEtalons(kPatterns, etalons);
            candidates = static_cast<int>(kPatterns.size());
            break;
        case RestoringProcedure::TuplesDetection:
            distinctEtalons({kPattern}, etalons);
            candidates = static_cast<int>(kPattern.size());  // one layer per member
            break;
        case RestoringProcedure::TuplesRecognition:
            for (const auto& pattern : kPatterns)
                candidates += static_cast<int>(pattern.size());
            candidates -= 1;
            distinctEtalons(kPatterns, etalons);
            break;
        case RestoringProcedure::None:
            break;
    }
    // Positions fitted and positions whose chain value is computed.
    double fitted = 0, computed = 0;
    const bool layered = p.procedure == RestoringProcedure::DetectKnownNumberChain ||
                         p.procedure == RestoringProcedure::RecognizeKnownNumberChain ||
                         p.procedure == RestoringProcedure::DetectKnownNumberTuples ||
                         p.procedure == RestoringProcedure::RecognizeKnownNumberTuples;
    if (layered) {
        std::vector<LayerRange> ranges;
        storedRanges(series, ranges);
        const LayerRange cover = coveringRange(ranges);
        fitted = cover.hi - cover.lo + 1;
        for (std::size_t k = 1; k < ranges.size(); ++k)
            computed += std::max(ranges[k].hi - ranges[k].lo + 1, 0);
    } else {
        SilentSink sink;
        PositionClasses classes;
        makePositionClasses(sink, series, 40, 181, classes);
        for (const auto& r : classes.fitted)
            fitted += r.hi - r.lo + 1;
        for (const auto* ranges : {&classes.firstOrLater, &classes.laterOnly}) {
            for (const auto& r : *ranges)
                computed += r.hi - r.lo + 1;
        }
    }
    Floor floor;
    for (const int32_t e : etalons) {
        floor.multiplyAdds += fitted * kEtalonLength;
        floor.windowSteps += fitted * windowStepsPerPosition(s.alphabet[e - 1], s.level);
    }
    floor.layerMinima = computed * candidates;
    return floor;
}

// The processor's clock as the kernel reports it; 0 when unknown.
double gigahertz() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("cpu MHz", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos) return std::stod(line.substr(colon + 1)) / 1000;
        }
    }
    return 0;
}

// Real time per iteration of every run (one per repetition), by name.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()].push_back(run.GetAdjustedRealTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        const double clock = gigahertz();
        std::printf(
            "\nratio: reference time / fast time (from the minima, and from the medians);\n"
            "floor: L multiply-adds per fitted etalon and position, a window minimum per\n"
            "position of every layer of every candidate chain (and the window fits' steps),\n"
            "as the time they take at one AVX2 instruction per cycle at %.2f GHz.\n\n",
            clock);
        std::printf("%-28s %-8s %8s %8s %9s %9s %8s %9s %9s %8s\n", "procedure", "pulses", "ratio",
                    "(median)", "fast(us)", "(median)", "MACs", "minima", "fitsteps", "floor(us)");
        for (const Procedure& p : procedures()) {
            for (const char* variant : {"whole", "windows"}) {
                const std::string base = std::string(p.name()) + "/" + variant;
                const auto fast = times_.find(base + "/fast");
                const auto reference = times_.find(base + "/reference");
                if (fast == times_.end() || reference == times_.end()) continue;
                const auto f = summary(fast->second), r = summary(reference->second);
                const Floor& floor = floors()[base];
                std::printf("%-28s %-8s %7.1fx %7.1fx %9.1f %9.1f %7.2fM %8.3fM %8.2fM %9.1f\n",
                            p.name(), variant, r.first / f.first, r.second / f.second, f.first,
                            f.second, floor.multiplyAdds / 1e6, floor.layerMinima / 1e6,
                            floor.windowSteps / 1e6, clock > 0 ? floor.microseconds(clock) : 0.0);
            }
        }
    }

  private:
    // Minimum and median.
    static std::pair<double, double> summary(std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return {times.front(), times[times.size() / 2]};
    }

    std::map<std::string, std::vector<double>> times_;
};

void registerAll() {
    for (const Procedure& p : procedures()) {
        for (const bool windows : {false, true}) {
            const SeriesCode type = windows ? p.cutType : p.wholeType;
            const uint16_t level = windows ? 75 : 100;
            auto setup = makeSetup(type, level, p.etalon);
            floors()[std::string(p.name()) + (windows ? "/windows" : "/whole")] =
                floorOf(p, *setup);
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
