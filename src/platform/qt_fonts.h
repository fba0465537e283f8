#pragma once

// Qt side of the fonts; only for the platform layer's own sources.

#include <QFont>

#include "platform/device_context.h"

namespace etalon::platform {

const QFont& qtFont(FontKind kind);

}  // namespace etalon::platform
