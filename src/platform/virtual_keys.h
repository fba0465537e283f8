#pragma once

#include <QKeyEvent>

namespace etalon::platform {

// Virtual-key codes as the classic window system numbers them: letters and
// digits are their upper-case characters; keys we do not use report 0xff.
int virtualKey(int qtKey, bool keypad);

inline int virtualKey(const QKeyEvent* event) {
    return virtualKey(event->key(), (event->modifiers() & Qt::KeypadModifier) != 0);
}

}  // namespace etalon::platform
