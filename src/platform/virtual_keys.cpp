#include "platform/virtual_keys.h"

namespace etalon::platform {

int virtualKey(int key, bool keypad) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    switch (key) {
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0d;
        case Qt::Key_Escape:
            return 0x1b;
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        // The keypad's own plus and minus, and the main keyboard's =/+ and - keys.
        case Qt::Key_Plus:
            return keypad ? 0x6b : 0xbb;
        case Qt::Key_Equal:
            return 0xbb;
        case Qt::Key_Minus:
            return keypad ? 0x6d : 0xbd;
        default:
            if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return 0x70 + (key - Qt::Key_F1);
            return 0xff;
    }
}

}  // namespace etalon::platform
