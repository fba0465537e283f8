#pragma once

#include <cstdint>
#include <vector>

#include "processing/intervals_header.h"
#include "processing/restored_chain.h"
#include "processing/window_minima.h"

namespace etalon {

// The dynamic programme over series positions for an unknown pulse count:
// V[x] is the best criterion of a chain whose last pulse starts at x. The
// start of the pulse before it (-1 and -2 end a chain) is only needed along
// the chain that is read out, so it is searched for there, as the values were.
class PositionChain {
  public:
    // Sizes the tables for a series of n samples; throws std::bad_alloc.
    void reserve(std::size_t n);

    // Every table at its start value where it is read before being written:
    // values unreached where the classes say so (every class position is
    // written in its turn); fits unreached and etalon index 0 outside the
    // positions about to be fitted.
    void clear(std::size_t n, const PositionClasses& classes);
    // Fit tables, to be filled at the fitted positions.
    int32_t* fit() { return fit_.data(); }
    int32_t* etalon() { return etalon_.data(); }
    // Reads the fits from `values` (the fit at x is values[x - first]) instead
    // of the own table until the next clear: one etalon's table as it is.
    void useFits(const int32_t* values, int32_t first) {
        fits_ = values;
        fitsFirst_ = first;
    }

    // Chain values class by class: first-only, first-or-later, later-only.
    // A set `stop` throws RestoringStopped between the passes.
    void run(const PositionClasses& classes, int32_t tmin, int32_t tmax, StopFlag stop = {});
    // The predecessor of x as the value of x was found: the leftmost best
    // position of its window, with the classes not computed by then unreached.
    int32_t predecessor(int32_t x) const;
    // Leftmost position of `ends` with the smallest value below `start`; -1 if none.
    int32_t findEnd(const PositionClasses& classes, int32_t start, int32_t& value) const;
    // Number of pulses of the chain ending at x.
    int chainLength(int32_t x) const;
    // Positions and etalon numbers of the chain ending at x, first pulse
    // first; `etalon` < 0 takes the etalon table's entry + 1. The windows are
    // left to the caller, who has the fits.
    void fillChain(int32_t x, int32_t etalon, RestoredChain& chain) const;

  private:
    static constexpr int32_t kChunk = 64;

    // Values of the ranges' positions, the window started and entered so far.
    void pass(const std::vector<PositionClasses::Range>& ranges, int32_t start, int32_t tmin);

    const PositionClasses* classes_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0;
    std::vector<int32_t> fit_, value_, etalon_;
    const int32_t* fits_ = nullptr;  // the fits read: fits_[x - fitsFirst_]
    int32_t fitsFirst_ = 0;
    WindowMinima window_;
};

}  // namespace etalon
