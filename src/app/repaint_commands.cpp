// The repaint commands and the repaints every area shares.
#include "app/repaint_commands.h"

#include "app/shown_views.h"

namespace etalon {

void CommandContext::repaintFlaggedSelectors() {
    AppState& s = state;
    if (s.bRepaintLength) invalidate(selectorExtent(layout, layout.rcLengthSelector), true);
    if (s.bRepaintNoise) invalidate(selectorExtent(layout, layout.rcNoiseSelector), true);
    if (s.bRepaintLost) invalidate(selectorExtent(layout, layout.rcLostSelector), true);
    s.bRepaintLength = s.bRepaintNoise = s.bRepaintLost = 0;
}

// The header lines sit just above the graph rectangle and the frame one pixel
// past it; all of that is repainted.
void CommandContext::repaintGraphArea(bool erase) {
    invalidate(graphExtent(layout), erase);
}

// The grid's frames and the results view's etalon strip show the working set.
void CommandContext::repaintIfWorkingSetChanged(
    const std::array<int16_t, kEtalonsNumber + 1>& before) {
    if (before != state.selectedFlags) repaintGraphArea(true);
}

// The column's rectangle holds its right and bottom edges; invalidation does not.
void CommandContext::repaintButtonColumn() {
    Rect r = layout.rcButtonColumn;
    r.right += 1;
    r.bottom += 1;
    invalidate(r, true);
}

namespace commands {

// kCmdResultsRepaint: the graph area and whatever the flags ask for.
void resultsRepaint(CommandContext& ctx) {
    AppState& s = ctx.state;
    ctx.repaintGraphArea(!s.bNoErase);
    ctx.repaintFlaggedSelectors();
    if (s.bRepaintButtons) {
        ctx.repaintButtonColumn();
        s.bRepaintButtons = 0;
    }
}

// kCmdEtalonHighlight: the cells of the singled-out etalon, with room for its frame.
void etalonHighlight(CommandContext& ctx) {
    const auto repaintCell = [&](int32_t etalon) {
        if (etalon < 1 || etalon > ctx.state.wEtalonsNumber) return;
        Rect r = ctx.layout.rcCells[etalon - 1];
        r.left -= 1;
        r.top -= 1;
        r.right += 3;
        r.bottom += 3;
        ctx.invalidate(r, true);
    };
    repaintCell(ctx.state.nSelectedEtalon);
    if (ctx.state.wEffectiveTask == TaskCode::Detection)
        repaintCell(ctx.state.nPrevSelectedEtalon);
    else
        ctx.invalidate(ctx.layout.rcToggleButton, true);
}

// kCmdGridRepaint: the grid after the working set changed.
void gridRepaint(CommandContext& ctx) {
    ctx.repaintGraphArea(true);
    if (ctx.state.wEffectiveTask != TaskCode::Detection)
        ctx.invalidate(ctx.layout.rcToggleButton, true);
    if (ctx.state.bRepaintButtons) {
        ctx.repaintButtonColumn();
        ctx.state.bRepaintButtons = 0;
    }
}

// kCmdReservedRowsRepaint: the frames of the reserved rows, then the selection.
void reservedRowsRepaint(CommandContext& ctx) {
    for (const auto& row : ctx.state.subsetPanel.possibleSubsetArrayRect)
        ctx.invalidate(row[SubsetPanelState::kSelectionCapacity], true);
    ctx.invalidate(ctx.state.subsetPanel.selectionAreaRect, true);
}

}  // namespace commands
}  // namespace etalon
