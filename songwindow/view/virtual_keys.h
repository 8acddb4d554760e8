// Qt keys and the virtual-key codes the controllers and plug-ins take.
#pragma once

#include <QKeyEvent>
#include <QKeySequence>

#include <cstdint>

// The virtual-key code of a key event, 0 for a key without one.
int32_t VirtualKeyOf(const QKeyEvent& event);
// The Qt key of a virtual-key code, 0 for a code without one.
int QtKeyOf(int32_t virtualKey);
// The shift state byte of modifiers: 1 Shift, 2 Alt, 4 Ctrl.
uint8_t ShiftStateOf(Qt::KeyboardModifiers modifiers);
// The key sequence of a shortcut value (virtual-key code + 0x2000 Shift, 0x4000 Ctrl,
// 0x8000 Alt); empty for 0 or a code without a Qt key.
QKeySequence ShortCutSequence(uint16_t shortCut);
