#include "app/window_layout.h"

#include <algorithm>

#include "app/app_state.h"

namespace etalon {
namespace {

Rect button(int32_t left, int32_t top) {
    return {left, top, left + kButtonWidth - 1, top + kButtonHeight - 1};
}

void layoutButtons(WindowLayout& layout, const Rect& client, TaskCode effectiveTask) {
    const int32_t left = client.right - 154;
    layout.rcExitButton = button(left, client.bottom - 42);
    layout.rcStartButton1 = button(left, client.bottom - 84);
    int32_t y = client.bottom - 126;
    if (taskShowsToggle(effectiveTask)) {
        layout.rcToggleButton = button(left, y);
        y -= 42;
    }
    layout.rcStartButton = button(left, y);
    layout.rcButtonColumn = {left, y - 42, left + kButtonWidth - 1, client.bottom - 95};
}

void layoutGrid(WindowLayout& layout, const Rect& client, uint16_t etalons) {
    Rect& graph = layout.rcGraph;
    graph.left = client.left + 10;
    graph.top = client.top + 10;
    const int32_t wa = (client.right - 154 - 10) - graph.left + 1;
    const int32_t ha = (client.bottom - 10) - graph.top + 1;
    const int32_t k = gridRows(etalons);
    const int32_t cellWidth = (wa - (k + 2) * 10) / (k + 1);
    const int32_t cellHeight = (ha - (k + 1) * 10) / k;
    layout.wCellWidth = static_cast<uint16_t>(cellWidth);
    layout.wCellHeight = static_cast<uint16_t>(cellHeight);
    graph.right = graph.left + cellWidth * (k + 1) + (k + 2) * 10 - 1;
    graph.bottom = graph.top + cellHeight * k + (k + 1) * 10 - 1;
    layout.wCellInnerWidth = static_cast<uint16_t>(cellWidth - 10);
    layout.wCellInnerHeight = static_cast<uint16_t>(cellHeight - 10);

    int32_t x = graph.left + 10, y = graph.top + 10;
    const size_t cells = std::min<size_t>(etalons, layout.rcCells.size());
    for (size_t i = 0; i < cells; ++i) {
        layout.rcCells[i] = {x, y, x + cellWidth - 1, y + cellHeight - 1};
        x += cellWidth + 10;
        if ((i + 1) % static_cast<size_t>(k + 1) == 0) {
            x = graph.left + 10;
            y += cellHeight + 10;
        }
    }
}

void layoutSelectors(WindowLayout& layout, const Rect& client) {
    const int32_t lh = layout.nLineHeight;
    const int32_t left = layout.rcGraph.right + 10, right = client.right - 10;
    layout.rcLengthSelector = {left, layout.rcGraph.top, right, layout.rcGraph.top + 6 * lh};
    const int32_t noiseTop = layout.rcLengthSelector.bottom + lh;
    layout.rcNoiseSelector = {left, noiseTop, right, noiseTop + 6 * lh};
    const int32_t lostTop = layout.rcNoiseSelector.bottom + lh;
    layout.rcLostSelector = {left, lostTop, right, lostTop + 6 * lh};
}

}  // namespace

bool taskShowsToggle(TaskCode effectiveTask) {
    return effectiveTask != TaskCode::Detection && effectiveTask != TaskCode::TuplesDetection &&
           effectiveTask != TaskCode::TuplesRecognition;
}

int32_t gridRows(uint16_t etalons) {
    int32_t k = 1;
    while (k * (k + 1) < etalons)
        ++k;
    return k;
}

void computeLayout(WindowLayout& layout, const Rect& client, const platform::TextMetrics& metrics,
                   TaskCode effectiveTask, uint16_t etalons) {
    layout.nLineHeight = metrics.height + metrics.externalLeading - 1;
    layout.nMaxCharWidth = metrics.maxCharWidth;
    layout.nAveCharWidth = metrics.aveCharWidth;
    layoutButtons(layout, client, effectiveTask);
    layoutGrid(layout, client, etalons);
    layoutSelectors(layout, client);
}

}  // namespace etalon
