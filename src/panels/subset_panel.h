#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/geometry.h"
#include "pulses/pulse_header.h"

namespace etalon {

// State of the subset selection panel: the selection (the current subset
// being composed) and the reserved subsets for the recognition of tuples. The
// rectangles are laid out when the panel or the results view is drawn.
struct SubsetPanelState {
    static constexpr int kSelectionCapacity = 10;
    static constexpr int kReservedCapacity = 10;
    static constexpr int kMaxButtons = 6;

    std::array<int32_t, kSelectionCapacity> selectedSubset{};  // 1-based etalon numbers
    std::array<int32_t, kSelectionCapacity> selectedMarks{};   // 0 or 1 per selected etalon
    int32_t selectionCount = 0;
    int32_t selectionCapacity = 0;  // 10 once allocSubsetPanel ran

    std::array<int32_t, kReservedCapacity>
        selectedSubsetArraySize{};  // lengths of the reserved rows
    std::array<std::array<int32_t, kSelectionCapacity + 1>, kReservedCapacity> reservedSubsets{};
    int32_t reservedCapacity = 0;
    int32_t reservedCount = 0;
    int32_t pickedReserved = 0;  // 1-based; 0 = none
    int32_t markAll = 0;

    platform::Rect panelRect{};
    std::array<platform::Rect, kEtalonsNumber> offeredCellRects{};
    int32_t offeredCount = 0;  // cells laid out for the working list
    platform::Rect offeredAreaRect{};
    platform::Rect selectionAreaRect{};
    std::array<platform::Rect, kSelectionCapacity> possibleSubsetRect{};
    int32_t selectionCells = 0;  // cells the selection area shows
    std::array<platform::Rect, kMaxButtons> buttonsWhileSelectedSubsetRect{};
    int32_t buttonCount = 0;
    // Per reserved row: cells 0..9 and the row frame at 10.
    std::array<std::array<platform::Rect, kSelectionCapacity + 1>, kReservedCapacity>
        possibleSubsetArrayRect{};
    platform::Point reservedLabelAt{};
    // Where the results view lists the reserved subsets, one per row.
    std::array<platform::Rect, kReservedCapacity> listedReservedRects{};
    bool operator==(const SubsetPanelState&) const = default;
};

// The panel's buttons, by index; the tuples panel has all six.
enum SubsetPanelButton {
    kButtonDeleteAll,
    kButtonDelete,
    kButtonCancel,
    kButtonOk,
    kButtonAccept,
    kButtonClearAll
};
inline constexpr std::array<std::string_view, SubsetPanelState::kMaxButtons> kSubsetButtonTexts = {
    " Delete All ", " Delete ", " Cancel ", " OK ", " Accept ", " Clear All "};

// Prepares the panel once: the selection empty, the reserved store of 10 rows
// empty. Later calls change nothing. The storage is part of the state, so it
// cannot fail; returns 1.
int allocSubsetPanel(SubsetPanelState& panel);

// What the layout needs of the font and of the series.
struct SubsetPanelMetrics {
    int32_t textHeight = 0;
    int32_t aveCharWidth = 0;
    int32_t widestButtonText = 0;  // extent of the widest button text
};

// Lays the panel out in `panelRect` (right and bottom inclusive): `offered`
// cells for the working list in rows of 10 (`seriesEtalons` decides the rows),
// the selection cells (`maxPulses` of them, at most 10, in the plain panel;
// 10 in the tuples panel), the buttons and, for tuples, the reserved rows.
void layoutSubsetPanel(SubsetPanelState& panel, const platform::Rect& panelRect,
                       const SubsetPanelMetrics& metrics, int32_t seriesEtalons, int32_t offered,
                       int32_t maxPulses, bool tuples);

// Copies `entries` into reserved row `row` and sets its length when the row
// is below the capacity; returns the next row, or `row` when it was full.
int32_t storeSubsetRow(
    std::span<const int32_t> entries, std::span<int32_t> lengths,
    std::span<std::array<int32_t, SubsetPanelState::kSelectionCapacity + 1>> rows, int32_t row,
    int32_t capacity);

// The selection edits the panel's presses make.
void removeMarkedSelected(SubsetPanelState& panel);
// Appends an etalon, unmarked, while fewer than 10 are selected.
void appendSelected(SubsetPanelState& panel, int32_t etalon);
// Clears every mark, then marks selection cell `cell` alone (none when -1).
void markSelectedOnly(SubsetPanelState& panel, int32_t cell);
void clearSelection(SubsetPanelState& panel);

}  // namespace etalon
