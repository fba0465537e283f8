#pragma once

#include <cstdint>
#include <span>

#include "graphs/series_graph.h"
#include "platform/device_context.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon {

// Pieces the results view and the statistics view draw alike.

// The etalon a 1-based number names in the series' pulse list, or null.
const PulseHeader* etalonOf(const SeriesHeader& series, int32_t number);

// The frame around the graph rectangle.
void drawGraphFrame(platform::DeviceContext& dc, const SeriesGraphGeometry& g);

// The strip of the working set's etalons with its title; the etalon `found`
// (0: none) is drawn on grey.
void drawEtalonStrip(platform::DeviceContext& dc, const SeriesGraphGeometry& g,
                     const SeriesHeader& series, uint16_t count, std::span<const uint16_t> list,
                     int16_t amplitude, int32_t found);

}  // namespace etalon
