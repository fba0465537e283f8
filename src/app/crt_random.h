#pragma once

#include <cstdint>

namespace etalon {

// The C runtime's rand(): state = state * 214013 + 2531011 (mod 2^32), result
// bits 16..30. Kept here so the random etalon sequences are the same on every
// platform; the state starts at 1, as an unseeded rand() does.
class CrtRandom {
  public:
    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }
    uint32_t state() const { return state_; }
    bool operator==(const CrtRandom&) const = default;

  private:
    uint32_t state_ = 1;
};

}  // namespace etalon
