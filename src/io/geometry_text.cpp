#include "io/geometry_text.h"

#include "series/series_generator.h"

namespace etalon::io {

std::string geometryFaultText(uint32_t length, uint16_t pulseLength, uint16_t tmin, uint16_t tmax,
                              const GeometryWords& words) {
    const std::string etalon = "the etalon length " + std::to_string(pulseLength);
    switch (seriesGeometryFault(length, pulseLength, tmin, tmax)) {
        case GeometryFault::None:
            return {};
        case GeometryFault::NoTmin:
            return words.tmin + " leaves no distance between pulses";
        case GeometryFault::TminAboveTmax:
            return words.tmin + " is above " + words.tmax;
        case GeometryFault::PulseLongerThanTmax:
            return words.tmax + " is below " + etalon;
        case GeometryFault::SeriesShorterThanPulse:
            return words.length + " is below " + etalon;
        case GeometryFault::SeriesTooLong:
            return words.length + " is above " + std::to_string(INT16_MAX);
        case GeometryFault::NoPulseCount:
            break;
    }
    const PulseCountBounds b = pulseCountBounds(length, pulseLength, tmin, tmax);
    return words.length + " with " + words.tmin + " and " + words.tmax + " needs at least " +
           std::to_string(b.minPulses) + " pulses and holds at most " + std::to_string(b.maxPulses);
}

}  // namespace etalon::io
