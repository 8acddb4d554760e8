// Recording fakes of the song window's ports, and a window set up on a temporary program
// folder with a song given as UTF-8 song text.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "feedback/message_box.h"
#include "platform/codec1251.h"
#include "settings/settings.h"
#include "songwindow/controller/song_window.h"
#include "tests/support/temp_dir.h"

namespace songwindowtest {

inline std::string W(const std::string& utf8) { return Utf8ToCp1251(utf8).Text; }
inline std::string U(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

class TFakeEditors : public IEditors {
 public:
  std::string NotesText() const override { return notes; }
  void SetNotesText(const std::string& text) override { notes = text, caret = anchor = 0; }
  int32_t NotesCaret() const override { return caret; }
  int32_t NotesAnchor() const override { return anchor; }
  void SetNotesCaret(int32_t c, int32_t a) override { caret = c, anchor = a; }
  std::vector<std::string> ProgramLines() const override { return program; }
  void SetProgramLines(const std::vector<std::string>& lines) override { program = lines; }
  int32_t ProgramCaretColumn() const override { return column; }
  int32_t ProgramCaretLine() const override { return line; }
  void SetProgramCaret(int32_t c, int32_t l) override { column = c, line = l; }
  bool NotesHasFocus() const override { return notes_focused; }
  void FocusNotes() override { notes_focused = true; }
  void FocusProgram() override { notes_focused = false, program_focused = true; }
  // The program editor's selection as [selection_from, selection_to) of its lines joined
  // by "\n"; its undo takes back to `program_undo` once.
  bool ProgramHasFocus() const override { return program_focused && !notes_focused; }
  std::string ProgramSelection() const override { return Joined().substr(selection_from, selection_to - selection_from); }
  void SelectAllProgram() override { selection_from = 0, selection_to = Joined().size(); }
  bool UndoProgram() override {
    if (!program_undo) {
      return false;
    }
    program = *program_undo;
    program_undo.reset();
    return true;
  }
  bool ReplaceProgramSelection(const std::string& utf8, const std::string& label) override {
    replaced.push_back({utf8, label});
    return true;
  }
  std::string Joined() const {
    std::string text;
    for (size_t i = 0; i < program.size(); ++i) {
      text += (i == 0 ? "" : "\n") + program[i];
    }
    return text;
  }

  std::string notes;
  int32_t caret = 0;
  int32_t anchor = 0;
  std::vector<std::string> program;
  int32_t column = 0;
  int32_t line = 0;
  bool notes_focused = false;
  bool program_focused = false;
  size_t selection_from = 0;
  size_t selection_to = 0;
  std::optional<std::vector<std::string>> program_undo;
  std::vector<std::pair<std::string, std::string>> replaced;  // text (UTF-8) and undo label
};

// The system clipboard (UTF-8).
class TFakeClipboard : public IClipboard {
 public:
  std::string Text() const override { return text; }
  void SetText(const std::string& utf8) override { text = utf8; }
  std::string text;
};

// Each spoken text in UTF-8, with "I" or "S" in front for interrupting or queued.
class TRecordingSpeaker : public ISpeaker {
 public:
  void Speak(const std::string& text, int interrupt) override {
    said.push_back((interrupt != 0 ? "I " : "S ") + U(text));
  }
  std::vector<std::string> said;
};

// Signal kinds as given; PlaySignal (regardless of the settings) as kind + 100.
class TRecordingSignaller : public ISignaller {
 public:
  void Signal(uint8_t kind) override { kinds.push_back(kind); }
  void PlaySignal(uint8_t kind) override { kinds.push_back(static_cast<uint8_t>(kind + 100)); }
  std::vector<uint8_t> kinds;
};

// Answers with the scripted buttons (then Cancel) and keeps every text asked (UTF-8).
class TScriptedQuestions : public IQuestions {
 public:
  int Ask(const std::string& text, uint8_t kind) override {
    asked.push_back(std::to_string(kind) + " " + U(text));
    if (answers.empty()) {
      return mbCancel;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // Boxes with their own caption: kept as "caption: text" (UTF-8) in told.
  int Tell(const std::string& text, const std::string& caption, bool /*warning*/) override {
    told.push_back(U(caption) + ": " + U(text));
    return mbOk;
  }
  std::vector<std::string> told;
  // Choice questions take the scripted choices (then -1, the box closed); each is kept in
  // `asked` as "choose TEXT [CHOICE|CHOICE...] default N".
  int Choose(const std::string& text, const std::vector<std::string>& choices,
             int defaultChoice) override {
    std::string list;
    for (const std::string& choice : choices) {
      list += (list.empty() ? "" : "|") + U(choice);
    }
    asked.push_back("choose " + U(text) + " [" + list + "] default " + std::to_string(defaultChoice));
    if (choose.empty()) {
      return -1;
    }
    const int answer = choose.front();
    choose.pop_front();
    return answer;
  }
  std::deque<int> answers;
  std::deque<int> choose;
  std::vector<std::string> asked;
};

class TFakeFileDialogs : public IFileDialogs {
 public:
  std::optional<std::string> SaveFileName(const std::string& filter) override {
    filters.push_back(U(filter));
    return answer;
  }
  // Kept as "TITLE|FOLDER|NAME" (UTF-8).
  std::optional<std::string> SaveFileIn(const std::string& filter, const std::string& title, const std::string& folder,
                                        const std::string& name) override {
    places.push_back(U(title) + "|" + folder + "|" + name);
    return SaveFileName(filter);
  }
  std::optional<std::string> answer;
  std::vector<std::string> filters;
  std::vector<std::string> places;
};

class TFakeDevice : public IDeviceChoice {
 public:
  int32_t SelectedDevice() const override { return device; }
  std::vector<std::string> DeviceNames() const override { return names; }
  int32_t device = 0;
  std::vector<std::string> names;  // code page 1251
};

class TFakeLocks : public ILockKeys {
 public:
  bool ScrollLockOn() const override { return scroll; }
  bool NumLockOn() const override { return num; }
  void PressScrollLock() override { scroll = !scroll; }
  void PressNumLock() override { num = !num; }
  bool scroll = false;
  bool num = false;
};

// The keyboard's Num Lock light: lit unless a test says otherwise; nothing = unknown.
class TFakeLights : public IKeyboardLights {
 public:
  std::optional<bool> NumLockLit() const override { return lit; }
  std::optional<bool> lit = true;
};

// The preview timer: armed or not, and for how long.
class TFakeNoteTimer : public INoteTimer {
 public:
  void Start(int32_t intervalMs) override { armedMs = intervalMs; }
  void Stop() override { armedMs = 0; }
  int32_t armedMs = 0;
};

// Each preview message: "off" for SilenceAll, "on PORT CHANNEL KEY VELOCITY" for a note,
// "program PORT CHANNEL PROGRAM" and "reset PORT".
class TRecordingPreview : public INotePreview {
 public:
  void SilenceAll() override { sent.push_back("off"); }
  void SendNote(int port, bool on, int key, int channel, int velocity) override {
    sent.push_back(std::string(on ? "on " : "noteoff ") + std::to_string(port) + " " + std::to_string(channel) + " " +
                   std::to_string(key) + " " + std::to_string(velocity));
  }
  void SendProgramChange(int port, int channel, int program) override {
    sent.push_back("program " + std::to_string(port) + " " + std::to_string(channel) + " " + std::to_string(program));
  }
  void ResetPort(int port) override { sent.push_back("reset " + std::to_string(port)); }
  std::vector<std::string> sent;
};

// The program folder of one test, with its temporary folder.
class TScopedProgramDir {
 public:
  TScopedProgramDir() : saved_(ProgramDir) {
    ProgramDir = dir_.Path();
    std::filesystem::create_directories(dir_.Path() + "Resources/temp");
  }
  ~TScopedProgramDir() { ProgramDir = saved_; }
  const TTempDir& Dir() const { return dir_; }
  // The names of the files left in Resources/temp.
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path() + "Resources/temp")) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  TTempDir dir_;
  std::string saved_;
};

// Dialogs answered by a script: each Show records the dialog and runs the answer given for
// it (which sets the dialog's globals as the user's choice would), if any.
struct TScriptedDialogs : IWindowDialogs {
  std::vector<TWindowDialog> shown;
  std::map<TWindowDialog, std::function<void()>> answers;
  void Show(TWindowDialog which) override {
    shown.push_back(which);
    if (auto answer = answers.find(which); answer != answers.end()) {
      answer->second();
    }
  }
};

// A window with recording ports on a fresh program folder.
struct TWindowRig {
  TScopedProgramDir home;
  TFakeEditors editors;
  TRecordingSpeaker speaker;
  TRecordingSignaller signaller;
  TScriptedQuestions questions;
  TFakeFileDialogs dialogs;
  TFakeDevice device;
  TFakeLocks locks;
  TFakeNoteTimer timer;
  TRecordingPreview preview;
  TFakeLights lights;
  TScriptedDialogs windowDialogs;
  TFakeClipboard clipboard;

  TSongWindowPorts Ports() {
    TSongWindowPorts ports{&speaker, &signaller, &questions, &dialogs, &device, &editors, &locks, &timer, &preview};
    ports.KeyboardLights = &lights;
    ports.Dialogs = &windowDialogs;
    ports.Clipboard = &clipboard;
    return ports;
  }
};

// Fills a window's track list from song text lines (UTF-8, without label and file name);
// the last track read is current.
inline void LoadSongText(TVelto& window, const std::vector<std::string>& utf8Lines,
                         const std::string& fileName = "") {
  window.Data = {"", fileName};
  for (const std::string& line : utf8Lines) {
    window.Data.push_back(W(line));
  }
  std::string label;
  window.Convert(label);
}

}  // namespace songwindowtest
