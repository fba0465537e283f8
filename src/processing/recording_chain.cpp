#include "processing/recording_chain.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "processing/recording_fit.h"
#include "processing/restoring_stop.h"

namespace etalon {

namespace {

constexpr int64_t kUnreached = std::numeric_limits<int64_t>::max();
// Markers of a chain's first pulse where a predecessor would be.
constexpr int64_t kStart = -1;
constexpr int64_t kNoPredecessor = -2;  // unreached position

// Where a pulse may start, straight from the geometry: as the first pulse
// of a chain (its end within the first Tmax samples), as a later one (some
// number of steps of Tmin..Tmax from a first one), with the rest of a chain
// after it reaching a last pulse that starts within the last Tmax samples.
// Positions that are both are scanned as first-or-later: they start a chain
// unless a chain before them has a negative criterion.
class PositionClassOf {
  public:
    enum Class : uint8_t { None, FirstOnly, FirstOrLater, LaterOnly };

    PositionClassOf(int64_t n, int64_t length, const RecordingGeometry& g)
        : n_(n), length_(length), tmin_(g.tmin), tmax_(g.tmax.value_or(0)), bounded_(g.tmax) {}

    // Where x stands against Tmin: x = q * Tmin + r, and the rest of the
    // recording after x likewise; stepped one position at a time without a
    // division.
    struct Cursor {
        int64_t x, q, r, restQ, restR;
    };
    Cursor cursor(int64_t x) const {
        const int64_t rest = std::max<int64_t>(n_ - length_ - x, 0);
        return {x, x / tmin_, x % tmin_, rest / tmin_, rest % tmin_};
    }
    void advance(Cursor& c) const {
        ++c.x;
        if (++c.r == tmin_) {
            c.r = 0;
            ++c.q;
        }
        if (c.restR-- == 0) {
            c.restR = tmin_ - 1;
            --c.restQ;
        }
    }

    Class at(const Cursor& c) const {
        const int64_t x = c.x;
        if (x > n_ - length_) return None;
        if (!bounded_) return x < tmin_ ? FirstOnly : FirstOrLater;
        // Some m >= 0 steps of Tmin..Tmax from x land in [N - Tmax, N - L]:
        // the most steps that fit before N - L leave the lowest start to reach.
        if (x < n_ - tmax_ * (c.restQ + 1)) return None;
        const bool first = x <= tmax_ - length_;
        const bool later = x >= tmin_ && tmax_ * (c.q + 1) - length_ >= x;
        return first ? (later ? FirstOrLater : FirstOnly) : (later ? LaterOnly : None);
    }
    // Whether a chain may end with a pulse at x (given that it reaches x).
    bool endsAt(int64_t x) const { return x <= n_ - length_ && (!bounded_ || x >= n_ - tmax_); }
    bool bounded() const { return bounded_; }
    int64_t tmin() const { return tmin_; }
    int64_t tmax() const { return tmax_; }

  private:
    int64_t n_, length_, tmin_, tmax_;
    bool bounded_;
};

// Running minimum of the values that entered, earliest position on ties,
// over a window whose oldest positions leave it: the increasing run of
// candidates in a ring that grows by doubling.
class WindowMinimum {
  public:
    struct Entry {
        int64_t position;
        int64_t value;
    };
    void enter(int64_t position, int64_t value) {
        while (count_ > 0 && back().value > value)
            --count_;
        if (count_ == ring_.size()) grow();
        ring_[(head_ + count_) & (ring_.size() - 1)] = {position, value};
        ++count_;
    }
    void leaveBefore(int64_t position) {
        while (count_ > 0 && ring_[head_].position < position) {
            head_ = (head_ + 1) & (ring_.size() - 1);
            --count_;
        }
    }
    // Without a window's end nothing leaves, so only the least can ever be read.
    void keepLeastOnly() { count_ = std::min<std::size_t>(count_, 1); }
    const Entry* least() const { return count_ == 0 ? nullptr : &ring_[head_]; }
    std::vector<Entry> entries() const {
        std::vector<Entry> out(count_);
        for (std::size_t i = 0; i < count_; ++i)
            out[i] = ring_[(head_ + i) & (ring_.size() - 1)];
        return out;
    }
    void assign(const std::vector<Entry>& entries) {
        ring_.assign(std::bit_ceil(std::max<std::size_t>(entries.size(), 16)), Entry{});
        std::copy(entries.begin(), entries.end(), ring_.begin());
        head_ = 0;
        count_ = entries.size();
    }

  private:
    const Entry& back() const { return ring_[(head_ + count_ - 1) & (ring_.size() - 1)]; }
    void grow() {
        std::vector<Entry> now = entries();
        ring_.assign(std::max<std::size_t>(ring_.size() * 2, 16), Entry{});
        std::copy(now.begin(), now.end(), ring_.begin());
        head_ = 0;
    }

    std::vector<Entry> ring_;
    std::size_t head_ = 0, count_ = 0;
};

// A value and its class, kept for Tmin positions until it enters the windows.
struct Pending {
    int64_t value = kUnreached;
    uint8_t cls = PositionClassOf::None;
};

// Everything the sweep carries from one position to the next.
struct SweepState {
    WindowMinimum firsts;  // first-only and first-or-later values (the second pass reads these)
    WindowMinimum all;     // every reached value (the third pass reads these)
    std::vector<Pending> pending;  // ring of the last Tmin positions
};

struct Snapshot {
    int64_t position = 0;
    std::vector<WindowMinimum::Entry> firsts, all;
    std::vector<Pending> pending;
    std::size_t bytes() const {
        return (firsts.size() + all.size()) * sizeof(WindowMinimum::Entry) +
               pending.size() * sizeof(Pending) + sizeof(Snapshot);
    }
};

constexpr std::size_t kSnapshotBudget = std::size_t{16} << 20;
constexpr int64_t kFirstSegment = int64_t{1} << 16;
constexpr int64_t kStopEvery = 4096;

// One sweep over the recording with the fits of one etalon (recognition) or
// the best of the list (detection).
class Sweep {
  public:
    Sweep(const RecordingChainRequest& r, const RecordingFits& fits, std::span<const int32_t> list,
          int64_t sweepsBefore, int64_t sweeps)
        : r_(r),
          fits_(fits),
          list_(list),
          n_(static_cast<int64_t>(r.samples.size())),
          classes_(n_, fits.length(), r.geometry),
          stop_(r.stop),
          progressBase_(sweepsBefore * n_),
          progressTotal_(sweeps * n_) {}

    // The whole recording: the end of the best chain, or -1.
    int64_t run() {
        SweepState state;
        state.pending.resize(static_cast<std::size_t>(classes_.tmin()));
        segment_ = kFirstSegment;
        snapshots_.clear();
        snapshotBytes_ = 0;
        bestEnd_ = kUnreached;
        end_ = -1;
        const int64_t last = n_ - fits_.length();
        PositionClassOf::Cursor c = classes_.cursor(0);
        for (int64_t x = 0; x <= last; ++x, classes_.advance(c)) {
            if ((x & (segment_ - 1)) == 0) keep(state, x);
            if (x % kStopEvery == 0) tick(x);
            int64_t pred = 0;
            const Pending at = step(state, c, pred);
            if (at.value != kUnreached && classes_.endsAt(x) && at.value < bestEnd_) {
                bestEnd_ = at.value;
                end_ = x;
            }
        }
        if (r_.progress) r_.progress(progressBase_ + n_, progressTotal_);
        return end_;
    }
    int64_t bestValue() const { return bestEnd_; }

    // The chain ending at `end`, first pulse first, read back segment by
    // segment from the snapshots.
    std::vector<RecordingPulse> chainTo(int64_t end) {
        std::vector<RecordingPulse> reversed;
        std::vector<int64_t> preds;
        int64_t x = end;
        while (x >= 0) {
            const auto s =
                std::upper_bound(snapshots_.begin(), snapshots_.end(), x,
                                 [](int64_t p, const Snapshot& k) { return p < k.position; }) -
                1;
            SweepState state;
            state.firsts.assign(s->firsts);
            state.all.assign(s->all);
            state.pending = s->pending;
            const int64_t from = s->position;
            preds.assign(static_cast<std::size_t>(x - from + 1), kNoPredecessor);
            PositionClassOf::Cursor c = classes_.cursor(from);
            for (int64_t z = from; z <= x; ++z, classes_.advance(c)) {
                if (z % kStopEvery == 0) StopFlag(stop_).check();
                step(state, c, preds[static_cast<std::size_t>(z - from)]);
            }
            while (x >= from) {
                const Fit fit = fits_.best(r_.samples, list_, x);
                reversed.push_back({x, static_cast<uint16_t>(fit.etalon + 1),
                                    static_cast<uint16_t>(fit.begin),
                                    static_cast<uint16_t>(fit.end)});
                x = preds[static_cast<std::size_t>(x - from)];
            }
        }
        return {reversed.rbegin(), reversed.rend()};
    }

  private:
    // The value of x, entering the position Tmin before it into the windows.
    Pending step(SweepState& state, const PositionClassOf::Cursor& c, int64_t& pred) {
        const int64_t x = c.x;
        const int64_t tmin = classes_.tmin();
        Pending& slot = state.pending[static_cast<std::size_t>(c.r)];
        if (x >= tmin && slot.value != kUnreached) {
            const int64_t z = x - tmin;
            if (slot.cls == PositionClassOf::FirstOnly || slot.cls == PositionClassOf::FirstOrLater)
                state.firsts.enter(z, slot.value);
            if (classes_.bounded()) state.all.enter(z, slot.value);
        }
        if (classes_.bounded()) {
            state.firsts.leaveBefore(x - classes_.tmax());
            state.all.leaveBefore(x - classes_.tmax());
        } else {
            state.firsts.keepLeastOnly();
        }
        Pending now;
        now.cls = classes_.at(c);
        pred = kNoPredecessor;
        if (now.cls != PositionClassOf::None) {
            int64_t before = 0;
            pred = kStart;
            if (now.cls == PositionClassOf::FirstOrLater) {
                const WindowMinimum::Entry* least = state.firsts.least();
                if (least && least->value < 0) {
                    before = least->value;
                    pred = least->position;
                }
            } else if (now.cls == PositionClassOf::LaterOnly) {
                const WindowMinimum::Entry* least = state.all.least();
                if (least) {
                    before = least->value;
                    pred = least->position;
                } else {
                    pred = kNoPredecessor;
                }
            }
            if (pred != kNoPredecessor) now.value = before + fitAt(x).value;
        }
        slot = now;
        return now;
    }

    // The fits come a block of positions at a time.
    const Fit& fitAt(int64_t x) {
        if (x < blockFirst_ || x >= blockEnd_) {
            blockFirst_ = x;
            blockEnd_ = std::min(x + kRecordingFitBlock, n_ - fits_.length() + 1);
            fits_.bestBlock(r_.samples, list_, blockFirst_, blockEnd_ - blockFirst_, block_);
        }
        return block_[static_cast<std::size_t>(x - blockFirst_)];
    }

    // A snapshot at x; when they hold too much, every other one goes.
    void keep(const SweepState& state, int64_t x) {
        snapshots_.push_back({x, state.firsts.entries(), state.all.entries(), state.pending});
        snapshotBytes_ += snapshots_.back().bytes();
        while (snapshotBytes_ > kSnapshotBudget && snapshots_.size() > 1) {
            segment_ *= 2;
            std::vector<Snapshot> kept;
            snapshotBytes_ = 0;
            for (Snapshot& s : snapshots_) {
                if ((s.position & (segment_ - 1)) != 0) continue;
                snapshotBytes_ += s.bytes();
                kept.push_back(std::move(s));
            }
            snapshots_ = std::move(kept);
        }
    }

    void tick(int64_t x) {
        StopFlag(stop_).check();
        if (r_.progress) r_.progress(progressBase_ + x, progressTotal_);
    }

    const RecordingChainRequest& r_;
    const RecordingFits& fits_;
    std::span<const int32_t> list_;  // alphabet indices
    int64_t n_;
    PositionClassOf classes_;
    const std::atomic<bool>* stop_;
    int64_t progressBase_, progressTotal_;
    int64_t segment_ = kFirstSegment;
    std::vector<Snapshot> snapshots_;
    std::size_t snapshotBytes_ = 0;
    int64_t bestEnd_ = kUnreached;
    int64_t end_ = -1;
    std::vector<Fit> block_;
    int64_t blockFirst_ = 0, blockEnd_ = 0;
};

void checkRequest(const RecordingChainRequest& r) {
    if (r.etalons.empty()) throw RecordingRefused("no etalon to look for");
    if (r.alphabet.empty()) throw RecordingRefused("the alphabet is empty");
    const std::size_t length = r.alphabet[0].samples().size();
    if (length == 0) throw RecordingRefused("the etalons have no samples");
    for (uint16_t e : r.etalons) {
        if (e < 1 || e > r.alphabet.size())
            throw RecordingRefused("etalon " + std::to_string(e) + " is outside 1.." +
                                   std::to_string(r.alphabet.size()));
        if (r.alphabet[e - 1].samples().size() != length)
            throw RecordingRefused("etalon " + std::to_string(e) + " has " +
                                   std::to_string(r.alphabet[e - 1].samples().size()) +
                                   " samples, etalon 1 " + std::to_string(length));
    }
    const RecordingGeometry& g = r.geometry;
    if (g.tmin < 1) throw RecordingRefused("Tmin " + std::to_string(g.tmin) + " is below 1");
    if (g.tmax && *g.tmax < g.tmin)
        throw RecordingRefused("Tmax " + std::to_string(*g.tmax) + " is below Tmin " +
                               std::to_string(g.tmin));
    if (g.tmax && *g.tmax < static_cast<int64_t>(length))
        throw RecordingRefused("Tmax " + std::to_string(*g.tmax) + " is shorter than a pulse of " +
                               std::to_string(length) + " samples");
}

}  // namespace

void refuseWrappingSums(std::span<const int16_t> samples, std::span<const PulseHeader> alphabet,
                        std::span<const uint16_t> etalons, int64_t tmin) {
    if (etalons.empty() || alphabet.empty() || tmin < 1) return;
    const auto length = static_cast<int64_t>(alphabet[0].samples().size());
    const auto size = static_cast<int64_t>(samples.size());
    if (size < length) return;
    int32_t largest = 0;
    for (const int16_t x : samples)
        largest = std::max<int32_t>(largest, std::abs(int32_t{x}));
    __int128 perPulse = 0;
    for (const uint16_t e : etalons) {
        __int128 energy = 0, magnitudes = 0;
        for (const int16_t v : alphabet[e - 1].samples()) {
            energy += int64_t{v} * v;
            magnitudes += std::abs(int32_t{v});
        }
        perPulse = std::max(perPulse, energy + 2 * magnitudes * largest);
    }
    const int64_t pulses = (size - length) / tmin + 1;
    if (perPulse * pulses <= std::numeric_limits<int64_t>::max()) return;
    throw RecordingRefused("the 64-bit sums of chains of up to " + std::to_string(pulses) +
                           " pulses (" + std::to_string(size) + " samples, Tmin " +
                           std::to_string(tmin) + ") could wrap: a pulse's fit reaches " +
                           std::to_string(static_cast<int64_t>(perPulse)) +
                           " with these etalons and samples of magnitude up to " +
                           std::to_string(largest) + "; choose a larger Tmin or a shorter span");
}

RecordingChainResult restoreRecordingChain(const RecordingChainRequest& request) {
    checkRequest(request);
    refuseWrappingSums(request.samples, request.alphabet, request.etalons, request.geometry.tmin);
    RecordingChainResult result;
    const RecordingFits fits(request.alphabet, request.processingLevel);
    if (static_cast<int64_t>(request.samples.size()) < fits.length()) {
        if (!request.geometry.tmax && request.task == RecordingTask::Detection)
            result.chains.push_back({});
        return result;
    }
    std::vector<int32_t> list;
    for (uint16_t e : request.etalons) {
        // A repeated candidate can only tie with its first entry.
        if (request.task == RecordingTask::Recognition &&
            std::find(list.begin(), list.end(), e - 1) != list.end())
            continue;
        list.push_back(e - 1);
    }
    const bool unbounded = !request.geometry.tmax;
    const auto chainOf = [&](std::span<const int32_t> sublist, int64_t sweepsBefore,
                             int64_t sweeps) -> std::optional<RecordingChain> {
        Sweep sweep(request, fits, sublist, sweepsBefore, sweeps);
        const int64_t end = sweep.run();
        // Without a Tmax, no pulse at all explains more than a chain that does not lower
        // the criterion.
        if (unbounded && (end < 0 || sweep.bestValue() >= 0)) return RecordingChain{};
        if (end < 0) return std::nullopt;
        return RecordingChain{sweep.bestValue(), 0, sweep.chainTo(end)};
    };
    if (request.task == RecordingTask::Detection) {
        if (auto chain = chainOf(list, 0, 1)) result.chains.push_back(std::move(*chain));
        return result;
    }
    const auto count = static_cast<int64_t>(list.size());
    for (int64_t i = 0; i < count; ++i) {
        auto chain = chainOf(std::span(list).subspan(static_cast<std::size_t>(i), 1), i, count);
        if (!chain) continue;
        chain->etalon = static_cast<uint16_t>(list[static_cast<std::size_t>(i)] + 1);
        result.chains.push_back(std::move(*chain));
    }
    std::stable_sort(
        result.chains.begin(), result.chains.end(),
        [](const RecordingChain& a, const RecordingChain& b) { return a.criterion < b.criterion; });
    return result;
}

std::size_t recordingChainMemoryNeed(const RecordingChainRequest& request) {
    const RecordingGeometry& g = request.geometry;
    const std::size_t length = request.alphabet.empty() ? 0 : request.alphabet[0].samples().size();
    const auto n = static_cast<std::size_t>(request.samples.size());
    const std::size_t tmin = static_cast<std::size_t>(std::max<int64_t>(g.tmin, 1));
    const std::size_t window =
        g.tmax ? static_cast<std::size_t>(std::max<int64_t>(*g.tmax - g.tmin + 1, 1)) : 1;
    const std::size_t state = 2 * window * 16 + tmin * sizeof(Pending);
    // The snapshots stay within their budget unless one alone passes it; a
    // segment read back holds a predecessor per position.
    const std::size_t snapshots = std::max(kSnapshotBudget, 2 * state);
    const std::size_t segment =
        8 *
        std::min<std::size_t>(n, std::max<std::size_t>(kFirstSegment, n * state / kSnapshotBudget));
    return 2 * state + snapshots + segment +
           recordingFitsMemoryNeed(request.alphabet.size(), length);
}

}  // namespace etalon
