// The lights of the keyboard as the X server keeps them. A screen reader reads the keypad
// by the keyboard's own Num Lock, which the program's dot mode does not follow.
#pragma once

#include <optional>

// Whether the keyboard's Num Lock is on; nothing without an X display that tells.
std::optional<bool> KeyboardNumLockOn();
