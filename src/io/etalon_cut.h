#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pulses/pulse_header.h"

namespace etalon::io {

// Cuts `length` samples from `first` out of a series' samples as etalon
// `number` (1-based). Returns an empty string, or why not (the span leaves
// the series, or its energy would wrap the 32-bit
// sums); `out` is written only on success.
std::string cutEtalon(std::span<const int16_t> samples, uint32_t first, uint16_t length,
                      uint16_t number, PulseHeader& out);

}  // namespace etalon::io
