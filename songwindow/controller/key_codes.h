// The virtual-key codes that reach the song window's editor, and the modifier keys held
// with them. The view turns its toolkit's keys into these through one table.
#pragma once

#include <cstdint>

enum TVirtualKey : uint16_t {
  vkNone = 0,
  vkBack = 8,
  vkTab = 9,
  vkClear = 12,  // keypad 5 while the keypad moves the caret
  vkReturn = 13,
  vkShift = 16,
  vkControl = 17,
  vkMenu = 18,  // Alt
  vkEscape = 27,
  vkSpace = 32,
  vkPrior = 33,  // PgUp
  vkNext = 34,   // PgDn
  vkEnd = 35,
  vkHome = 36,
  vkLeft = 37,
  vkUp = 38,
  vkRight = 39,
  vkDown = 40,
  vkInsert = 45,
  vkDelete = 46,
  vkNumpad0 = 96,  // vkNumpad0 + n is keypad digit n
  vkNumpad9 = 105,
  vkMultiply = 106,
  vkAdd = 107,
  vkSubtract = 109,
  vkDecimal = 110,
  vkDivide = 111,
  vkNumLock = 144,
  vkScroll = 145,
  vkOther = 255,  // a key the editor has no rule for
};

// The modifier keys held with a key.
struct TShiftState {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;

  bool Any() const { return Shift || Ctrl || Alt; }
};
