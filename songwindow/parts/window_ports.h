// What the song window's controller needs of the world outside it. Each port is small so
// that tests can record it; the view and the program supply the real ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Spoken texts (code page 1251); interrupt not 0 cuts off what is being said.
class ISpeaker {
 public:
  virtual ~ISpeaker() = default;
  virtual void Speak(const std::string& text, int interrupt) = 0;
};

// Sound signals by kind (TSound): Signal plays one when its setting is on, PlaySignal
// plays it regardless (the editor's beep is PlaySignal(sError)).
class ISignaller {
 public:
  virtual ~ISignaller() = default;
  virtual void Signal(uint8_t kind) = 0;
  virtual void PlaySignal(uint8_t kind) = 0;
};

// Modal message boxes of kinds 0..3 (LangMessageBox); answers with the button pressed.
class IQuestions {
 public:
  virtual ~IQuestions() = default;
  virtual int Ask(const std::string& text, uint8_t kind) = 0;
  // A question with one button per choice (code page 1251): the index chosen, or -1 when
  // the box is closed without a choice. Without a box to show: -1.
  virtual int Choose(const std::string& /*text*/, const std::vector<std::string>& /*choices*/,
                     int /*defaultChoice*/) {
    return -1;
  }
  // A box under its own caption with an OK button: an error, or a warning when `warning`.
  virtual int Tell(const std::string& text, const std::string& /*caption*/, bool warning) {
    return Ask(text, warning ? 1 : 3);
  }
};

// The save dialog: Filter is "description|*.ext" (code page 1251). The chosen path
// (UTF-8), or nothing when the user cancels.
class IFileDialogs {
 public:
  virtual ~IFileDialogs() = default;
  virtual std::optional<std::string> SaveFileName(const std::string& filter) = 0;
  // A save dialog captioned `title` that opens in `folder` (UTF-8) with `name` proposed
  // and asks before a file is replaced.
  virtual std::optional<std::string> SaveFileIn(const std::string& filter, const std::string& /*title*/,
                                                const std::string& /*folder*/, const std::string& /*name*/) {
    return SaveFileName(filter);
  }
};

// The main window's MIDI output device list: the device chosen for port 0, and the names of
// all devices in list order (code page 1251; none when there is no list).
class IDeviceChoice {
 public:
  virtual ~IDeviceChoice() = default;
  virtual int32_t SelectedDevice() const = 0;
  virtual std::vector<std::string> DeviceNames() const { return {}; }
};

// The two editors as the controller sees them. Text is code page 1251; carets are
// 0-based as the edit controls count them.
class IEditors {
 public:
  virtual ~IEditors() = default;
  virtual std::string NotesText() const = 0;
  virtual void SetNotesText(const std::string& text) = 0;
  virtual int32_t NotesCaret() const = 0;
  // The other end of the Braille editor's selection (the caret itself when none).
  virtual int32_t NotesAnchor() const = 0;
  // Puts the caret, selecting from anchor to it (anchor = caret: no selection).
  virtual void SetNotesCaret(int32_t caret, int32_t anchor) = 0;
  virtual std::vector<std::string> ProgramLines() const = 0;
  virtual void SetProgramLines(const std::vector<std::string>& lines) = 0;
  // Column and line of the program editor's caret.
  virtual int32_t ProgramCaretColumn() const = 0;
  virtual int32_t ProgramCaretLine() const = 0;
  virtual void SetProgramCaret(int32_t column, int32_t line) = 0;
  virtual bool NotesHasFocus() const = 0;
  virtual void FocusNotes() = 0;
  // The program editor takes the focus when it is shown.
  virtual void FocusProgram() {}
  // The program editor's own edit commands: whether it has the focus, its selected text
  // (code page 1251), selecting all of it, its one-step undo (true when something was
  // undone) and its selection replaced by `utf8` as typing under the undo label `label`.
  virtual bool ProgramHasFocus() const { return false; }
  virtual std::string ProgramSelection() const { return std::string(); }
  virtual void SelectAllProgram() {}
  virtual bool UndoProgram() { return false; }
  virtual bool ReplaceProgramSelection(const std::string& /*utf8*/, const std::string& /*label*/) {
    return false;
  }
};

// The system clipboard's text (UTF-8).
class IClipboard {
 public:
  virtual ~IClipboard() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& utf8) = 0;
};

// The editor modes kept by Scroll Lock and Num Lock; Press flips one.
class ILockKeys {
 public:
  virtual ~ILockKeys() = default;
  virtual bool ScrollLockOn() const = 0;
  virtual bool NumLockOn() const = 0;
  virtual void PressScrollLock() = 0;
  virtual void PressNumLock() = 0;
};

// The keyboard's own Num Lock light, which a screen reader follows for the keypad (the
// program's dot mode does not switch it): lit or not, nothing when the system cannot tell.
class IKeyboardLights {
 public:
  virtual ~IKeyboardLights() = default;
  virtual std::optional<bool> NumLockLit() const = 0;
};

// The single-shot timer TimerNoteOn: Start (re)arms it for interval milliseconds, Stop
// disarms it. When it fires, the owner calls the window's TimerNoteOnTimer.
class INoteTimer {
 public:
  virtual ~INoteTimer() = default;
  virtual void Start(int32_t intervalMs) = 0;
  virtual void Stop() = 0;
};

// Where note previews go: the port table's sends.
class INotePreview {
 public:
  virtual ~INotePreview() = default;
  virtual void SilenceAll() = 0;
  virtual void SendNote(int port, bool on, int key, int channel, int velocity) = 0;
  virtual void SendProgramChange(int port, int channel, int program) = 0;
  // Every channel of the port back to its defaults, its notes off.
  virtual void ResetPort(int port) = 0;
};

// The playback's tempo as a format plug-in's controls may change it.
class IPlayerTempo {
 public:
  virtual ~IPlayerTempo() = default;
  // True while the song of window number `window` plays.
  virtual bool Playing(int32_t window) const = 0;
  // Sets the playing song's tempo, in microseconds per quarter note.
  virtual void SetTempo(uint32_t usPerQuarter) = 0;
};

// The window's modal dialogs. Show opens one owned by the window and returns when it is
// closed; the dialog hands its results back through its globals (dialog_results.h).
enum class TWindowDialog : uint8_t {
  TrackProperties,  // name, channel, solo, ensemble, handler, output (also names a new track)
  TrackCopy,        // which tracks go to the track clipboard
  TrackText,        // the whole music text of the current track
  MeasureRange,     // first and last measure and the voices, for clearing, deleting, copying
  GoTo,             // a measure and a voice to go to
  Find,             // the search text and options (with the replacement for replacing)
  Instruments,      // the General MIDI instruments, heard and written into the handler
  Drums,            // the drum keys, heard with a drum kit
  ModuleEditor,     // a handler module or its description (EditModuleFile, EditModuleLine)
  ModuleManager,    // the modules attached to all tracks and to the current track
  ModuleName,       // a module's new name (ModuleNameBuffer)
  BlockWizard,       // a block of the track and its parameters for the tag at the caret
  TranslatorPicker,  // the current track's translator
  NotationMenu,     // the notation insert menu at the Braille editor; a choice is inserted
};

class IWindowDialogs {
 public:
  virtual ~IWindowDialogs() = default;
  virtual void Show(TWindowDialog which) = 0;
};

// The ports a window talks through (all borrowed). Speaker, Signaller, Questions,
// LockKeys, NotePreview, Player and KeyboardLights default to the program's own (feedback/, playback/); a
// window without NoteTimer never silences a preview by itself; the others must be given.
struct TSongWindowPorts {
  ISpeaker* Speaker = nullptr;
  ISignaller* Signaller = nullptr;
  IQuestions* Questions = nullptr;
  IFileDialogs* FileDialogs = nullptr;
  IDeviceChoice* DeviceCombo = nullptr;
  IEditors* Editors = nullptr;
  ILockKeys* LockKeys = nullptr;
  INoteTimer* NoteTimer = nullptr;
  INotePreview* NotePreview = nullptr;
  IPlayerTempo* Player = nullptr;
  IKeyboardLights* KeyboardLights = nullptr;
  IWindowDialogs* Dialogs = nullptr;  // none: a command that needs a dialog beeps
  IClipboard* Clipboard = nullptr;    // none: copy and paste give the error signal
};

// The program's own speech, signals, message boxes, lock modes and MIDI ports; a timer
// that never fires.
ISpeaker& SystemSpeaker();
ISignaller& SystemSignaller();
IQuestions& SystemQuestions();
ILockKeys& SystemLockKeys();
INotePreview& SystemNotePreview();
INoteTimer& IdleNoteTimer();
IPlayerTempo& SystemPlayerTempo();
IKeyboardLights& SystemKeyboardLights();
