#include "feedback/editor_modes.h"

#include <atomic>

namespace {
std::atomic<bool> gScrollLock{false};
std::atomic<bool> gNumLock{false};

void Flip(std::atomic<bool>& mode) {
  bool was = mode.load();
  while (!mode.compare_exchange_weak(was, !was)) {
  }
}
}  // namespace

void PressScrollLock() {
  Flip(gScrollLock);
}

void PressNumLock() {
  Flip(gNumLock);
}

bool ScrollLockOn() {
  return gScrollLock.load();
}

bool NumLockOn() {
  return gNumLock.load();
}

void SetScrollLock(bool on) {
  gScrollLock.store(on);
}

void SetNumLock(bool on) {
  gNumLock.store(on);
}
