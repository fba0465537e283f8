#pragma once

#include <cstdint>
#include <span>

#include "platform/device_context.h"
#include "platform/geometry.h"
#include "processing/chains_header.h"
#include "series/series_header.h"

namespace etalon {

// How the results view marks the tuples it found.
enum class TuplesHighlight : uint16_t { None = 0, DottedFrame = 1, ColouredBackground = 2 };

// The display settings the results view honours.
struct SeriesGraphSettings {
    int32_t bFrameGraphFields = 1;
    int32_t bShadedOriginalPulses = 1;
    int32_t bHighlightDetectedPulses = 1;
    TuplesHighlight wTuplesHighlight = TuplesHighlight::ColouredBackground;
    int32_t bSpecialGraphSize = 0;  // fixed 618 x 112 panels, unframed
};

// Where and how the results view is drawn, as the painting layout and the
// subset panel state give it.
struct SeriesGraphView {
    platform::Rect rcGraph;  // right and bottom inclusive
    int32_t nLineHeight = 0;
    SeriesGraphSettings settings;
    int32_t pickedReserved = 0;  // 1-based reserved subset picked on the subset panel; 0 none
    // Receives the rows of the listed reserved subsets, for clicks on them;
    // rows beyond its size are not recorded, and entries not drawn are cleared.
    std::span<platform::Rect> listedReservedRects;
    // A loaded recording has no true pulses: the view says so where it would show them.
    bool truthKnown = true;
    // The same series as the matched filter restored it: its pulses are marked
    // in kMatchedFilterColour along the top of the restored panel, named
    // beside the restoration error. Null: today's picture.
    const SeriesHeader* matchedFilter = nullptr;
    // The marks were asked for: a tuples run, which has none, says so.
    bool matchedFilterWanted = false;
};

// Positions of everything in the results view, from the graph rectangle,
// the line height and the number of etalons in the strip.
struct SeriesGraphGeometry {
    int32_t L = 0, T = 0, R = 0, B = 0, W = 0, H = 0, lh = 0;
    int32_t ML = 0, MT = 0, MT2 = 0, PW = 0, PH = 0, CW = 0;
    int32_t X0 = 0, Y1 = 0, Y2 = 0, Y3 = 0, Y4 = 0;
    // Etalon strip: rows, left, top, width, available and needed height, cell height.
    int32_t rows = 0, AX = 0, AY = 0, AW = 0, AH = 0, AN = 0, CH = 0;

    platform::Rect panel(int k) const;  // k = 1, 2, 3
    platform::Rect stripCell(int item) const;
};
SeriesGraphGeometry seriesGraphGeometry(const platform::Rect& rcGraph, int32_t lineHeight,
                                        bool specialSize, int32_t requiredCount);

// The results view: header, the true, observed and restored series, the
// etalon strip, the restored pulses, the restoration error, the ranked
// chains against the truth and, for tuple series, the pattern box. Without
// a series nothing is drawn; without a results record the chain table is
// left out. Returns 1.
int DrawSeriesGraph(platform::DeviceContext& dc, const SeriesGraphView& view,
                    uint16_t requiredCount, std::span<const uint16_t> requiredList,
                    const ChainsHeader* chains, const SeriesHeader* series);

}  // namespace etalon
