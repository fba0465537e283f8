#pragma once

namespace etalon::platform {

// Registers DejaVu Sans Condensed from its file so every platform plugin, the offscreen
// one included, draws the same glyphs. Needs a running application object.
// Returns false when the font file could not be loaded (a fallback is used).
bool loadApplicationFonts();

// The character height the text font is sized to.
inline constexpr int kTextFontHeight = 13;

}  // namespace etalon::platform
