#pragma once

#include <string_view>

namespace etalon::platform {

class Window;

enum class BoxIcon { None, Warning, Information };

inline constexpr int kBoxOk = 1;

// A modal box with the text, the caption (none when empty), one OK button and
// the icon, owned by the window when one is given. Returns kBoxOk.
int messageBox(Window* owner, std::string_view text, std::string_view caption, BoxIcon icon);

// A modal question with Yes and No buttons, No the default; true for Yes.
// A closing window answers No.
bool askYesNo(Window* owner, std::string_view text, std::string_view caption);

}  // namespace etalon::platform
