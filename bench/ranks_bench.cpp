// Simulation over MPI ranks, measured in one process: every rank walks the
// whole schedule (making every series) and restores only its share, so the
// walk is the serial part. For each geometry: the time of the walk alone, of
// the whole run on one thread, of every share of 2 and 3 ranks (interleaved
// and in blocks; a rank's time with a core of its own), and Amdahl's
// speed-up for 4..256 ranks from the measured serial share.
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "pulses/alphabet.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon {
namespace {

struct Geometry {
    const char* name;
    uint32_t length;
    uint16_t pulseSteps, firstPulses, pulsesStep;
    uint16_t noiseSteps, firstNoise, noiseStep;
    uint32_t repeats;
};
// The default grid, and a sample of the counts a series of 32,767 samples holds.
constexpr std::array<Geometry, 2> kGeometries{{
    {"N 1200, default grid (25 x 29 x 100)", 1200, 25, 6, 1, 29, 0, 5, 100},
    {"N 32767, counts 181..819 (3 x 1 x 12)", 32767, 3, 181, 319, 1, 50, 0, 12},
}};

const std::vector<uint16_t> kAll = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                    11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

// Seconds of one run (one thread) restoring share `rank` of `count`.
double runShare(const Geometry& g, uint32_t rank, uint32_t count, bool blocks) {
    SilentSink sink;
    RandomStreams streams;
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet,
                 streams.wAlphabetNoiseSeed);
    auto series =
        getCutOffSeriesHeader(sink, kEtalonsNumber, kEtalonLength, 40, 181, g.length, nullptr);
    auto errors = getRestErrHeader(sink, g.pulseSteps, g.noiseSteps, g.repeats, nullptr);
    initRestErrHeader(sink, g.pulseSteps, g.firstPulses, g.pulsesStep, g.noiseSteps, g.firstNoise,
                      g.noiseStep, g.repeats, errors.get());
    SimulationRun run;
    run.alphabet = alphabet;
    run.requiredList = kAll;
    run.seriesType = SeriesCode{1};
    run.effectiveTask = TaskCode{2};
    tbb::task_arena arena(1);
    SimulationOptions options;
    options.arena = &arena;
    options.shareRank = rank;
    options.shareCount = count;
    options.shareInBlocks = blocks;
    const auto start = std::chrono::steady_clock::now();
    const SimulationResult result =
        statCutoffVarnel(sink, run, {errors.get(), series.get(), &streams}, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.completed()) std::fprintf(stderr, "run did not complete\n");
    return seconds;
}

// The slowest share of `count` ranks, and how far it is above the mean.
std::pair<double, double> slowestShare(const Geometry& g, uint32_t count, bool blocks) {
    std::vector<double> times;
    for (uint32_t r = 0; r < count; ++r)
        times.push_back(runShare(g, r, count, blocks));
    double sum = 0;
    for (double t : times)
        sum += t;
    const double slowest = *std::max_element(times.begin(), times.end());
    return {slowest, slowest / (sum / count)};
}

void measure(const Geometry& g) {
    // A share no series falls to: the walk alone.
    const double walk = runShare(g, UINT32_MAX - 1, UINT32_MAX, false);
    // The best of two: the first run of a process also warms its caches.
    const double one = std::min(runShare(g, 0, 1, false), runShare(g, 0, 1, false));
    const double serial = std::min(1.0, walk / one);
    std::printf("\n%s\n", g.name);
    std::printf("walk %.3f s of %.3f s on one rank: serial share %.4f\n", walk, one, serial);
    std::printf(
        "| ranks | measured (interleaved) | slowest/mean | measured (blocks) | "
        "slowest/mean | Amdahl |\n|---|---|---|---|---|---|\n");
    std::printf("| 1 | %.3f s | 1.00 | %.3f s | 1.00 | 1.00 |\n", one, one);
    for (uint32_t k : {2u, 3u}) {
        const auto [inter, interSkew] = slowestShare(g, k, false);
        const auto [block, blockSkew] = slowestShare(g, k, true);
        std::printf("| %u | %.3f s (x%.2f) | %.2f | %.3f s (x%.2f) | %.2f | x%.2f |\n", k, inter,
                    one / inter, interSkew, block, one / block, blockSkew,
                    1.0 / (serial + (1 - serial) / k));
    }
    for (uint32_t k : {4u, 16u, 64u, 256u})
        std::printf("| %u | | | | | x%.1f |\n", k, 1.0 / (serial + (1 - serial) / k));
}

}  // namespace
}  // namespace etalon

int main(int argc, char** argv) {
    // An argument picks one geometry (0 or 1).
    for (std::size_t i = 0; i < etalon::kGeometries.size(); ++i) {
        if (argc < 2 || std::atoi(argv[1]) == static_cast<int>(i))
            etalon::measure(etalon::kGeometries[i]);
    }
}
