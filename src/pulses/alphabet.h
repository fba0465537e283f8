#pragma once

#include <cstdint>
#include <span>

#include "base/message_sink.h"
#include "pulses/pulse_header.h"

namespace etalon {

// Builds `count` etalons of `length` samples into the first entries of `table`:
// ten deterministic shapes in pairs of opposite sign, then random ones drawn
// from `alphabetNoise`. Returns 1 on success, 0 after a reported failure.
int makeAlphabet(MessageSink& sink, int amplitude, uint16_t count, uint16_t length,
                 std::span<PulseHeader> table, int16_t& alphabetNoise);

// Releases the sample buffers of the first `count` entries.
void freeAlphabet(std::span<PulseHeader> table, uint16_t count);

// Sum of squares of the etalon's samples.
int32_t pulseEnergy(const PulseHeader& pulse);

}  // namespace etalon
