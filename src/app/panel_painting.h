#pragma once

#include "app/app_state.h"
#include "app/window_layout.h"
#include "platform/device_context.h"

namespace etalon {

// The subset selection panel in the graph area: the tuples panel for the
// recognition of tuples, the plain one otherwise.
void drawSubsetPanelView(AppState& state, const WindowLayout& layout, platform::DeviceContext& dc);

// The parameter panel in the graph area.
void drawParamsPanelView(AppState& state, const WindowLayout& layout, platform::DeviceContext& dc);

}  // namespace etalon
