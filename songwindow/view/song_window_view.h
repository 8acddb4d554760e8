// The song window's widgets: the Braille line editor and the program editor with their
// labels, the status bar and the window's menus. They mirror the controller's state and
// hand focus, key releases and closing to it.
#pragma once

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <map>
#include <memory>
#include <string>

#include "songwindow/controller/song_window.h"
#include "songwindow/widgets/accessible_text.h"

class TPluginControlsView;

class TSongWindowView : public QWidget,
                        public IEditors,
                        public IFileDialogs,
                        public INoteTimer,
                        public IWindowDialogs,
                        public IClipboard {
 public:
  // A window numbered `number` for a song of extension `ext`; `device` is the main
  // window's device list (borrowed).
  TSongWindowView(IDeviceChoice* device, int32_t number, const std::string& ext,
                  QWidget* parent = nullptr);
  ~TSongWindowView() override;

  TSongWindow& Controller() { return *controller_; }
  // The window's own menus, in menu-bar order.
  const QList<QMenu*>& Menus() const { return menus_; }
  // Copies the controller's captions, panels and action states into the widgets.
  void Mirror();
  // Runs `run` when the action `name` is triggered; until then the action stays disabled.
  void BindCommand(const std::string& name, std::function<void()> run);
  // Called after the caption changed (the sub-window shows it).
  std::function<void()> CaptionChanged;

  // IEditors
  std::string NotesText() const override;
  void SetNotesText(const std::string& text) override;
  int32_t NotesCaret() const override;
  int32_t NotesAnchor() const override;
  void SetNotesCaret(int32_t caret, int32_t anchor) override;
  std::vector<std::string> ProgramLines() const override;
  void SetProgramLines(const std::vector<std::string>& lines) override;
  int32_t ProgramCaretColumn() const override;
  int32_t ProgramCaretLine() const override;
  void SetProgramCaret(int32_t column, int32_t line) override;
  bool NotesHasFocus() const override;
  void FocusNotes() override;
  void FocusProgram() override;
  bool ProgramHasFocus() const override;
  std::string ProgramSelection() const override;
  void SelectAllProgram() override;
  bool UndoProgram() override;
  bool ReplaceProgramSelection(const std::string& utf8, const std::string& label) override;

  // IClipboard: the system clipboard.
  std::string Text() const override;
  void SetText(const std::string& utf8) override;

  // IFileDialogs
  std::optional<std::string> SaveFileName(const std::string& filter) override;
  std::optional<std::string> SaveFileIn(const std::string& filter, const std::string& title,
                                        const std::string& folder, const std::string& name) override;

  // IWindowDialogs: the dialog, modal over this window (window_dialogs.cpp).
  void Show(TWindowDialog which) override;

  // INoteTimer: TimerNoteOn.
  void Start(int32_t intervalMs) override;
  void Stop() override;

  // The Braille editor, showing the line and caret the controller left in it.
  QLineEdit* NotesEdit1() const {
    const_cast<TSongWindowView*>(this)->ShowNotes();
    return notes_edit_;
  }
  QPlainTextEdit* ProgramEdit() const { return program_edit_; }
  // The window is reached: the focus goes back to the field the user left it in (the
  // Braille editor at first).
  void RestoreFocus();
  // Another window was reached: until this one is reached again, the focus Qt moves in it
  // is not the user's.
  void Left();
  // The window's close was accepted: it is going away, and nothing is said of it.
  bool Closing() const { return closing_; }
  // That field, as the controller names it.
  TFocusField FocusField() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Tab and Shift+Tab move between the two editors and the plug-in's controls.
  bool focusNextPrevChild(bool next) override;

 private:
  void BuildWidgets();
  void BuildMenus();
  void BindActions();
  // The action of the window whose key this is, enabled or not; null when none.
  QAction* CommandOf(const QKeyEvent& key) const;
  // True for the key of an enabled action of the window.
  bool IsCommandKey(const QKeyEvent& key) const;
  // The notation insert menu, modal at the Braille editor (window_dialogs.cpp).
  void ShowNotationMenu();
  // The Braille editor's own events; true when the event is taken.
  bool NotesEvent(QEvent* event);
  // Paste, cut and delete in the program editor, through the controller.
  bool ProgramEditReplace(QString inserted, bool cut, bool toClipboard, const std::string& label = {});
  void ProgramEditMenu(const QPoint& at);
  // After a change: the present song is written once the events queued now are handled
  // (later while a modal dialog is up, whose command may be half done).
  void KeepPresentSong();
  void WritePresentSong();
  // What the program changed in the editors reaches the screen reader once the key is
  // handled: the cells changed and the caret (a whole line for a line of another place).
  void AnnounceLater();
  void AnnounceEditors();
  // The Braille line, read from the widget only when not known already.
  const std::string& KnownNotes() const;
  // Puts the line and caret the controller set into the Braille editor.
  void ShowNotes();
  void ShowShortNotes();

  std::unique_ptr<TSongWindow> controller_;
  QLabel* notes_label_ = nullptr;     // NotesEditText
  QLineEdit* notes_edit_ = nullptr;   // NotesEdit1
  QLabel* program_label_ = nullptr;   // ProgrammText
  QPlainTextEdit* program_edit_ = nullptr;  // ProgramEdit
  QStatusBar* status_bar_ = nullptr;
  QTimer note_timer_;  // TimerNoteOn
  QTimer present_timer_;         // writes the present song
  int present_delay_ms_ = 0;     // twice the last write's time: typing in a big song stays fast
  TPluginControlsView* plugin_controls_ = nullptr;  // the format plug-in's controls
  std::array<QLabel*, 6> panels_{};
  QList<QMenu*> menus_;
  std::map<std::string, QMenu*> menu_items_;     // menu item name -> menu
  std::map<std::string, QAction*> actions_;      // action name -> action
  std::map<std::string, bool> commands_;        // actions with a command bound
  bool mirroring_ = false;
  // The Braille line (code page 1251) as the controller set it or last read it, kept so
  // that a key reads the line without converting the widget's text. The widget takes the
  // controller's line and caret at once, or, for a line of 65,536 cells or more, once the
  // keys queued now are handled (ShowNotes): a long line is laid out once for them all.
  mutable std::string notes_;
  mutable bool notes_known_ = false;  // notes_ holds the line
  bool notes_pending_ = false;        // the widget does not show notes_caret_ yet
  bool notes_text_pending_ = false;   // nor notes_
  bool showing_notes_ = false;        // ShowNotes is setting the widget's text
  int32_t notes_caret_ = 0;
  int32_t notes_anchor_ = 0;
  QTimer announce_timer_;
  // What the screen reader knows of the editors: the texts and the place of the line.
  TFieldState heard_notes_;
  TFieldState heard_program_;
  std::array<intptr_t, 3> heard_place_{};
  int running_commands_ = 0;         // window commands running now (one inside another's dialog)
  bool changed_by_command_ = false;  // the editors' changes not yet told came of a command
  bool tab_key_ = false;          // the focus is being moved by Tab or Shift+Tab
  QPointer<QWidget> last_focus_;  // the field of this window that had the focus last
  bool reached_ = false;          // the window is the one reached last
  bool closing_ = false;
};
