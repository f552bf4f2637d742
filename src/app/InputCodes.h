#pragma once

#include <Qt>

namespace tivra::input {

// The key codes and button numbers the board's handlers speak in: the old
// virtual key codes, and 1 for the left button, 2 for the right one.
enum Key : int {
    kNoKey = 0, // any other key: it only redraws the cursor
    kTab = 9,
    kReturn = 13,
    kSpace = 32,
    kLeft = 37,
    kUp = 38,
    kRight = 39,
    kDown = 40,
};

enum Button : int {
    kNoButton = 0,
    kLeftButton = 1,
    kRightButton = 2,
    kMiddleButton = 4,
};

Key virtualKeyCode(int qtKey);
Button buttonNumber(Qt::MouseButton button);

} // namespace tivra::input
