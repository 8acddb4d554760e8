#include "songwindow/parts/window_colours.h"

#include <gtest/gtest.h>

#include "platform/ini_file.h"

namespace {

TEST(WindowColours, DefaultsAndEditedKeys) {
  const TColourScheme defaults = ReadColourScheme(TIniFile());
  EXPECT_EQ(defaults[ckForm], (TColourPair{{0, 64, 0}, {255, 0, 255}}));
  EXPECT_EQ(defaults[ckEditor], (TColourPair{{1, 0, 0}, {255, 255, 255}}));
  EXPECT_EQ(defaults[ckLabel], (TColourPair{{128, 0, 0}, {192, 0, 128}}));
  EXPECT_EQ(defaults[ckRadioButton], (TColourPair{{0, 8, 0}, {128, 1, 96}}));
  EXPECT_EQ(defaults[ckCheckBox], (TColourPair{{128, 0, 32}, {0, 255, 0}}));
  const TIniFile edited = TIniFile::FromText("[Colours]\nColorEditor=255\nBackgroundListBox=oops\n");
  const TColourScheme scheme = ReadColourScheme(edited);
  EXPECT_EQ(scheme[ckEditor].Text, (TColour{255, 0, 0}));
  EXPECT_EQ(scheme[ckListBox].Background, (TColour{0, 0, 128}));
}

}  // namespace
