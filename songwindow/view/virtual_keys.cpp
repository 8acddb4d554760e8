#include "songwindow/view/virtual_keys.h"

#include <algorithm>
#include <iterator>

namespace {

struct TKeyRow {
  int32_t VirtualKey;
  int QtKey;
};

// Keys whose codes are not runs of letters, digits or function keys.
constexpr TKeyRow kKeys[] = {
    {0x08, Qt::Key_Backspace}, {0x09, Qt::Key_Tab},      {0x0D, Qt::Key_Return},
    {0x10, Qt::Key_Shift},     {0x11, Qt::Key_Control},  {0x12, Qt::Key_Alt},
    {0x13, Qt::Key_Pause},     {0x14, Qt::Key_CapsLock}, {0x1B, Qt::Key_Escape},
    {0x20, Qt::Key_Space},     {0x21, Qt::Key_PageUp},   {0x22, Qt::Key_PageDown},
    {0x23, Qt::Key_End},       {0x24, Qt::Key_Home},     {0x25, Qt::Key_Left},
    {0x26, Qt::Key_Up},        {0x27, Qt::Key_Right},    {0x28, Qt::Key_Down},
    {0x2D, Qt::Key_Insert},    {0x2E, Qt::Key_Delete},   {0x5D, Qt::Key_Menu},
    {0x90, Qt::Key_NumLock},   {0x91, Qt::Key_ScrollLock},
};

constexpr int32_t kVirtualF1 = 0x70;
constexpr int kFunctionKeys = 24;

}  // namespace

int32_t VirtualKeyOf(const QKeyEvent& event) {
  const int key = event.key();
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
    return key;  // the codes of letters and digits are their capitals
  }
  if (key >= Qt::Key_F1 && key < Qt::Key_F1 + kFunctionKeys) {
    return kVirtualF1 + (key - Qt::Key_F1);
  }
  if (key == Qt::Key_Enter) {
    return 0x0D;
  }
  if (key == Qt::Key_Backtab) {
    return 0x09;
  }
  const auto found = std::find_if(std::begin(kKeys), std::end(kKeys),
                                  [key](const TKeyRow& row) { return row.QtKey == key; });
  return found != std::end(kKeys) ? found->VirtualKey : 0;
}

int QtKeyOf(int32_t virtualKey) {
  if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
    return virtualKey;
  }
  if (virtualKey >= kVirtualF1 && virtualKey < kVirtualF1 + kFunctionKeys) {
    return Qt::Key_F1 + (virtualKey - kVirtualF1);
  }
  const auto found = std::find_if(std::begin(kKeys), std::end(kKeys), [virtualKey](const TKeyRow& row) {
    return row.VirtualKey == virtualKey;
  });
  return found != std::end(kKeys) ? found->QtKey : 0;
}

uint8_t ShiftStateOf(Qt::KeyboardModifiers modifiers) {
  uint8_t state = 0;
  if (modifiers & Qt::ShiftModifier) {
    state |= 1;
  }
  if (modifiers & Qt::AltModifier) {
    state |= 2;
  }
  if (modifiers & Qt::ControlModifier) {
    state |= 4;
  }
  return state;
}

QKeySequence ShortCutSequence(uint16_t shortCut) {
  const int key = QtKeyOf(shortCut & 0xFF);
  if (key == 0) {
    return QKeySequence();
  }
  int modifiers = 0;
  if (shortCut & 0x2000) {
    modifiers |= Qt::SHIFT;
  }
  if (shortCut & 0x4000) {
    modifiers |= Qt::CTRL;
  }
  if (shortCut & 0x8000) {
    modifiers |= Qt::ALT;
  }
  return QKeySequence(key | modifiers);
}
