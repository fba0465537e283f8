#include "processing/tuples_detection.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "processing/chain_step.h"
#include "processing/cpu_dispatch.h"
#include "processing/intervals_header.h"
#include "processing/known_number_tuples.h"
#include "processing/layered_chain.h"
#include "processing/pulse_fit.h"
#include "processing/restored_chain.h"
#include "processing/window_minima.h"

namespace etalon {

namespace {

using Ranges = std::vector<PositionClasses::Range>;

// One layer per pattern member: chain values and predecessors over the
// positions 0..N-L.
struct PatternWork {
    FitCache cache;
    PositionClassesCache classesCache;
    const PositionClasses* classes = nullptr;
    std::vector<int32_t> values;
    std::vector<WindowMinima> windows;
    std::vector<StepLayer> steps;
    std::vector<int32_t> scratch;  // a window as one position saw it
    std::vector<const FitTable*> fits;
    RestoredChain restored, best;
    TupleSegmentation tuples, bestTuples;
    std::string text;
    StopFlag stop;  // this run's caller's
};

constexpr int32_t kChunk = 64;

int32_t positionsOf(const SeriesHeader& series) {
    return std::max<int32_t>(static_cast<int32_t>(series.dwSeriesSize) - series.wImpulseSize + 1,
                             0);
}

LayerRange classCover(const PositionClasses& classes) {
    LayerRange cover{0, -1};
    bool any = false;
    for (const Ranges* ranges : {&classes.firstOnly, &classes.firstOrLater, &classes.laterOnly}) {
        for (const auto& r : *ranges) {
            cover = any ? LayerRange{std::min(cover.lo, r.lo), std::max(cover.hi, r.hi)}
                        : LayerRange{r.lo, r.hi};
            any = true;
        }
    }
    return cover;
}

void growLayers(PatternWork& w, const SeriesHeader& series, std::size_t layers,
                std::size_t alphabetSize) {
    const std::size_t width = static_cast<std::size_t>(positionsOf(series));
    if (w.values.size() < layers * width) w.values.resize(layers * width);
    w.scratch.reserve(width);
    if (w.windows.size() < layers) w.windows.resize(layers);
    for (std::size_t l = 0; l < layers; ++l)
        w.windows[l].reserve(width);
    w.fits.resize(std::max(w.fits.size(), layers));
    w.steps.resize(std::max(w.steps.size(), layers));
    w.cache.reserve(alphabetSize, width, series.wImpulseSize);
    for (RestoredChain* chain : {&w.restored, &w.best})
        chain->resize(width + 1);
    for (TupleSegmentation* t : {&w.tuples, &w.bestTuples}) {
        t->first.resize(width + 1);
        t->second.resize(width + 1);
    }
}

template <class... Args>
void appendFormat(std::string& text, const char* format, Args... args) {
    char piece[64];
    const int length = std::snprintf(piece, sizeof piece, format, args...);
    if (length > 0) text.append(piece, std::min<std::size_t>(length, sizeof piece - 1));
}

// The layered search for one pattern; the chain and its tuples end up in
// w.restored and w.tuples.
class PatternSearch {
  public:
    PatternSearch(PatternWork& w, const SeriesHeader& series, std::span<const int32_t> pattern,
                  int layers, int32_t unreached, int32_t tmin, int32_t tmax)
        : w_(w),
          pattern_(pattern),
          layers_(layers),
          width_(positionsOf(series)),
          omega_(unreached),
          tmin_(tmin),
          tmax_(tmax) {}

    int32_t run(MessageSink& sink, bool debugging) {
        for (int l = 0; l < layers_; ++l)
            w_.fits[l] = &w_.cache.fits(pattern_[l] - 1);
        // Every class position of every layer is written in its turn; only
        // the positions read before that start unreached: those the classes
        // say, and first-only ones in layers after the first.
        for (int l = 0; l < layers_; ++l) {
            for (const auto& r : w_.classes->readUnreached)
                fillUnreached(l, r);
            for (const auto& r : w_.classes->firstOnly) {
                if (l > 0) fillUnreached(l, r);
            }
        }

        const FitTable& first = *w_.fits[0];
        for (const auto& r : w_.classes->firstOnly) {
            std::copy_n(first.values() + (r.lo - first.first()), r.hi - r.lo + 1, value(0) + r.lo);
        }
        if (debugging) showFirst(sink);
        w_.stop.check();
        startWindows();
        pass(w_.classes->firstOrLater, omega_, true);
        w_.stop.check();
        if (debugging) showSecond(sink);
        if (!windowsCarryOver(*w_.classes, tmin_)) startWindows();
        pass(w_.classes->laterOnly, omega_, false);
        return finish();
    }

  private:
    int32_t* value(int l) { return w_.values.data() + std::size_t(l) * width_; }
    int previousLayer(int l) const { return l == 0 ? layers_ - 1 : l - 1; }
    void fillUnreached(int l, const PositionClasses::Range& r) {
        const int32_t hi = std::min(r.hi, width_ - 1);
        if (r.lo <= hi) std::fill(value(l) + r.lo, value(l) + hi + 1, omega_);
    }

    // The predecessor of (x, l) as its value was found: only chains read out
    // and debug texts need it, so it is searched for there. Classes computed
    // after x's were unreached then.
    int32_t pred(int l, int32_t x) {
        const uint8_t cls = w_.classes->classOf[x];
        if (cls == 1) return l == 0 ? -1 : omega_;
        if (cls == 0) return omega_;
        const int32_t from = std::max(x - tmax_, 0), to = x - tmin_;
        const int32_t start = cls == 2 ? 0 : omega_;
        int32_t at = -1;
        if (to >= from && cls == 3) {
            // Later-only positions are computed last: their windows hold final
            // values, and their value is the best of the window (capped at
            // Omega) plus the fit, so only where it first is remains to be found.
            const FitTable& fits = *w_.fits[l];
            const int32_t best = valueBefore(value(l)[x], fits.values()[x - fits.first()]);
            if (best < omega_) at = firstEqual(value(previousLayer(l)) + from, to - from + 1, best);
        } else if (to >= from) {
            // Earlier classes saw the later ones unreached.
            const int32_t* window = value(previousLayer(l)) + from;
            const uint8_t* classOf = w_.classes->classOf.data();
            w_.scratch.resize(to - from + 1);
            for (int32_t z = from; z <= to; ++z) {
                w_.scratch[z - from] = classOf[z] > cls ? omega_ : window[z - from];
            }
            at = leftmostBelow(w_.scratch.data(), to - from + 1, start);
        }
        if (at >= 0) return from + at;
        return cls == 2 && l == 0 ? -1 : -2;
    }

    void startWindows() {
        for (int l = 0; l < layers_; ++l)
            w_.windows[l].start(value(previousLayer(l)), tmin_, tmax_);
    }

    // A first-or-later pulse extends only a chain with a negative value; in
    // layer 0 it may start one, later members may not. Positions less than
    // Tmin apart do not see each other, so runs of them are done together.
    void pass(const Ranges& ranges, int32_t start, bool mayStart) {
        for (int l = 0; l < layers_; ++l) {
            const StepRule rule = !mayStart ? StepRule::Extend
                                  : l == 0  ? StepRule::ExtendOrStart
                                            : StepRule::ExtendOrUnreached;
            const FitTable& fits = *w_.fits[l];
            w_.steps[l] = {&w_.windows[l], fits.values(), fits.first(), value(l), rule};
        }
        stepPass(ranges, {w_.steps.data(), std::size_t(layers_)}, std::min<int32_t>(tmin_, kChunk),
                 start, omega_);
    }

    int32_t finish() {
        // The first (position, layer) with the smallest value below Omega:
        // the leftmost per layer, then the smallest value, position, layer.
        int32_t best = omega_, endAt = -1, endLayer = 0;
        for (const auto& r : w_.classes->ends) {
            const int32_t hi = std::min(r.hi, width_ - 1);
            if (hi < r.lo) continue;
            for (int l = 0; l < layers_; ++l) {
                const int32_t at = leftmostBelow(value(l) + r.lo, hi - r.lo + 1, omega_);
                if (at < 0) continue;
                const int32_t x = r.lo + at, v = value(l)[x];
                if (endAt < 0 || v < best ||
                    (v == best && (x < endAt || (x == endAt && l < endLayer)))) {
                    best = v;
                    endAt = x;
                    endLayer = l;
                }
            }
        }
        // Last pulse first, then reversed in place.
        RestoredChain& chain = w_.restored;
        chain.n = 0;
        for (int32_t x = endAt, l = endLayer; x >= 0 && x < width_; l = previousLayer(l)) {
            const PulseFit fit = w_.fits[l]->at(x);
            chain.set(chain.n++, pattern_[l], x, fit.begin, fit.end);
            x = pred(l, x);
        }
        for (int i = 0, j = chain.n - 1; i < j; ++i, --j) {
            std::swap(chain.etalons[i], chain.etalons[j]);
            std::swap(chain.positions[i], chain.positions[j]);
            std::swap(chain.cutStarts[i], chain.cutStarts[j]);
            std::swap(chain.cutEnds[i], chain.cutEnds[j]);
        }
        const int c = static_cast<int>(pattern_.size());
        w_.tuples.make(chain.n, c, c);
        return best;
    }

    void appendIntervals(const char* title, const Ranges& ranges) {
        w_.text += title;
        for (const auto& r : ranges)
            appendFormat(w_.text, " [%d..%d] ", r.lo, r.hi);
        w_.text += "\n";
    }

    // One mark per position: the best negative value in full, others by sign,
    // then the predecessor when there is one.
    void appendPositions(const Ranges& ranges, int l) {
        const int32_t* v = value(l);
        int32_t smallest = omega_, m = -1;
        for (const auto& r : ranges) {
            for (int32_t x = r.lo; x <= r.hi; ++x) {
                if (v[x] < smallest) {
                    smallest = v[x];
                    m = x;
                }
            }
        }
        for (const auto& r : ranges) {
            for (int32_t x = r.lo; x <= r.hi; ++x) {
                if (v[x] < 0 && x == m)
                    appendFormat(w_.text, " %d", v[x]);
                else
                    w_.text += v[x] < 0 ? " -" : " +";
                const int32_t p = pred(l, x);
                if (p >= 0) appendFormat(w_.text, "[%d]", p);
            }
        }
    }

    void showFirst(MessageSink& sink) {
        w_.text.clear();
        appendIntervals("omega_minus - omega_tilda: ", w_.classes->firstOnly);
        appendPositions(w_.classes->firstOnly, 0);
        w_.text += "\n ";
        sink.show(w_.text, " About TuplesDetection ", MessageIcon::None);
    }

    void showSecond(MessageSink& sink) {
        w_.text.clear();
        appendIntervals("omega_minus x omega_tilda: ", w_.classes->firstOrLater);
        for (int l = 0; l < layers_; ++l) {
            appendFormat(w_.text, "l=%d\n ", l + 1);
            appendPositions(w_.classes->firstOrLater, l);
            w_.text += "\n ";
        }
        sink.show(w_.text, " About TuplesDetection ", MessageIcon::None);
    }

    PatternWork& w_;
    std::span<const int32_t> pattern_;
    int layers_;
    int32_t width_;
    int32_t omega_;
    int32_t tmin_, tmax_;
};

// Sets and classes, before either record changes; false after a report.
bool buildClasses(MessageSink& sink, PatternWork& w, const SeriesHeader& series, uint16_t tmin,
                  uint16_t tmax) {
    if (!w.classesCache.get(sink, series, tmin, tmax, w.classes, w.stop)) {
        reportNoMemory(sink, "Нет памяти для IntervalsHeader!");
        return false;
    }
    return true;
}

void startFits(PatternWork& w, const SeriesHeader& series, std::span<const PulseHeader> alphabet,
               uint16_t level) {
    const LayerRange cover = classCover(*w.classes);
    w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
}

void writeResult(SeriesHeader& series, const RestoredChain& chain,
                 const TupleSegmentation& tuples) {
    writeRestoredPulses(series, chain);
    writeRestoredTuples(series, tuples);
}

}  // namespace

int TuplesDetection(MessageSink& sink, std::span<const PulseHeader> alphabet,
                    std::span<const int32_t> pattern, const TuplesSearch& search,
                    ChainsHeader* chains, SeriesHeader& series, int32_t& debuggingRepeat,
                    RestoringWork* work) {
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    PatternWork& w = tables.tables<PatternWork>();
    w.stop = tables.stopFlag();
    const int layers = static_cast<int>(std::min<std::size_t>(pattern.size(), series.wMaxPulses));
    if (!growTables([] {})) {
        reportNoMemory(sink, "Нет памяти для EtalonsPartialEnergy!");
        return 0;
    }
    if (!growTables([] {}) ||
        !growTables([&] { growLayers(w, series, layers, alphabet.size()); })) {
        reportNoMemory(sink, "Нет памяти для G_on_layers!");
        return 0;
    }
    const uint16_t tmin = std::max<uint16_t>(search.bounds.tmin, 1), tmax = search.bounds.tmax;
    const uint16_t level = search.bounds.processingLevel;
    if (!buildClasses(sink, w, series, tmin, tmax)) return 0;
    resetChains(chains, 0, series.wMaxPulses);

    int32_t criterion = kUnreachedValue;
    w.restored.n = 0;
    w.tuples.count = 0;
    if (layers > 0 && isValidTuple(pattern, alphabet.size())) {
        startFits(w, series, alphabet, level);
        PatternSearch search(w, series, pattern, layers, kUnreachedValue, tmin, tmax);
        criterion = search.run(sink, debuggingRepeat != 0);
        if (!(criterion < kUnreachedValue)) {
            w.restored.n = 0;
            w.tuples.count = 0;
        }
    }
    insertChain(chains, criterion, w.restored.n, w.restored.view());
    writeResult(series, w.restored, w.tuples);
    if (chains) chains->wSeekingPulsesQuantity = series.wRestoredQuantity;
    debuggingRepeat = 0;
    return 1;
}

int TuplesRecognition(MessageSink& sink, std::span<const PulseHeader> alphabet,
                      std::span<const std::span<const int32_t>> patterns,
                      const TuplesSearch& search, ChainsHeader* chains, SeriesHeader& series,
                      int32_t& debuggingRepeat, RestoringWork* work) {
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    PatternWork& w = tables.tables<PatternWork>();
    w.stop = tables.stopFlag();
    std::size_t longest = 0;
    for (const auto& pattern : patterns)
        longest = std::max(longest, pattern.size());
    const int layers = static_cast<int>(std::min<std::size_t>(longest, series.wMaxPulses));
    if (!growTables([] {})) {
        reportNoMemory(sink, "Нет памяти для EtalonsPartialEnergy!");
        return 0;
    }
    if (!growTables([&] { growLayers(w, series, layers, alphabet.size()); })) {
        reportNoMemory(sink, "Нет памяти для G_on_layers!");
        return 0;
    }
    const uint16_t tmin = std::max<uint16_t>(search.bounds.tmin, 1), tmax = search.bounds.tmax;
    const uint16_t level = search.bounds.processingLevel;
    if (!buildClasses(sink, w, series, tmin, tmax)) return 0;
    resetChains(chains, 0, series.wMaxPulses);

    int32_t best = kSearchStartValue;
    int recognised = 0;
    w.best.n = 0;
    w.bestTuples.count = 0;
    startFits(w, series, alphabet, level);
    for (std::size_t g = 0; g < patterns.size(); ++g) {
        const std::span<const int32_t> pattern = patterns[g];
        const int patternLayers =
            static_cast<int>(std::min<std::size_t>(pattern.size(), series.wMaxPulses));
        if (patternLayers == 0 || !isValidTuple(pattern, alphabet.size())) continue;
        PatternSearch search(w, series, pattern, patternLayers, kSearchStartValue, tmin, tmax);
        const int32_t criterion = search.run(sink, debuggingRepeat != 0);
        if (criterion < best) {
            best = criterion;
            recognised = static_cast<int>(g + 1);
            std::swap(w.best, w.restored);
            std::swap(w.bestTuples, w.tuples);
            insertChain(chains, criterion, w.best.n, w.best.view());
        } else {
            insertChain(chains, criterion, w.restored.n, w.restored.view());
        }
    }
    writeResult(series, w.best, w.bestTuples);
    series.wTupleCriterion = static_cast<int16_t>(recognised);
    if (chains) chains->wSeekingPulsesQuantity = static_cast<uint16_t>(w.best.n);
    debuggingRepeat = 0;
    return recognised;
}

}  // namespace etalon
