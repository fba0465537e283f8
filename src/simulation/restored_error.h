#pragma once

#include <cstdint>

#include "series/series_header.h"

namespace etalon {

// How well the restored pulses rebuild the series: the sum of squared
// differences between lpPureData and the series rebuilt from the restored
// pulses (each kept window of its etalon at its position, zero elsewhere),
// over the dwSeriesSize samples. The sum is a signed 32-bit value, wrapping
// as one; with nothing restored it is the energy of lpPureData.
int32_t getRestoredError(const SeriesHeader& series);

}  // namespace etalon
