#include "notation/braille_cells.h"

#include <array>

namespace {

// Rows by value 1, 2, 4, 8; columns C D E F G A B, then the rest.
constexpr std::array<std::string_view, 4> kCellRows = {"yzY*[Z]m", "nopqrstu", "PSNQTOwv", "defghijx"};

constexpr std::array<std::string_view, 10> kOctaveSigns = {"", "AA", "A", "B", "L", "!", "K", "@", ",", ",,"};

// Interval signs of intervals 2..8.
constexpr std::string_view kIntervalSigns = "/UV903_";

}  // namespace

bool BrailleNoteCell(char c, int32_t& step, int32_t& value) {
  for (int32_t row = 0; row < 4; ++row) {
    size_t column = kCellRows[row].find(c);
    if (column != std::string_view::npos && column < 7) {
      step = static_cast<int32_t>(column) + 1;
      value = 1 << row;
      return true;
    }
  }
  step = 0;
  value = 0;
  return false;
}

int32_t RestCellValue(char c) {
  for (int32_t row = 0; row < 4; ++row) {
    if (kCellRows[row][7] == c) {
      return 1 << row;
    }
  }
  return 0;
}

std::string_view BrailleCellOfNote(int32_t step, int32_t value) {
  int32_t row = CellValueIndex(value);
  if (row < 0 || step < 0 || step > 7) {
    return {};
  }
  size_t column = step == 0 ? 7 : static_cast<size_t>(step - 1);
  return kCellRows[row].substr(column, 1);
}

int32_t OctaveOfSign(std::string_view sign) {
  for (int32_t octave = 1; octave <= 9; ++octave) {
    if (kOctaveSigns[octave] == sign) {
      return octave;
    }
  }
  return 0;
}

std::string_view OctaveSignText(int32_t octave) {
  if (octave < 1 || octave > 9) {
    return {};
  }
  return kOctaveSigns[octave];
}

bool AccidentalOfSign(std::string_view sign, TKeySign& accidental) {
  if (sign == "((") {
    accidental = TKeySign::DoubleFlat;
  } else if (sign == "(") {
    accidental = TKeySign::Flat;
  } else if (sign == "\\") {
    accidental = TKeySign::Natural;
  } else if (sign == "M") {
    accidental = TKeySign::Sharp;
  } else if (sign == "MM") {
    accidental = TKeySign::DoubleSharp;
  } else {
    return false;
  }
  return true;
}

int32_t IntervalOfSign(char c) {
  size_t i = kIntervalSigns.find(c);
  return i == std::string_view::npos ? 0 : static_cast<int32_t>(i) + 2;
}

char IntervalSignOf(int32_t interval) {
  if (interval < 2 || interval > 8) {
    return 0;
  }
  return kIntervalSigns[interval - 2];
}

int32_t UpperDigitValue(char c) {
  if (c >= 'a' && c <= 'i') {
    return c - 'a' + 1;
  }
  return c == 'j' ? 0 : -1;
}

int32_t LowerDigitValue(char c) {
  return (c >= '0' && c <= '9') ? c - '0' : -1;
}

int32_t CellValueIndex(int32_t value) {
  switch (value) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 4:
      return 2;
    case 8:
      return 3;
    default:
      return -1;
  }
}
