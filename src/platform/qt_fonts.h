#pragma once

// Qt side of the fonts; only for the platform layer's own sources.

#include <QFont>

#include "platform/device_context.h"

namespace etalon::platform {

// The font of a kind at a character height (0: the text font's own height).
const QFont& qtFont(FontKind kind, int32_t height = 0);

}  // namespace etalon::platform
