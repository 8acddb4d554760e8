#include "songwindow/controller/window_ports.h"

#include "feedback/editor_modes.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "feedback/speech.h"

namespace {

class TSystemSpeaker : public ISpeaker {
 public:
  void Speak(const std::string& text, int interrupt) override { ::Speak(text, interrupt); }
};

class TSystemSignaller : public ISignaller {
 public:
  void Signal(uint8_t kind) override { ::Signal(kind); }
};

class TSystemQuestions : public IQuestions {
 public:
  int Ask(const std::string& text, uint8_t kind) override { return LangMessageBox(text, kind); }
};

class TSystemLockKeys : public ILockKeys {
 public:
  bool ScrollLockOn() const override { return ::ScrollLockOn(); }
  bool NumLockOn() const override { return ::NumLockOn(); }
};

}  // namespace

ISpeaker& SystemSpeaker() {
  static TSystemSpeaker speaker;
  return speaker;
}

ISignaller& SystemSignaller() {
  static TSystemSignaller signaller;
  return signaller;
}

IQuestions& SystemQuestions() {
  static TSystemQuestions questions;
  return questions;
}

ILockKeys& SystemLockKeys() {
  static TSystemLockKeys keys;
  return keys;
}
