#include "platform/keyboard_lights.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

// A connection of its own, opened at the first question and kept; null when there is no
// display or it lacks the keyboard extension.
Display* IndicatorDisplay() {
  static Display* const display = [] {
    Display* opened = XOpenDisplay(nullptr);
    if (opened == nullptr) {
      return opened;
    }
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(opened, &opcode, &event, &error, &major, &minor)) {
      XCloseDisplay(opened);
      return static_cast<Display*>(nullptr);
    }
    return opened;
  }();
  return display;
}

}  // namespace

std::optional<bool> KeyboardNumLockOn() {
  Display* display = IndicatorDisplay();
  if (display == nullptr) {
    return std::nullopt;
  }
  const Atom name = XInternAtom(display, "Num Lock", False);
  Bool on = False;
  if (name == None || !XkbGetNamedIndicator(display, name, nullptr, &on, nullptr, nullptr)) {
    return std::nullopt;
  }
  return on != False;
}
