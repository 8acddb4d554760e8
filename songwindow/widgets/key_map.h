// The one table from the toolkit's keys to the editor's virtual-key codes and the
// characters they type.
#pragma once

#include <QKeyEvent>

#include "songwindow/parts/key_codes.h"

// A key as the Braille editor gets it: its virtual-key code and the character it types
// (0: none).
struct TEditorKey {
  uint16_t Key = vkOther;
  char32_t Char = 0;
};

// The key of an event. The numeric keypad is decoded by key position, whatever the
// keyboard's own Num Lock: with dotMode (the program's Num Lock) its digit keys are
// keypad digits that type digits, else they move the caret as Home, Up, PgUp ... do.
// Backspace always types character 8.
TEditorKey EditorKeyOf(const QKeyEvent& event, bool dotMode);

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers);

// The Qt key of a virtual-key code: a letter, a digit or a key of the table; 0 for another.
int QtKeyOf(uint16_t virtualKey);

// A key event as Qt would make it for a virtual-key code pressed with modifiers: its Qt
// key (0 for a code without one; the keypad's keys with the keypad modifier) and the
// character it types on a US layout (a capital or the shifted sign with Shift, nothing
// with Ctrl or Alt).
struct TQtKeyEvent {
  int Key = 0;
  Qt::KeyboardModifiers Modifiers;
  QString Text;
};
TQtKeyEvent QtKeyEventOf(uint16_t virtualKey, Qt::KeyboardModifiers modifiers);

// True for a key the Braille editor keeps even when a shortcut of the window has it: keys
// without Ctrl and Alt (Shift+Enter, Shift+Space, Shift+Del, Tab, Esc and the function keys
// excepted) and Ctrl+Left, Ctrl+Right and Ctrl+Backspace. No key of the window's action
// table is one of them.
bool EditorClaimsKey(const QKeyEvent& event);
