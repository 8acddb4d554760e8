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
    std::atomic<int> asked{0};
    std::thread waiter([&] {
      keys.WaitWhileShiftHeld([&] {
        // The flag is read before the count shows: the first look always finds it unset.
        const bool stopped = stop.load();
        ++asked;
        return stopped;
      });
      waited = true;
    });
    // The stop condition is asked under the lock that SetShiftHeld and Wake take: once it
    // has been asked, they reach a waiter that sleeps.
    while (asked.load() == 0) {
      std::this_thread::yield();
    }
    EXPECT_FALSE(waited.load());
    if (release) {
      keys.SetShiftHeld(false);
    } else {
      stop = true;
      keys.Wake();
    }
    waiter.join();
    EXPECT_TRUE(waited.load());
    if (!release) {
      EXPECT_GE(asked.load(), 2);  // the stop was seen after the wake
    }
  }
}

}  // namespace
