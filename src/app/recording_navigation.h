// Moving through a long recording in the results view: keys, the wheel, and
// presses and drags on the overview and the scroll bar. Each returns true
// when it handled the input (the view may then have moved).
#pragma once

#include <cstdint>

#include "app/app_state.h"
#include "app/window_layout.h"
#include "platform/virtual_key_codes.h"

namespace etalon {

// Whether the window shows a long recording's results view now.
bool longRecordingViewShown(const AppState& state);

bool navigateByKey(AppState& state, int virtualKey);
// `delta` in eighths of a degree (120 a notch), positive away from the user:
// back through the recording, or in with Control.
bool navigateByWheel(AppState& state, int32_t delta, bool control);

// Uses the layout of the last paint, as every press does.
bool pressRecordingStrips(AppState& state, const WindowLayout& layout, int32_t x, int32_t y);
bool dragRecordingStrips(AppState& state, const WindowLayout& layout, int32_t x, int32_t y);
bool releaseRecordingStrips(AppState& state);

}  // namespace etalon
