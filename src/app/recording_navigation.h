// Moving through a long recording in the results view: keys, the wheel, and
// presses and drags on the overview and the scroll bar. Each returns true
// when it handled the input (the view may then have moved).
#pragma once

#include <cstdint>

#include "app/app_state.h"
#include "app/window_layout.h"

namespace etalon {

// Virtual-key codes as the window delivers them.
inline constexpr int kVkPageUp = 0x21;
inline constexpr int kVkPageDown = 0x22;
inline constexpr int kVkEnd = 0x23;
inline constexpr int kVkHome = 0x24;
inline constexpr int kVkLeft = 0x25;
inline constexpr int kVkRight = 0x27;
inline constexpr int kVkAdd = 0x6b;       // keypad +
inline constexpr int kVkSubtract = 0x6d;  // keypad -
inline constexpr int kVkOemPlus = 0xbb;   // the = and + key
inline constexpr int kVkOemMinus = 0xbd;

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
