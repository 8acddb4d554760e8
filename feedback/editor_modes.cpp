#include "feedback/editor_modes.h"

#include "settings/settings.h"

void PressScrollLock() {
  AdvancedEditing = !AdvancedEditing;
}

void PressNumLock() {
  PointMode = !PointMode;
}

bool ScrollLockOn() {
  return AdvancedEditing;
}

bool NumLockOn() {
  return PointMode;
}

void SetScrollLock(bool on) {
  AdvancedEditing = on;
}

void SetNumLock(bool on) {
  PointMode = on;
}
