#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace etalon::io {

// How one source names the geometry's settings with their values: the options
// ("--tmin 200 (default)") or the fields of a series file ("wTmin 200").
struct GeometryWords {
    std::string length, tmin, tmax;
};

// Why no series of this geometry can be made, in words naming the settings;
// empty when some series can. The rule is the series generator's own.
std::string geometryFaultText(uint32_t length, uint16_t pulseLength, uint16_t tmin, uint16_t tmax,
                              const GeometryWords& words);

}  // namespace etalon::io
