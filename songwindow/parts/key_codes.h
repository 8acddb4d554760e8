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
  vkPause = 19,
  vkCapital = 20,  // Caps Lock
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
  vkSnapshot = 44,  // Print Screen
  vkInsert = 45,
  vkDelete = 46,
  vkHelp = 47,
  vkLWin = 91,
  vkRWin = 92,
  vkApps = 93,  // the menu key
  vkNumpad0 = 96,  // vkNumpad0 + n is keypad digit n
  vkNumpad9 = 105,
  vkMultiply = 106,
  vkAdd = 107,
  vkSubtract = 109,
  vkDecimal = 110,
  vkDivide = 111,
  vkF1 = 112,  // vkF1 + n - 1 is Fn
  vkF24 = 135,
  vkNumLock = 144,
  vkScroll = 145,
  // The punctuation keys of the main block, named by what they type on a US layout.
  vkOem1 = 186,  // ; :
  vkOemPlus = 187,  // = +
  vkOemComma = 188,  // , <
  vkOemMinus = 189,  // - _
  vkOemPeriod = 190,  // . >
  vkOem2 = 191,  // / ?
  vkOem3 = 192,  // ` ~
  vkOem4 = 219,  // [ {
  vkOem5 = 220,  // \ |
  vkOem6 = 221,  // ] }
  vkOem7 = 222,  // ' "
  vkOem102 = 226,  // the key between left Shift and Z
  vkOther = 255,  // a key the editor has no rule for
};

// The modifier keys held with a key.
struct TShiftState {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;

  bool Any() const { return Shift || Ctrl || Alt; }
};
