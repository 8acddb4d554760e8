// The colour scheme of every window, kept in section "Colours" of velto.ini: a background
// and a text colour for the window and for each kind of control that takes them.
#pragma once

#include <array>
#include <cstdint>

class TIniFile;

// The kinds that take colours; any other kind keeps its own.
enum TColourKind : uint8_t {
  ckForm,
  ckEditor,    // single-line and rich text edits
  ckLabel,
  ckListBox,
  ckListView,
  ckComboBox,
  ckRadioButton,
  ckCheckBox,
  kColourKinds,
};

// A colour as the ini file holds it: red + 256 * green + 65536 * blue.
struct TColour {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  bool operator==(const TColour&) const = default;
};

struct TColourPair {
  TColour Background;
  TColour Text;
  bool operator==(const TColourPair&) const = default;
};

using TColourScheme = std::array<TColourPair, kColourKinds>;

// The scheme of the ini file; a missing or unreadable key takes its default.
TColourScheme ReadColourScheme(const TIniFile& ini);

// The colour of an ini value.
TColour ColourOf(int32_t value);
