#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "app/app_state.h"
#include "app/command_host.h"
#include "app/window_layout.h"

namespace etalon {

// What the regions that commands repaint show, in a form that compares: the
// graph area's kind of picture, the button column, and the three selectors.
// Painting draws these from the state alone, so when a command leaves the
// state showing something else than the last paint left, the region is stale.
struct ShownViews {
    struct Graph {
        std::optional<DisplayMode> displayMode;  // none before the first paint
        std::optional<MainView> mainView;        // only in the results view
        bool seriesGraph = false;
        bool tuplesPanel = false;  // the subset panel with the reserved subsets
        // A long recording's view: which recording, and the span in view.
        const LongRecording* longRecording = nullptr;
        RecordingView recordingView;
        bool operator==(const Graph&) const = default;
    };
    struct Buttons {
        bool etalonsButton = false;  // "ButtonStart", the way back to the grid
        bool toggle = false;
        bool selectAll = false;
        bool operator==(const Buttons&) const = default;
    };
    struct Selector {
        bool shown = false;
        int32_t entry = 0;
        int32_t inEffect = 0;  // decides black or grey for the dot
        bool operator==(const Selector&) const = default;
    };
    enum { kLength, kNoise, kLost };

    Graph graph;
    Buttons buttons;
    std::array<Selector, 3> selectors{};
};

// Series processing draws results only for the plain series types.
bool seriesGraphShown(const AppState& state);

ShownViews shownViews(const AppState& state);

// Where each region draws, right and bottom excluded: the graph frame reaches
// one pixel past rcGraph and the header straddles its top; a selector's label
// straddles its top edge and its frame reaches one pixel past it.
Rect graphExtent(const WindowLayout& layout);
Rect buttonsExtent(const WindowLayout& layout);
Rect selectorExtent(const WindowLayout& layout, const Rect& box);

// After a paint: the regions the paint covered whole now show the state.
void notePaintedViews(ShownViews& painted, const AppState& state, const WindowLayout& layout,
                      std::span<const Rect> paintedRegion);

// Invalidates, with erase, every region whose painted content the state no
// longer matches.
void repaintStaleViews(const ShownViews& painted, const AppState& state, const WindowLayout& layout,
                       CommandHost& host);

}  // namespace etalon
