#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.h"

namespace etalon::platform {

class Window;

// RightLabel is a label whose text sits against the right edge of its
// rectangle, next to the edit it names.
enum class ControlKind {
    Label,
    RightLabel,
    Edit,
    CheckBox,
    RadioButton,
    GroupBox,
    Button,
    DefaultButton
};

// One control of a dialog template; the rectangle is x, y, width, height in
// dialog units (left, top, right, bottom hold them in that order).
struct DialogControl {
    ControlKind kind = ControlKind::Label;
    int id = 0;
    std::string text;
    Rect units;
    bool disabled = false;  // shown greyed, not to be edited or clicked
    // Edits: the widest text the field accepts, which its box must show
    // whole; empty for free text that scrolls (lists, names).
    std::string widest;
};

struct DialogTemplate {
    std::string caption;
    Rect units;  // x, y, width, height of the dialog in dialog units
    std::vector<DialogControl> controls;
};

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Dialog units to pixels for a font of that average width and height, as the
// window system converts them: x * width / 4, y * height / 8; widthPercent
// widens every x and width by one factor.
Rect dialogUnitsToPixels(const Rect& units, int32_t aveCharWidth, int32_t charHeight,
                         int32_t widthPercent = 100);

// How much wider than the window system's units the dialogs are laid out.
// The templates' boxes were made for letters narrower against the base unit
// than ours, and our texts run up to 15 % past them; widening every template
// alike keeps each control's place among the others. Heights fit as they are.
inline constexpr int32_t kDialogWidthPercent = 120;

// What a dialog procedure reads and writes; the real dialog and the tests'
// fakes implement it.
class DialogContext {
  public:
    virtual ~DialogContext() = default;
    virtual std::string text(int id) const = 0;
    virtual void setText(int id, std::string_view text) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;
    // A modal message box over the dialog, for input the procedure refuses.
    virtual void showMessage(std::string_view text, std::string_view caption) = 0;
    // Closes the dialog; runModalDialog returns the result.
    virtual void end(int result) = 0;
};

enum class DialogEvent { Init, Command };

// Called with Init once the controls exist, and with Command (and the
// control's id) for every button press. Returns whether it handled the event.
using DialogProcedure = std::function<bool(DialogContext&, DialogEvent, int id)>;

// Shows the template as a modal dialog over the window and returns the value
// the procedure ended it with (kIdCancel when closed from the title bar).
int runModalDialog(Window* owner, const DialogTemplate& dialog, const DialogProcedure& procedure);

// The common Save-As dialog. filter is in Qt's form ("Bitmap (*.bmp);;PCX (*.pcx)").
// Returns the chosen path, or nothing when cancelled.
std::optional<std::string> saveAsDialog(Window* owner, std::string_view caption,
                                        std::string_view filter);

// The Save-As dialog offering several filters ("PNG Files (*.png)"), the
// first selected; it asks before replacing a file. Returns the chosen path
// as typed and the index of the filter chosen, or nothing when cancelled.
struct SaveAsChoice {
    std::string path;
    std::size_t filter = 0;
};
std::optional<SaveAsChoice> saveAsDialog(Window* owner, std::string_view caption,
                                         const std::vector<std::string>& filters);

// The Open dialog offering the filters, the first selected; only existing
// files can be chosen. Returns the chosen path, or nothing when cancelled.
std::optional<std::string> openFileDialog(Window* owner, std::string_view caption,
                                          const std::vector<std::string>& filters);

}  // namespace etalon::platform
