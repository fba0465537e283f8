#pragma once

#include <cstdint>
#include <span>

namespace etalon {

// Shape generators; each writes out.size() samples, truncating toward zero.
void makeHalfSine(int amplitude, std::span<int16_t> out);
void makeSinePeriod(int amplitude, std::span<int16_t> out);
void makeModulatedSine(int amplitude, int riseLength, int periods, std::span<int16_t> out);
// `periods` is accepted for symmetry with makeModulatedSine and not used.
void makeExpPulse(int amplitude, int riseLength, int periods, std::span<int16_t> out);

// Copies a pulse onto another length by integer linear interpolation.
void resamplePulse(std::span<const int16_t> source, std::span<int16_t> target);
// The same, then negates every target sample.
void makeNegativePulse(std::span<const int16_t> source, std::span<int16_t> target);

}  // namespace etalon
