#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "dialogs/dialog_text.h"
#include "platform/dialog.h"

// Building blocks the dialog templates and procedures share.
namespace etalon::dialog_controls {

inline platform::DialogControl control(platform::ControlKind kind, int id, std::string text, int x,
                                       int y, int w, int h) {
    return {kind, id, std::move(text), {x, y, w, h}, false, {}};
}
inline platform::DialogControl label(std::string text, int x, int y, int w, int h, int id = -1) {
    return control(platform::ControlKind::Label, id, std::move(text), x, y, w, h);
}
inline platform::DialogControl rightLabel(std::string text, int x, int y, int w, int h) {
    return control(platform::ControlKind::RightLabel, -1, std::move(text), x, y, w, h);
}
// The widest noise level an edit must show: every level the workbench's
// 16-bit samples allow has at most four digits, and digits are equally wide.
inline constexpr const char* kWidestNoiseLevel = "9999";

inline platform::DialogControl edit(int id, int x, int y, int w, int h, std::string widest = {}) {
    platform::DialogControl made = control(platform::ControlKind::Edit, id, {}, x, y, w, h);
    made.widest = std::move(widest);
    return made;
}
inline platform::DialogControl group(std::string text, int x, int y, int w, int h) {
    return control(platform::ControlKind::GroupBox, -1, std::move(text), x, y, w, h);
}
inline platform::DialogControl radio(int id, std::string text, int x, int y, int w, int h) {
    return control(platform::ControlKind::RadioButton, id, std::move(text), x, y, w, h);
}
inline platform::DialogControl checkBox(int id, std::string text, int x, int y, int w, int h) {
    return control(platform::ControlKind::CheckBox, id, std::move(text), x, y, w, h);
}
inline platform::DialogControl okButton(int x, int y) {
    return control(platform::ControlKind::DefaultButton, platform::kIdOk, "OK", x, y, 50, 14);
}
inline platform::DialogControl cancelButton(int x, int y) {
    return control(platform::ControlKind::Button, platform::kIdCancel, "Cancel", x, y, 50, 14);
}

// printf into a string; for the short texts of labels and refusals.
template <class... Args>
std::string formatText(const char* pattern, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

// An edit as the window system hands it over: at most 99 characters.
inline std::string readText(const platform::DialogContext& context, int id) {
    std::string text = context.text(id);
    if (text.size() > kEditTextLimit) text.resize(kEditTextLimit);
    return text;
}
inline int32_t readInteger(const platform::DialogContext& context, int id) {
    return leadingInteger(readText(context, id));
}

}  // namespace etalon::dialog_controls
