#include "platform/virtual_keys.h"

#include "platform/virtual_key_codes.h"

namespace etalon::platform {

int virtualKey(int key, bool keypad) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    switch (key) {
        case Qt::Key_Space:
            return kVkSpace;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kVkReturn;
        case Qt::Key_Escape:
            return kVkEscape;
        case Qt::Key_Backspace:
            return kVkBackspace;
        case Qt::Key_Tab:
            return kVkTab;
        case Qt::Key_PageUp:
            return kVkPageUp;
        case Qt::Key_PageDown:
            return kVkPageDown;
        case Qt::Key_End:
            return kVkEnd;
        case Qt::Key_Home:
            return kVkHome;
        case Qt::Key_Left:
            return kVkLeft;
        case Qt::Key_Up:
            return kVkUp;
        case Qt::Key_Right:
            return kVkRight;
        case Qt::Key_Down:
            return kVkDown;
        // The keypad's own plus and minus, and the main keyboard's =/+ and - keys.
        case Qt::Key_Plus:
            return keypad ? kVkAdd : kVkOemPlus;
        case Qt::Key_Equal:
            return kVkOemPlus;
        case Qt::Key_Minus:
            return keypad ? kVkSubtract : kVkOemMinus;
        default:
            if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return kVkF1 + (key - Qt::Key_F1);
            return kVkNone;
    }
}

}  // namespace etalon::platform
