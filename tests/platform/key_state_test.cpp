// The key state: released unless the window says otherwise; a wait for Shift to be
// released ends on the release or on a stop.
#include "platform/key_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(KeyState, AWaitEndsAtOnceWithoutAWindowAndOnReleaseOrStop) {
  KeyState().WaitWhileShiftHeld([] { return false; });  // nothing fed it: released
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
  }
}

}  // namespace
