#include "io/etalon_cut.h"

#include "io/sum_range.h"

namespace etalon::io {

std::string cutEtalon(std::span<const int16_t> samples, uint32_t first, uint16_t length,
                      uint16_t number, PulseHeader& out) {
    if (length < 1 || uint64_t{first} + length > samples.size())
        return "samples " + std::to_string(first) + ".." +
               std::to_string(uint64_t{first} + length - 1) + " leave the series of " +
               std::to_string(samples.size()) + " samples (0.." +
               std::to_string(samples.size() - 1) + ")";
    PulseHeader etalon;
    etalon.wNumber = number;
    etalon.wSize = etalon.wReservedSize = length;
    etalon.lpData.assign(samples.begin() + first, samples.begin() + first + length);
    int64_t energy = 0;
    for (int16_t v : etalon.lpData)
        energy += int64_t{v} * v;
    if (energy > kLargestEtalonEnergy)
        return "the etalon cut at sample " + std::to_string(first) + " has energy " +
               std::to_string(energy) + ", above " + std::to_string(kLargestEtalonEnergy) +
               ", where the 32-bit sums of its fits would wrap";
    out = std::move(etalon);
    return {};
}

}  // namespace etalon::io
