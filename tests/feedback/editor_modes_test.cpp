#include "feedback/editor_modes.h"

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "tests/support/keep.h"

namespace {

TEST(EditorModes, PressingTwiceLeavesTheModeAsItWasAndTheKeysAreIndependent) {
  TKeep keep(AdvancedEditing, PointMode);
  SetScrollLock(false);
  SetNumLock(true);
  PressScrollLock();
  EXPECT_TRUE(ScrollLockOn());
  EXPECT_TRUE(NumLockOn());
  PressScrollLock();
  EXPECT_FALSE(ScrollLockOn());
  PressNumLock();
  EXPECT_FALSE(NumLockOn());
  PressNumLock();
  EXPECT_TRUE(NumLockOn());
}

}  // namespace
