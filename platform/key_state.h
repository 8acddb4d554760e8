// The keys held on the keyboard, as the program knows them. The window feeds the state
// from its key events; without a window every key reads as released.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

class TKeyState {
 public:
  // The window: Shift went down (true) or up (false; also when the window loses the
  // keyboard, so that a key released elsewhere is not held for ever).
  void SetShiftHeld(bool held);

  // Returns once Shift is released or `stop` answers true. `stop` is asked on entry and
  // after every Wake; whoever changes what it reads calls Wake.
  void WaitWhileShiftHeld(const std::function<bool()>& stop);
  // Makes every waiter ask its stop condition again.
  void Wake();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool shift_held_ = false;
};

// The program's key state.
TKeyState& KeyState();
