// How time and peak heap grow with the series length: every restoring
// procedure over N = 1,200 .. 32,767 at Tmin 1 and 40 (Tmax 181, whole
// pulses, processing level 75), one run each. Prints per run the time, the
// peak heap of the run, the procedure's own estimate, and the growth
// exponent of time and of memory from the previous length.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "processing/processing_support.h"
#include "processing/restoring.h"
#include "support/recording_sink.h"

namespace {

std::atomic<long long> inUse{0}, peak{0};
constexpr std::size_t kHeader = 16;

void* allocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    const long long now = inUse += static_cast<long long>(size);
    long long seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return block + kHeader;
}

void release(void* p) {
    if (!p) return;
    auto* block = static_cast<unsigned char*>(p) - kHeader;
    inUse -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}

namespace etalon {
namespace {

using P = RestoringProcedure;

struct Case {
    P procedure;
    uint16_t type;
};

int runAll(int argc, char** argv) {
    const std::vector<Case> cases = {
        {P::DetectKnownNumberChain, 1},   {P::RecognizeKnownNumberChain, 1},
        {P::DetectUnknownNumberChain, 4}, {P::RecognizeUnknownNumberChain, 4},
        {P::DetectKnownNumberTuples, 36}, {P::RecognizeKnownNumberTuples, 36},
        {P::TuplesDetection, 40},         {P::TuplesRecognition, 40},
    };
    std::vector<uint32_t> lengths = {1200, 4000, 8000, 16000, 32767};
    // A quick look: the first lengths only, the procedures whose name holds a text.
    if (argc > 1) lengths.resize(std::strtoul(argv[1], nullptr, 10));
    const std::string only = argc > 2 ? argv[2] : "";
    const std::vector<uint16_t> all = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                       11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    const std::vector<int32_t> pattern = {3, 7, 12};
    const std::vector<std::vector<int32_t>> stored = {{5, 9, 2}, {3, 7, 12}, {14, 1, 18}};
    const std::vector<std::span<const int32_t>> patterns(stored.begin(), stored.end());
    std::printf("%-28s %5s %6s %7s %10s %10s %10s %6s %6s\n", "procedure", "Tmin", "N", "Q",
                "time ms", "peak MB", "need MB", "t exp", "m exp");
    for (const Case& c : cases) {
        if (std::string(restoringProcedureName(c.procedure)).find(only) == std::string::npos)
            continue;
        for (const uint16_t tmin : {uint16_t{1}, uint16_t{40}}) {
            double lastTime = 0, lastPeak = 0, lastN = 0;
            for (const uint32_t n : lengths) {
                test::SeriesFromRecipe made;
                test::SeriesRecipe recipe;
                recipe.type = c.type;
                recipe.length = n;
                recipe.tmin = tmin;
                recipe.sequence.assign(8, 5);
                if (c.type >= 36) recipe.subset = pattern;
                if (!made.make(recipe)) continue;
                auto chains = test::makeChains(made.series().wMaxPulses);
                test::RecordingSink sink;
                int32_t debugging = 0;
                RestoringRequest request;
                request.alphabet = made.alphabet();
                request.etalons = all;
                request.pattern = pattern;
                request.patterns = patterns;
                request.tmin = tmin;
                request.tmax = 181;
                request.processingLevel = 75;
                request.debugging = &debugging;
                request.chains = chains.get();
                request.series = &made.series();
                RestoringWork work;  // each run from nothing, so its peak is its own
                request.work = &work;
                const double need = double(restoringMemoryNeed(c.procedure, request));
                const long long before = inUse.load();
                peak = before;
                const auto start = std::chrono::steady_clock::now();
                runRestoringProcedure(sink, c.procedure, request);
                const double ms = std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - start)
                                      .count();
                const double heap = double(peak.load() - before);
                const auto exponent = [&](double now, double then) {
                    return lastN > 0 && then > 0 ? std::log(now / then) / std::log(n / lastN) : 0.0;
                };
                std::printf("%-28s %5d %6u %7d %10.1f %10.1f %10.1f %6.2f %6.2f\n",
                            restoringProcedureName(c.procedure), tmin, n,
                            made.series().wImpulseQuantity, ms, heap / 1e6, need / 1e6,
                            exponent(ms, lastTime), exponent(heap, lastPeak));
                std::fflush(stdout);
                lastTime = ms;
                lastPeak = heap;
                lastN = n;
            }
        }
    }
    return 0;
}

}  // namespace
}  // namespace etalon

int main(int argc, char** argv) {
    return etalon::runAll(argc, argv);
}
