#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pulses/pulse_header.h"

namespace etalon {

// Sums of the dynamic programmes are 32-bit and unchecked: they wrap instead
// of being undefined, so every implementation gets the same value.
inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Partial energies of one etalon: pe[0] = 0, pe[j + 1] = pe[j] + e_j^2; the
// total and the threshold a kept window must exceed at saved-energy level S.
struct EtalonEnergy {
    std::vector<int32_t> pe;  // L + 1 entries
    int32_t total = 0;
    int32_t threshold = 0;
};

// Whether any window of the etalon keeps more than the threshold of its
// energy; if none does, every fit is the whole pulse.
bool keepsAnyWindow(const EtalonEnergy& energy);

// The threshold S * T / 100 in 32-bit arithmetic, truncated toward zero.
int32_t savedEnergyThreshold(uint16_t level, int32_t total);

void computeEtalonEnergy(std::span<const int16_t> samples, uint16_t level, EtalonEnergy& out);

// Best fit of one etalon (or of a list) at one position: the change of the
// residual energy when window [b, f] of the etalon is subtracted there.
struct PulseFit {
    int32_t value = 0;
    int32_t index = 0;  // alphabet index (etalon number - 1); fitPulseList only
    int16_t begin = 0;
    int16_t end = 0;
};

// The whole pulse, or the first strictly better window holding more than the
// threshold of the energy (windows ordered by start, then end).
PulseFit fitPulse(std::span<const int16_t> series, std::span<const int16_t> etalon,
                  const EtalonEnergy& energy, int32_t x);

// The best fit over a list of etalons; ties keep the earlier list entry.
PulseFit fitPulseList(std::span<const int16_t> series, std::span<const PulseHeader> alphabet,
                      std::span<const uint16_t> etalons, std::span<const EtalonEnergy> energies,
                      int32_t x);

// Fits of one etalon over a range of positions, computed once and shared by
// every layer and every pass that needs them. The whole-pulse values come from
// one correlation over the range; windows cost O(L) per position with prefix
// sums and a suffix minimum. The programmes need every value but the window
// only where a chain's pulse lies, so at() finds it there.
class FitTable {
  public:
    // Makes room for `count` positions of a pulse of `length` samples, so
    // that compute allocates nothing; throws std::bad_alloc.
    void reserve(std::size_t count, std::size_t length);
    // Fits positions [first, last] of `series` (last + L <= series size).
    // `pairs`, when given, holds the series' samples i and i + 1 of every i
    // from first on as one 32-bit word (see FitCache), for at least
    // last - first + 1 + L + kPairsPadding words.
    void compute(std::span<const int16_t> series, std::span<const int16_t> etalon,
                 const EtalonEnergy& energy, int32_t first, int32_t last,
                 const int32_t* pairs = nullptr);
    static constexpr int32_t kPairsPadding = 32;

    int32_t first() const { return first_; }
    int32_t last() const { return last_; }
    // fitPulse at every position: values()[x - first()] and its window.
    const int32_t* values() const { return value_.data(); }
    PulseFit at(int32_t x) const {
        const int32_t i = x - first_;
        if (!windows_) return {value_[i], 0, 0, static_cast<int16_t>(length_ - 1)};
        return windowAt(i);
    }

  private:
    PulseFit windowAt(int32_t i) const;

    const int16_t* series_ = nullptr;  // at first()
    const int16_t* etalon_ = nullptr;
    int32_t first_ = 0;
    int32_t last_ = -1;
    int32_t length_ = 0;
    int32_t lowestSuffix_ = 0;
    bool windows_ = false;  // whether any window may replace a whole pulse
    std::vector<int32_t> value_;
    mutable std::vector<int32_t> positionPrefix_;  // windowAt's prefix sums
    // Per start b: the least end that keeps enough energy, or -1.
    std::vector<int16_t> leastEnd_;
    std::vector<int16_t> order_;   // admissible starts, latest least end first
    std::vector<int32_t> prefix_;  // per window end, a chunk of positions
    std::vector<int16_t> padded_;
    std::vector<int32_t> etalonPairs_;
};

// Whole-pulse fits of up to eight etalons at `count` positions from `first`,
// side by side: out[p * 8 + lane] = T - 2 * correlation at first + p. Lanes
// past the list hold 0. Etalons shorter than the others count as padded with
// zeros; `first + count - 1 + longest` must not pass the series. `scratch`
// holds 8 * (longest + 1) values.
void fitWholeLanes(std::span<const int16_t> series, int32_t first, int32_t count,
                   std::span<const std::span<const int16_t>> etalons,
                   std::span<const int32_t> totals, int32_t* scratch, int32_t* out);

// The fits of every etalon a run needs, over one range of positions, each
// computed at most once per run.
class FitCache {
  public:
    // Sizes the cache for the alphabet and the range; throws std::bad_alloc.
    void reserve(std::size_t alphabetSize, std::size_t positions, std::size_t length);
    // Forgets the fits of the previous run.
    // Pulses are `length` samples long (etalons shorter than that are cut
    // to what they hold).
    void begin(std::span<const int16_t> series, std::span<const PulseHeader> alphabet,
               uint16_t length, uint16_t level, int32_t first, int32_t last);
    std::span<const int16_t> samples(int32_t index) const;
    const EtalonEnergy& energy(int32_t index);
    const FitTable& fits(int32_t index);

  private:
    void makePairs();

    std::span<const int16_t> series_;
    std::span<const PulseHeader> alphabet_;
    uint16_t length_ = 0;
    uint16_t level_ = 0;
    int32_t first_ = 0, last_ = -1;
    std::vector<EtalonEnergy> energies_;
    std::vector<FitTable> tables_;
    std::vector<uint8_t> hasEnergy_, hasFits_;
    std::size_t reservedEtalons_ = 0, reservedPositions_ = 0, reservedLength_ = 0;
    // The series' samples in overlapping pairs, shared by every etalon's
    // whole-pulse fits; made at the first fits of a run.
    std::vector<int32_t> pairs_;
    bool hasPairs_ = false;
};

}  // namespace etalon
