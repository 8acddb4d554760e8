#include "songwindow/widgets/key_map.h"

#include <array>
#include <iterator>
#include <string_view>

namespace {

// Keys by Qt key code. ORDER: none.
struct TKeyRow {
  int QtKey;
  uint16_t Key;
  char32_t Char;
};

constexpr TKeyRow kKeys[] = {
    {Qt::Key_Backspace, vkBack, 8},     {Qt::Key_Tab, vkTab, 0},          {Qt::Key_Backtab, vkTab, 0},
    {Qt::Key_Clear, vkClear, 0},        {Qt::Key_Return, vkReturn, 13},   {Qt::Key_Enter, vkReturn, 13},
    {Qt::Key_Shift, vkShift, 0},        {Qt::Key_Control, vkControl, 0},  {Qt::Key_Alt, vkMenu, 0},
    {Qt::Key_Escape, vkEscape, 27},     {Qt::Key_Space, vkSpace, U' '},   {Qt::Key_PageUp, vkPrior, 0},
    {Qt::Key_PageDown, vkNext, 0},      {Qt::Key_End, vkEnd, 0},          {Qt::Key_Home, vkHome, 0},
    {Qt::Key_Left, vkLeft, 0},          {Qt::Key_Up, vkUp, 0},            {Qt::Key_Right, vkRight, 0},
    {Qt::Key_Down, vkDown, 0},          {Qt::Key_Insert, vkInsert, 0},    {Qt::Key_Delete, vkDelete, 0},
    {Qt::Key_NumLock, vkNumLock, 0},    {Qt::Key_ScrollLock, vkScroll, 0},  {Qt::Key_Pause, vkPause, 0},
    {Qt::Key_CapsLock, vkCapital, 0},   {Qt::Key_Print, vkSnapshot, 0},   {Qt::Key_Help, vkHelp, 0},
    {Qt::Key_Meta, vkLWin, 0},          {Qt::Key_Super_L, vkLWin, 0},     {Qt::Key_Super_R, vkRWin, 0},
    {Qt::Key_Menu, vkApps, 0},          {Qt::Key_AltGr, vkMenu, 0},
};

// The punctuation keys of the main block, by the X11 key code of their place (the same on
// every layout), with their virtual-key codes.
constexpr struct {
  quint32 ScanCode;
  uint16_t Key;
} kPunctuationScanCodes[] = {
    {20, vkOemMinus}, {21, vkOemPlus},   {34, vkOem4}, {35, vkOem6},     {47, vkOem1},     {48, vkOem7},
    {49, vkOem3},     {51, vkOem5},      {59, vkOemComma}, {60, vkOemPeriod}, {61, vkOem2}, {94, vkOem102},
};

// The same keys by the Qt key they give with or without Shift on a US layout, for a
// platform whose scan codes are not those of X11.
constexpr struct {
  int QtKey;
  uint16_t Key;
} kPunctuationKeys[] = {
    {Qt::Key_Minus, vkOemMinus},       {Qt::Key_Underscore, vkOemMinus}, {Qt::Key_Equal, vkOemPlus},
    {Qt::Key_Plus, vkOemPlus},         {Qt::Key_BracketLeft, vkOem4},    {Qt::Key_BraceLeft, vkOem4},
    {Qt::Key_BracketRight, vkOem6},    {Qt::Key_BraceRight, vkOem6},     {Qt::Key_Semicolon, vkOem1},
    {Qt::Key_Colon, vkOem1},           {Qt::Key_Apostrophe, vkOem7},     {Qt::Key_QuoteDbl, vkOem7},
    {Qt::Key_QuoteLeft, vkOem3},       {Qt::Key_AsciiTilde, vkOem3},     {Qt::Key_Backslash, vkOem5},
    {Qt::Key_Bar, vkOem5},             {Qt::Key_Comma, vkOemComma},      {Qt::Key_Less, vkOemComma},
    {Qt::Key_Period, vkOemPeriod},     {Qt::Key_Greater, vkOemPeriod},   {Qt::Key_Slash, vkOem2},
    {Qt::Key_Question, vkOem2},
};

// Letter and digit keys by the X11 key code of their place, so that a key has its code on
// a Cyrillic layout and with Shift too: the rows 1..0, Q..P, A..L and Z..M.
uint16_t LetterOrDigitOfScanCode(quint32 scanCode) {
  static constexpr std::string_view kRows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  static constexpr quint32 kFirst[] = {10, 24, 38, 52};
  for (size_t row = 0; row < std::size(kRows); ++row) {
    if (scanCode >= kFirst[row] && scanCode < kFirst[row] + kRows[row].size()) {
      return static_cast<uint16_t>(kRows[row][scanCode - kFirst[row]]);
    }
  }
  return 0;
}

// Keypad positions: the X11 key codes of the keypad keys, and the position of each
// (0..9 the digit keys, 10 decimal, 11 plus, 12 minus, 13 times, 14 divide, 15 enter).
constexpr int kDecimal = 10;
constexpr int kPlus = 11;
constexpr int kMinus = 12;
constexpr int kTimes = 13;
constexpr int kDivide = 14;
constexpr int kEnter = 15;

struct TScanRow {
  quint32 ScanCode;
  int Position;
};

constexpr TScanRow kKeypadScanCodes[] = {
    {90, 0}, {87, 1}, {88, 2},      {89, 3},     {83, 4},      {84, 5},      {85, 6},       {79, 7},
    {80, 8}, {81, 9}, {91, kDecimal}, {86, kPlus}, {82, kMinus}, {63, kTimes}, {106, kDivide}, {104, kEnter},
};

// The keypad key's position from its Qt key, for a platform whose scan codes are not
// those of X11.
int PositionOfQtKey(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    return key - Qt::Key_0;
  }
  switch (key) {
    case Qt::Key_Insert:
      return 0;
    case Qt::Key_End:
      return 1;
    case Qt::Key_Down:
      return 2;
    case Qt::Key_PageDown:
      return 3;
    case Qt::Key_Left:
      return 4;
    case Qt::Key_Clear:
      return 5;
    case Qt::Key_Right:
      return 6;
    case Qt::Key_Home:
      return 7;
    case Qt::Key_Up:
      return 8;
    case Qt::Key_PageUp:
      return 9;
    case Qt::Key_Period:
    case Qt::Key_Comma:
    case Qt::Key_Delete:
      return kDecimal;
    case Qt::Key_Plus:
      return kPlus;
    case Qt::Key_Minus:
      return kMinus;
    case Qt::Key_Asterisk:
      return kTimes;
    case Qt::Key_Slash:
      return kDivide;
    case Qt::Key_Enter:
    case Qt::Key_Return:
      return kEnter;
    default:
      return -1;
  }
}

uint16_t PunctuationKey(const QKeyEvent& event) {
  for (const auto& row : kPunctuationScanCodes) {
    if (row.ScanCode == event.nativeScanCode()) {
      return row.Key;
    }
  }
  for (const auto& row : kPunctuationKeys) {
    if (row.QtKey == event.key()) {
      return row.Key;
    }
  }
  return vkOther;
}

int KeypadPosition(const QKeyEvent& event) {
  for (const TScanRow& row : kKeypadScanCodes) {
    if (row.ScanCode == event.nativeScanCode()) {
      return row.Position;
    }
  }
  return PositionOfQtKey(event.key());
}

TEditorKey KeypadKey(int position, bool dotMode) {
  // The keys of the digits with the keypad moving the caret: 0..9, then decimal.
  static constexpr std::array<uint16_t, 11> kMoves = {vkInsert, vkEnd,   vkDown, vkNext, vkLeft,  vkClear,
                                                      vkRight,  vkHome,  vkUp,   vkPrior, vkDelete};
  switch (position) {
    case kPlus:
      return {vkAdd, U'+'};
    case kMinus:
      return {vkSubtract, U'-'};
    case kTimes:
      return {vkMultiply, U'*'};
    case kDivide:
      return {vkDivide, U'/'};
    case kEnter:
      return {vkReturn, 13};
    case kDecimal:
      return dotMode ? TEditorKey{vkDecimal, U'.'} : TEditorKey{vkDelete, 0};
    default:
      return dotMode ? TEditorKey{static_cast<uint16_t>(vkNumpad0 + position), static_cast<char32_t>(U'0' + position)}
                     : TEditorKey{kMoves[static_cast<size_t>(position)], 0};
  }
}

}  // namespace

TEditorKey EditorKeyOf(const QKeyEvent& event, bool dotMode) {
  if (event.modifiers().testFlag(Qt::KeypadModifier)) {
    const int position = KeypadPosition(event);
    if (position >= 0) {
      return KeypadKey(position, dotMode);
    }
  }
  TEditorKey key;
  for (const TKeyRow& row : kKeys) {
    if (row.QtKey == event.key()) {
      key = {row.Key, row.Char};
      break;
    }
  }
  if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
    key.Key = static_cast<uint16_t>('A' + (event.key() - Qt::Key_A));
  } else if (event.key() >= Qt::Key_0 && event.key() <= Qt::Key_9) {
    key.Key = static_cast<uint16_t>('0' + (event.key() - Qt::Key_0));
  } else if (event.key() >= Qt::Key_F1 && event.key() <= Qt::Key_F24) {
    key.Key = static_cast<uint16_t>(vkF1 + (event.key() - Qt::Key_F1));
  }
  if (key.Key == vkOther) {
    key.Key = LetterOrDigitOfScanCode(event.nativeScanCode());
  }
  if (key.Key == 0) {
    key.Key = PunctuationKey(event);
  }
  // With Ctrl or Alt held a letter key types nothing (a command's key).
  const bool command = event.modifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier);
  const QString text = event.text();
  if (key.Char == 0 && key.Key != vkTab && !command && !text.isEmpty()) {
    key.Char = text.toUcs4().value(0);
  }
  return key;
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers) {
  return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
          modifiers.testFlag(Qt::AltModifier)};
}

int QtKeyOf(uint16_t virtualKey) {
  if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
    return virtualKey;  // Qt's codes of letters and digits are their capitals too
  }
  if (virtualKey >= vkF1 && virtualKey <= vkF24) {
    return Qt::Key_F1 + (virtualKey - vkF1);
  }
  for (const TKeyRow& row : kKeys) {
    if (row.Key == virtualKey) {
      return row.QtKey;
    }
  }
  for (const auto& row : kPunctuationKeys) {
    if (row.Key == virtualKey) {
      return row.QtKey;  // the key without Shift comes first
    }
  }
  return 0;
}

TQtKeyEvent QtKeyEventOf(uint16_t virtualKey, Qt::KeyboardModifiers modifiers) {
  // The characters of the digit keys with Shift, and of the punctuation keys without and
  // with Shift, on a US layout.
  static constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";
  static constexpr struct {
    uint16_t Key;
    char Plain;
    char Shifted;
  } kPunctuationChars[] = {
      {vkOem1, ';', ':'}, {vkOemPlus, '=', '+'}, {vkOemComma, ',', '<'}, {vkOemMinus, '-', '_'},
      {vkOemPeriod, '.', '>'}, {vkOem2, '/', '?'}, {vkOem3, '`', '~'}, {vkOem4, '[', '{'},
      {vkOem5, '\\', '|'}, {vkOem6, ']', '}'}, {vkOem7, '\'', '"'},
  };
  static constexpr struct {
    uint16_t Key;
    int QtKey;
    char Char;
  } kKeypadOperators[] = {
      {vkMultiply, Qt::Key_Asterisk, '*'}, {vkAdd, Qt::Key_Plus, '+'}, {vkSubtract, Qt::Key_Minus, '-'},
      {vkDecimal, Qt::Key_Period, '.'},    {vkDivide, Qt::Key_Slash, '/'},
  };
  const bool shift = modifiers.testFlag(Qt::ShiftModifier);
  TQtKeyEvent event{QtKeyOf(virtualKey), modifiers & ~Qt::KeypadModifier, QString()};
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    event.Text = QLatin1Char(static_cast<char>(shift ? virtualKey : virtualKey - 'A' + 'a'));
  } else if (virtualKey >= '0' && virtualKey <= '9') {
    event.Text = QLatin1Char(shift ? kShiftedDigits[virtualKey - '0'] : static_cast<char>(virtualKey));
  } else if (virtualKey == vkSpace) {
    event.Text = " ";
  } else if (virtualKey >= vkNumpad0 && virtualKey <= vkNumpad9) {
    event.Key = Qt::Key_0 + (virtualKey - vkNumpad0);
    event.Modifiers |= Qt::KeypadModifier;
    event.Text = QLatin1Char(static_cast<char>('0' + (virtualKey - vkNumpad0)));
  }
  for (const auto& row : kPunctuationChars) {
    if (row.Key == virtualKey) {
      event.Text = QLatin1Char(shift ? row.Shifted : row.Plain);
    }
  }
  for (const auto& row : kKeypadOperators) {
    if (row.Key == virtualKey) {
      event = {row.QtKey, event.Modifiers | Qt::KeypadModifier, QString(QLatin1Char(row.Char))};
    }
  }
  if (modifiers.testAnyFlags(Qt::ControlModifier | Qt::AltModifier)) {
    event.Text.clear();
  }
  return event;
}

bool EditorClaimsKey(const QKeyEvent& event) {
  const int key = event.key();
  if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Escape ||
      (key >= Qt::Key_F1 && key <= Qt::Key_F35)) {
    return false;
  }
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::NoModifier) {
    return true;
  }
  if (modifiers == Qt::ShiftModifier) {
    // Shift types capitals and selects; Shift+Space plays the voice, Shift+Del clears
    // measures, Shift+Enter switches the navigation.
    return key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space && key != Qt::Key_Delete;
  }
  if (modifiers == Qt::ControlModifier) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Backspace;
  }
  return false;
}
