#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "processing/chains_header.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_header.h"

namespace etalon::test {

// What a series is made from.
struct SeriesRecipe {
    uint16_t type = 1;
    uint32_t length = 1200;
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    int pulses = -1;  // fixed types: -1 is the middle of the count bounds
    uint16_t makingLevel = 100;
    int16_t noise = 20;
    std::vector<uint16_t> sequence;  // empty: all etalon 1
    std::vector<int32_t> subset;     // placed as the current subset when given
    uint16_t employment = 4;
};

// The alphabet and streams as the workbench starts with, and a series record.
class SeriesFromRecipe {
  public:
    SeriesFromRecipe();
    // Makes a series into series(); false when the generator refused.
    bool make(const SeriesRecipe& recipe);
    SeriesHeader& series() { return *series_; }
    const std::array<PulseHeader, kEtalonsNumber>& alphabet() const { return alphabet_; }
    RandomStreams& streams() { return streams_; }

  private:
    RandomStreams streams_;
    std::array<PulseHeader, kEtalonsNumber> alphabet_{};
    std::unique_ptr<SeriesHeader> series_;
};

// Fills every restored field with the same marks, so fields a procedure leaves
// alone compare equal too.
void markRestored(SeriesHeader& series);

std::unique_ptr<ChainsHeader> makeChains(uint16_t pulses, uint16_t chains = 10);

// Empty when equal; otherwise the first difference.
std::string diffSeries(const SeriesHeader& a, const SeriesHeader& b);
std::string diffChains(const ChainsHeader& a, const ChainsHeader& b);

}  // namespace etalon::test
