#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "graphs/series_graph.h"
#include "platform/device_context.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon {

// Pieces the results view and the statistics view draw alike.

// What the matched filter contributes to either view is drawn in this colour.
inline constexpr platform::Color kMatchedFilterColour{0, 140, 100};
// Asked for on a tuples run, which it does not restore.
inline constexpr char kNoMatchedFilterForTuples[] = "No matched filter for tuples tasks.";

// The etalon a 1-based number names in the series' pulse list, or null.
const PulseHeader* etalonOf(const SeriesHeader& series, int32_t number);

// The text cut after its last blank-separated item that fits, with " ..."
// appended, so that it takes at most maxWidth pixels in the selected font.
std::string fittedText(const platform::DeviceContext& dc, const std::string& text,
                       int32_t maxWidth);

// The frame around the graph rectangle.
void drawGraphFrame(platform::DeviceContext& dc, const SeriesGraphGeometry& g);

// The strip's outline, as rectangle() takes it.
platform::Rect etalonStripFrame(const SeriesGraphGeometry& g);

// The strip of the working set's etalons with its title; the etalon `found`
// (0: none) is drawn on grey.
void drawEtalonStrip(platform::DeviceContext& dc, const SeriesGraphGeometry& g,
                     const SeriesHeader& series, uint16_t count, std::span<const uint16_t> list,
                     int16_t amplitude, int32_t found);

// A pattern box: left, top, width and height.
struct PatternBox {
    int32_t bx = 0, by = 0, bw = 0, bh = 0;
};
// The box's outline starts a quarter line above its top, where the title crosses it.
platform::Rect patternBoxFrame(const PatternBox& box, int32_t lineHeight);
void drawPatternBoxFrame(platform::DeviceContext& dc, const PatternBox& box, int32_t lineHeight);
// The title, across the top edge near the right end.
void drawPatternBoxTitle(platform::DeviceContext& dc, const PatternBox& box,
                         const std::string& title);

// A row of etalon glyphs: cell j spans x + gx .. x + cw - 2 gx and top .. bottom,
// x starting at x0 and advancing by cw + gx.
struct GlyphRow {
    int32_t x0 = 0, top = 0, bottom = 0, gx = 0, cw = 0;
};
void drawEtalonRow(platform::DeviceContext& dc, const SeriesHeader& series,
                   std::span<const int16_t> etalons, int16_t amplitude, int mark,
                   const GlyphRow& row);

}  // namespace etalon
