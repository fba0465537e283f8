#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_context.h"
#include "platform/geometry.h"

namespace etalon {

// A label and the top-left corner the layout gives it.
struct Label {
    int32_t x = 0, y = 0;
    std::string text;
};

// Draws labels exactly where the layout puts them, or not at all: our letters
// are wider than the ones the layout was made for, so a label that would run
// into text already drawn (come nearer to it than a blank on the same rows),
// cross a frame or leave its area is left out rather than moved. Extents are
// measured in the font selected when a text is drawn.
class LabelPlacer {
  public:
    // Labels stay inside `area` (right and bottom excluded).
    LabelPlacer(platform::DeviceContext& dc, const platform::Rect& area) : dc_(dc), area_(area) {}

    // A frame outlined as rectangle() draws it (right and bottom excluded):
    // labels may lie inside or outside it, never across its edges.
    void addFrame(const platform::Rect& frame) { frames_.push_back(frame); }

    // Draws text that is always shown; labels keep clear of it.
    void drawText(int32_t x, int32_t y, std::string_view text);

    // Draws the label when it fits; returns whether it did.
    bool place(const Label& label);

    // A row or column of labels: the first, then the last, then the others
    // in order, each drawn when it fits. So the last label wins over the one
    // before it, and both ends show whenever they fit on their own.
    void placeAll(std::span<const Label> labels);

    // The cell a text would cover at (x, y) in the selected font.
    platform::Rect cellOf(int32_t x, int32_t y, std::string_view text) const;
    bool fits(const platform::Rect& cell) const;

  private:
    platform::DeviceContext& dc_;
    platform::Rect area_;
    std::vector<platform::Rect> frames_;
    std::vector<platform::Rect> taken_;  // cells of everything drawn
};

// Whether the cell meets an edge of the frame (both right and bottom excluded).
bool crossesFrame(const platform::Rect& cell, const platform::Rect& frame);

}  // namespace etalon
