#include "songwindow/parts/window_ports.h"

#include "feedback/editor_modes.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "feedback/speech.h"
#include "platform/keyboard_lights.h"
#include "playback/midi_ports.h"
#include "playback/player.h"

namespace {

class TSystemSpeaker : public ISpeaker {
 public:
  void Speak(const std::string& text, int interrupt) override { ::Speak(text, interrupt); }
};

class TSystemSignaller : public ISignaller {
 public:
  void Signal(uint8_t kind) override { ::Signal(kind); }
  void PlaySignal(uint8_t kind) override { ::PlaySignal(kind); }
};

class TSystemQuestions : public IQuestions {
 public:
  int Ask(const std::string& text, uint8_t kind) override { return LangMessageBox(text, kind); }
  int Choose(const std::string& text, const std::vector<std::string>& choices,
             int defaultChoice) override {
    return LangChoiceBox(text, choices, defaultChoice);
  }
  int Tell(const std::string& text, const std::string& caption, bool warning) override {
    return CaptionedMessageBox(text, caption, warning);
  }
};

class TSystemLockKeys : public ILockKeys {
 public:
  bool ScrollLockOn() const override { return ::ScrollLockOn(); }
  bool NumLockOn() const override { return ::NumLockOn(); }
  void PressScrollLock() override { ::PressScrollLock(); }
  void PressNumLock() override { ::PressNumLock(); }
};

class TSystemNotePreview : public INotePreview {
 public:
  void SilenceAll() override { ::SilenceAll(); }
  void SendNote(int port, bool on, int key, int channel, int velocity) override {
    ::SendNote(port, on, key, channel, velocity);
  }
  void SendProgramChange(int port, int channel, int program) override {
    ::SendProgramChange(port, channel, program);
  }
  void ResetPort(int port) override { ::ResetPort(port); }
};

class TIdleNoteTimer : public INoteTimer {
 public:
  void Start(int32_t /*intervalMs*/) override {}
  void Stop() override {}
};

class TSystemPlayerTempo : public IPlayerTempo {
 public:
  bool Playing(int32_t window) const override {
    return GPlayer.Playing.load() && GPlayerOwner.load() == window;
  }
  void SetTempo(uint32_t usPerQuarter) override { RequestPlayerTempo(usPerQuarter); }
};

class TSystemKeyboardLights : public IKeyboardLights {
 public:
  std::optional<bool> NumLockLit() const override { return KeyboardNumLockOn(); }
};

}  // namespace

IKeyboardLights& SystemKeyboardLights() {
  static TSystemKeyboardLights lights;
  return lights;
}

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

INotePreview& SystemNotePreview() {
  static TSystemNotePreview preview;
  return preview;
}

INoteTimer& IdleNoteTimer() {
  static TIdleNoteTimer timer;
  return timer;
}

IPlayerTempo& SystemPlayerTempo() {
  static TSystemPlayerTempo player;
  return player;
}
