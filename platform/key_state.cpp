#include "platform/key_state.h"

void TKeyState::SetShiftHeld(bool held) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shift_held_ = held;
  }
  changed_.notify_all();
}

void TKeyState::WaitWhileShiftHeld(const std::function<bool()>& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !shift_held_ || stop(); });
}

void TKeyState::Wake() {
  // Taking the lock orders the waker's change before the waiter's next look.
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

TKeyState& KeyState() {
  static TKeyState state;
  return state;
}
