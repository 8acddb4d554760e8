// The key state: released unless the window says otherwise; a wait for Shift to be
// released ends on the release or on a stop.
#include "platform/key_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(KeyState, ReleasedWithoutAWindow) {
  TKeyState keys;
  EXPECT_FALSE(keys.ShiftHeld());
  keys.WaitWhileShiftHeld([] { return false; });  // returns at once
  EXPECT_FALSE(KeyState().ShiftHeld());
}

TEST(KeyState, AWaitEndsOnReleaseOrStop) {
  for (const bool release : {true, false}) {
    TKeyState keys;
    keys.SetShiftHeld(true);
    std::atomic<bool> stop{false};
    std::atomic<bool> waited{false};
    std::thread waiter([&] {
      keys.WaitWhileShiftHeld([&] { return stop.load(); });
      waited = true;
    });
    EXPECT_FALSE(waited.load());
    if (release) {
      keys.SetShiftHeld(false);
    } else {
      stop = true;
      keys.Wake();
    }
    waiter.join();
    EXPECT_TRUE(waited.load());
    EXPECT_EQ(keys.ShiftHeld(), !release);
  }
}

}  // namespace
