#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/message_sink.h"
#include "platform/geometry.h"
#include "series/series_header.h"

namespace etalon {

// A grip line of the parameter diagram: end points, how far from it a
// pointer still grips it, and whether it is hovered or dragged.
struct GripLine {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0, tolerance = 0;
    int32_t hover = 0, drag = 0;
    bool operator==(const GripLine&) const = default;
};

struct Segment {
    platform::Point from, to;
    bool operator==(const Segment&) const = default;
};

// Everything the diagram draws that moves with the values, so a redraw can
// erase exactly what the last drawing left.
struct ParamsLines {
    Segment upperStart, upperEnd, lowerStart, lowerEnd;  // the four bound lines
    Segment countHorizontal, countVertical;              // at b and at pulse Q
    Segment aPlusMarker, bMinusMarker;
    bool operator==(const ParamsLines&) const = default;
};

// The values shown in brackets: those of the last full drawing.
struct ParamsSaved {
    int32_t pulses = 0, aPlus = 0, bMinus = 0, Tmin = 0, Tmax = 0, Mmax = 0, Mmin = 0;
    bool operator==(const ParamsSaved&) const = default;
};

// State of the parameter panel, built from the current series.
struct ParamsHeader {
    uint32_t dwAllocSeriesSize = 0;
    uint32_t dwSeriesSize = 0;
    int32_t Tmin = 0, Tmax = 0;
    int32_t wImpulseSize = 0;
    int32_t pulses = 0;
    int32_t Mmax = 0, Mmin = 0;
    int32_t a = 0, aPlus = 0, bMinus = 0, b = 0;
    int32_t wReservedAreas = 0, wAreas = 0;
    platform::Rect diagramRect{};
    std::vector<platform::Rect> pulsesSelectedAreas;  // one per pulse count Mmin..Mmax
    platform::Rect aPlusMarkerRect{}, bMinusMarkerRect{};
    platform::Rect plotRect{};
    int32_t aPlusHover = 0, bMinusHover = 0, aPlusDrag = 0, bMinusDrag = 0;
    int32_t redrawMode = 0;
    ParamsSaved saved;
    GripLine tmaxLine, tminLine;
    ParamsLines drawn;  // as last drawn
    bool anyDrawn = false;
    int32_t mx = 0, my = 0;  // the panel's margins at the last drawing
    bool operator==(const ParamsHeader&) const = default;
};

// Where the parameter panel put its buttons and the Tmin edit control.
struct ParamsPanelPlaces {
    platform::Rect cancel{}, ok{};
    platform::Rect edit{};  // x, y, x + width, y + height
    bool laidOut = false;
    bool operator==(const ParamsPanelPlaces&) const = default;
};

// Builds the panel's record from the series (or grows the given one); with
// no series the given record comes back unchanged. Null after a reported
// failure. The smallest pulse count is at least 1, as the generator has it.
std::unique_ptr<ParamsHeader> getParamsHeader(MessageSink& sink, const SeriesHeader* series,
                                              std::unique_ptr<ParamsHeader> header);
void freeParamsHeader(std::unique_ptr<ParamsHeader>& header);

// Whether the diagram has a pulse axis and a position axis to map onto; a
// series of at most one pulse or one with no room to place it has not.
bool hasDiagramScale(const ParamsHeader& h);

// Pixel positions on the plot. Degenerate scales map to the plot's edge
// rather than divide by zero.
int32_t pulseX(const ParamsHeader& h, int32_t k);
int32_t halfStepX(const ParamsHeader& h, int32_t halfSteps);  // k = halfSteps / 2
int32_t valueY(const ParamsHeader& h, int32_t v);

// The bound lines, the count lines and the markers where the current values put them.
ParamsLines paramsLines(const ParamsHeader& h);

// Places what presses and moves test against for a plot rectangle and the
// panel's margins: the pulse-count areas around the ticks (th high), the
// marker grips and the two grip lines.
void layoutParamsGrips(ParamsHeader& h, const platform::Rect& plotRect, int32_t mx, int32_t my,
                       int32_t th);

int hitTmaxLine(int32_t x, int32_t y, const ParamsHeader& h);
int hitTminLine(int32_t x, int32_t y, const ParamsHeader& h);
// The Tmax (Tmin) the dragged line through the point stands for; 0 when the
// line is not dragged or the point gives no value.
int32_t tmaxFromPoint(int32_t x, int32_t y, const ParamsHeader& h);
int32_t tminFromPoint(int32_t x, int32_t y, const ParamsHeader& h);
// A marker's position value at a pointer height; none without a scale.
std::optional<int32_t> markerValue(int32_t y, const ParamsHeader& h);
int isValidTmin(int32_t v, const ParamsHeader& h);
int isValidTmax(int32_t v, const ParamsHeader& h);

// The smallest and largest pulse counts the current values allow.
int32_t currentMmin(const ParamsHeader& h);
int32_t currentMmax(const ParamsHeader& h);

}  // namespace etalon
