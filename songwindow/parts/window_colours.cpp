#include "songwindow/parts/window_colours.h"

#include "platform/ini_file.h"

namespace {

constexpr const char* kSection = "Colours";

struct TColourKeys {
  const char* Background;
  int32_t BackgroundDefault;
  const char* Text;
  int32_t TextDefault;
};

// ORDER: TColourKind
constexpr TColourKeys kKeys[kColourKinds] = {
    {"BackgroundForm", 16384, "ColorForm", 16711935},
    {"BackgroundEditor", 1, "ColorEditor", 16777215},
    {"BackgroundLabel", 128, "ColorLabel", 8388800},
    {"BackgroundListBox", 8388608, "ColorListBox", 65535},
    {"BackgroundListView", 8388608, "ColorListView", 65535},
    {"BackgroundComboBox", 8388608, "ColorComboBox", 65535},
    {"BackgroundRadioButton", 2048, "ColorRadioButton", 6291840},
    {"BackgroundCheckBox", 2097280, "ColorCheckBox", 65280},
};

}  // namespace

TColour ColourOf(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<uint8_t>(bits & 0xFF), static_cast<uint8_t>((bits >> 8) & 0xFF),
          static_cast<uint8_t>((bits >> 16) & 0xFF)};
}

TColourScheme ReadColourScheme(const TIniFile& ini) {
  TColourScheme scheme;
  for (size_t kind = 0; kind < kColourKinds; ++kind) {
    const TColourKeys& keys = kKeys[kind];
    scheme[kind].Background = ColourOf(ini.ReadInteger(kSection, keys.Background, keys.BackgroundDefault));
    scheme[kind].Text = ColourOf(ini.ReadInteger(kSection, keys.Text, keys.TextDefault));
  }
  return scheme;
}
