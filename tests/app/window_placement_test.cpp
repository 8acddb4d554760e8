#include "app/window_placement.h"

#include <gtest/gtest.h>

#include "platform/ini_file.h"

namespace {

constexpr TFormDesign kDesign = {8, 800, 600, 320, 240, 0, 0};
constexpr TWindowPlacement kPresent = {ssNormal, 0, 10, 20, 100, 100};

TWindowPlacement Restore(const TIniFile& ini, int32_t textHeight) {
  return RestoreFormPlacement(ini, "Main", kPresent, textHeight, kDesign, 1280, 1024, 8, 30);
}

TEST(WindowPlacement, WithoutAnIniTheWindowIsCentredAtItsDesignSize) {
  const TIniFile empty;
  EXPECT_EQ(Restore(empty, 8), (TWindowPlacement{ssNormal, 0, (1280 - 808) / 2, (1024 - 630) / 2, 800, 600}));
  // A larger text than designed: the size is scaled by design / current.
  const TWindowPlacement scaled = Restore(empty, 10);
  EXPECT_EQ(scaled.ClientWidth, 640);
  EXPECT_EQ(scaled.ClientHeight, 480);
  EXPECT_EQ(scaled.Left, (1280 - 648) / 2);
  // Without text heights nothing is restored.
  EXPECT_EQ(Restore(empty, 0), kPresent);
}

TEST(WindowPlacement, SavedAndRestoredAtOneTextHeightComesBackTheSame) {
  const TWindowPlacement moved = {ssMaximised, 2, 33, 44, 555, 366};
  // At or above the design text height the size comes back exactly.
  for (int32_t textHeight : {8, 13, 21}) {
    TIniFile ini;
    SaveFormPlacement(ini, "Main", moved, textHeight, kDesign);
    const TWindowPlacement back = Restore(ini, textHeight);
    EXPECT_EQ(back.State, ssMaximised);
    EXPECT_EQ(back.Left, 33);
    EXPECT_EQ(back.Top, 44);
    EXPECT_EQ(back.ClientWidth, 555) << textHeight;
    EXPECT_EQ(back.ClientHeight, 366) << textHeight;
  }
  TIniFile untouched;
  SaveFormPlacement(untouched, "Main", moved, 0, kDesign);
  EXPECT_FALSE(untouched.SectionExists("Main"));
}

TEST(WindowPlacement, AMaximisedWindowKeepsItsNormalFrameRunAfterRun) {
  TIniFile ini = TIniFile::FromText("[Main]\nState=3\nLeft=100\nTop=50\n");
  for (int run = 0; run < 3; ++run) {
    TNormalFrame frame(Restore(ini, 8));
    frame.Seen(ssMaximised, 0, 0, 1272, 994);  // the maximised frame is no normal place
    SaveFormPlacement(ini, "Main", frame.Placement(ssMaximised), 8, kDesign);
  }
  EXPECT_EQ(Restore(ini, 8), (TWindowPlacement{ssMaximised, 0, 100, 50, 800, 600}));
  // Shown normal elsewhere and maximised again: that normal frame is the one kept.
  TNormalFrame frame(Restore(ini, 8));
  frame.Seen(ssNormal, 200, 60, 700, 500);
  frame.Seen(ssMinimised, 0, 0, 160, 20);
  frame.Seen(ssMaximised, 0, 0, 1272, 994);
  EXPECT_EQ(frame.Placement(ssMaximised), (TWindowPlacement{ssMaximised, 0, 200, 60, 700, 500}));
}

TEST(WindowPlacement, LimitsAndRoundingFollowTheTextHeights) {
  const TFormDesign limits = ScaledLimits(kDesign, 16);
  EXPECT_EQ(limits.MinWidth, 160);
  EXPECT_EQ(limits.MinHeight, 120);
  EXPECT_EQ(limits.MaxWidth, 0);
  EXPECT_EQ(MulDiv(5, 3, 2), 8);    // 7.5 rounds away from zero
  EXPECT_EQ(MulDiv(-5, 3, 2), -8);
  EXPECT_EQ(MulDiv(5, 3, 0), 0);
}

}  // namespace
