#pragma once

#include <array>
#include <optional>

#include "app/app_state.h"
#include "app/window_layout.h"
#include "platform/bitmap.h"
#include "platform/device_context.h"

namespace etalon {

// One paint of the client area: lays it out, draws what the display mode
// shows, blits the buttons and draws the selectors. A drawing routine that
// fails reports to the sink.
void paintWindow(AppState& state, WindowLayout& layout,
                 const std::array<std::optional<platform::Bitmap>, 5>& bitmaps,
                 const platform::Rect& client, platform::DeviceContext& dc, MessageSink& sink);

}  // namespace etalon
