// The song window without widgets: the song (TVelto), its undo ring, what the window shows
// (captions, status panels, action states) and the operations of creation, display,
// focus and closing. The view mirrors the state after each call; everything outside goes
// through the ports.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_identity.h"
#include "model/song.h"
#include "model/undo.h"
#include "pluginhost/plugin_controls.h"
#include "render/render_thread.h"
#include "songwindow/controller/notation_menu.h"
#include "songwindow/controller/window_texts.h"
#include "songwindow/parts/window_ports.h"

class IPreparationWindow;
class TBrailleEditor;

// Controls a format plug-in may put on a window.
inline constexpr size_t kMaxPluginControls = 255;
// The undo label of a song written to its file (UTF-8).
inline constexpr const char* kSaveLabel = "Сохранение";
// Items of the popup menu a format plug-in fills.
inline constexpr size_t kMaxPopupItems = 64;

// An item of the popup menu of the plug-in's controls.
struct TPopupItem {
  std::string Caption;    // code page 1251
  uint16_t ShortCut = 0;  // key code + 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt; 0 = none
  bool operator==(const TPopupItem&) const = default;
};

// What F4 says next: the place when false, the track when true (shared by all windows).
extern bool SayPlaceToggle;

// The highest voice the voice moves reach.
inline constexpr uint16_t kLastVoice = 50;

// ShowTreck modes.
enum TShowMode : uint8_t {
  smTrack = 0,
  smMeasure = 1,
  smVoice = 2,
  smPlace = 3,
  smSolo = 4,
  smEnabled = 5,
  smHandler = 6,
  smReset = 7,
  smSilent = 255,
};

// What the user chose before the song is written over a file that another program
// changed or deleted since this window loaded or wrote it.
enum class TWriteOver : uint8_t {
  Write,          // write over it (or write it again)
  Keep,           // leave the other version (or the deletion); nothing is written
  SaveElsewhere,  // save the song under another name
  Cancel,         // do nothing
};

// What Ctrl+S came to.
enum class TSaveResult : uint8_t { Saved, NotSaved, SaveAsWanted };

// The file a save dialog's answer `chosen` names: `ext` (UTF-8, with its dot) appended when
// it has none, and an existing file of that name whatever its case taken for it.
std::filesystem::path SaveDialogPath(const std::filesystem::path& chosen, const std::string& ext);

// Field N (1-based) of a line whose fields are separated by "()"; empty when the line has
// fewer fields.
std::string GetWideField(std::string_view Line, uint16_t N);
// Field N of line LineNo (1-based) of List; empty when the list has fewer lines.
std::string GetLineField(const std::vector<std::string>& List, uint16_t LineNo, uint16_t N);

// Where the focus of a window is: the Braille editor, the program editor or elsewhere (a
// plug-in's control).
enum class TFocusField { Notes, Program, Other };

class TSongWindow : public TVelto {
 public:
  // The constructor's steps: number, format plug-in chosen by Ext, undo state file
  // written, captions set. Ports left null take the program's own.
  TSongWindow(const TSongWindowPorts& ports, int32_t Number, const std::string& Ext);
  ~TSongWindow() override;

  // Called after every change of what the window shows (captions, panels, actions, editors).
  std::function<void()> StateChanged;

  bool TabEntered = false;
  bool Modified = false;  // set by typing and by every labelled undo snapshot
  uint8_t ControlCount = 0;
  // The window as the format plug-in sees it, with its controls (numbered 1..ControlCount).
  VeltoWindow PluginWindow;
  std::vector<TPopupItem> PopupItems;  // the popup menu shared by the plug-in's controls
  std::string EditModuleFile;
  int32_t EditModuleLine = 0;
  std::string LastAuditionText;
  std::string FormatExt = "qem";
  bool CaretAtStart = false;
  bool EdgeArmed = false;
  bool CaretAtEnd = false;

  // What the view shows.
  std::string Caption;                    // window caption (code page 1251)
  std::array<std::string, 6> StatusPanels;
  std::string ProgrammTextCaption;        // label of the program editor
  std::string NotesEditTextCaption;       // label of the Braille editor
  TActionStates Actions;

  // The block for the render and player threads, made anew from the present state.
  const TMidiThreadFuncParameters& MidiThreadFuncParameters();
  // Commits the editors into the current track (nothing without one).
  void CommitEditors();
  // Records the song before a change named `label` (empty: rewrites the newest snapshot).
  // A labelled snapshot marks the song as changed.
  void Saved(const std::string& label);
  TUndoRing& Undo() { return *undo_; }
  // A changed song (Modified) as it is now, editors committed, written to the undo ring's
  // present song file for the recovery after an unclean end; nothing for an unchanged song.
  // False when it could not be written.
  bool WritePresentSong();
  // What the song preparation asks of this window, handed to the transport with every play
  // and export: questions go to the Questions port; a conversion is recorded and shown here.
  IPreparationWindow& Preparation() { return *preparation_; }

  // Brings editors, caption, panels and actions in line with the current place and speaks
  // what the mode asks for.
  void ShowTreck(uint8_t Mode);
  // Gives every caption its text in the loaded language.
  void SetLanguage();

  // Fills a window made for a new song: the control track, whose measure 1 carries the 4/4
  // time signature that notes need before they sound, and one track on channel 1, current.
  void NewSong();

  // Commits the editors and, when the song differs from its file (or, without a file, was
  // changed), asks whether to save. True when the window may close (or go on).
  bool Ending(bool Closing);
  // The save dialog's filter for the song's format ("description|*.ext", code page 1251)
  // and the extension a name without one gets (".qem" or the format plug-in's).
  std::string SongFileFilter(std::string* ext) const;
  // The close query: Ending(true); when it may close, stops its playback and deletes its
  // undo files. True when the window may close.
  bool FormCloseQuery();
  void FormActivate();
  void FormDeactivate();

  void NotesEdit1Enter();
  void NotesEdit1Exit();
  void ProgramEditEnter();
  void ProgramEditExit();
  void ProgramEditKeyPress();
  // Key release of the program editor: the Tab flag and the caret panels. (The Braille
  // editor's keys go to Editor().)
  void ProgramEditKeyUp(bool isTab);
  // The window was reached from another (or opened): speaks the song's name, then the
  // field that has the focus as entering it by Tab does, with the Braille editor's line.
  void SpeakWindowReached(TFocusField field);

  // The program editor's text after a paste or cut (UTF-8, lines split by "\n") with its
  // caret: typing, so an undo step is taken, Modified set, the editor set and committed.
  // Refused, with the error signal and a spoken reason, when a character does not fit code
  // page 1251 or the song would hold a line or a size its file could not be read back
  // with. True when done.
  bool ProgramEditChange(const std::string& utf8Text, int32_t column, int32_t line, bool cut,
                         const std::string& label = std::string());
  // Why an edit that makes a line of longestLine bytes, and turns oldBytes of the song file
  // into newBytes, is refused (spoken text); empty when the song stays readable.
  std::string EditFault(size_t longestLine, size_t oldBytes, size_t newBytes) const;
  // The refusal: the error beep and the reason, spoken.
  void RefuseEdit(const std::string& why);
  // A typed, pasted or given text held characters that code page 1251 cannot hold (the
  // first is named by its code): the error signal, and why, spoken.
  void RefuseCharacters(const std::u32string& refused);
  // An undo label: language text id (trimmed) or its built-in text, and what changes.
  std::string EditLabel(int id, const char* builtIn, const std::string& what) const;

  // The Braille line editor with its note audition.
  TBrailleEditor& Editor() { return *editor_; }
  const TSongWindowPorts& Ports() const { return ports_; }

  // Moves by measure, voice and track: the line committed, the new place shown and spoken.
  // NextTackt leaves the caret at 0 with CaretAtStart and EdgeArmed set, PriorTackt at the
  // end with CaretAtEnd set; both make the next note sound again.
  void NextTackt();
  void PriorTackt();
  void NextVoice();   // up to voice 50
  void PriorVoice();  // down to voice 1
  void NextTreck();
  void PriorTreck();
  void FirstTrack();
  void LastTrack();
  void FirstTackt();
  void LastTackt();  // the track's last measure line, caret at its end
  void FirstVoice();
  // The last voice of the current measure line (its "()" separators + 1); the voice stays
  // when the track has no such line.
  void EndVoice();
  // Speaks the place and the track by turns (SayPlaceToggle).
  void SayPlace();
  // The go-to dialog; on OK the measure and voice chosen (voice 1 on the control track).
  void GoToTacktVoice();
  // The track properties dialog.
  void PropertyTreck();
  // Brings back the song of the newest undo snapshot, on the track as many steps from the
  // first as the current one was; with nothing to undo only the caption is reset. A
  // snapshot that does not parse is shown once (the parser's box) and dropped; the song
  // stays as it was.
  void UndoLast();
  // The Undo action as the ring stands (caption with the label, enabled).
  void ShowUndoState();

  // Play control through the program's transport. A play first stops and joins what runs;
  // every play but the measure alone is off until the main window's timer sees it end.
  void PlayAll();    // from measure 1
  void PlayPos();    // from the current measure
  void PlayVoice();  // the current voice alone, from the current measure; not on the control track
  void PlayTackt();  // the current measure alone
  // Stops what plays (whatever window owns it); with nothing playing, resets the port of
  // the current track.
  void StopPlay();
  // Plays the lists rendered last again; refused with the error signal unless they are
  // this window's and still valid.
  void RePlay();
  // Stops this window's playback with the measure that was sounding made current; refused
  // with the error signal when another window (or none) owns the playback.
  void StopAndGo();

  // The Modes menu.
  void AdvancedEditing();
  void PointMode();
  void NavigationAdvanced();
  void PlayNotes();

  // Track, voice and measure commands. Each commits the line, pushes an undo step under its
  // label, changes the song and shows the window; one that does not apply (or needs a
  // dialog the window has not) gives the error signal and changes nothing. Ranges of
  // measures are taken as far as the measures exist; a range that runs backwards, or holds
  // no measure, is refused with a spoken reason.
  // A track on channel 1 after the current one, named in the properties dialog; taken away
  // again when the dialog is cancelled, and the old track is current again.
  void NewTreck();
  // Asks, then deletes the current track; never the control track nor the only track.
  void DeleteTreck();
  // The tracks chosen in the copy dialog (never the control track) go to TrackClipboard.
  void CopyTreck();
  // TrackClipboard after the current track (emptied); the first pasted track is current.
  void PasteTreck();
  // Asks, then takes the current voice out of every measure of the current track.
  void DeleteVoice();
  // The range dialog's measures emptied: the current voice, the track's or every track's.
  void ClearTackt();
  // The range dialog's measures taken out of every track; a track keeps at least "m".
  void DeleteTackt();
  // The range dialog's measures into the measure clipboards. False (nothing done) when the
  // Braille editor has not the focus: the program editor's selection is the view's to copy.
  bool CopyData();
  // The measure clipboard at the current measure. False (nothing done) when the Braille
  // editor has not the focus: the view pastes into the program editor.
  bool PasteData();
  // The whole music text of the current track in its dialog; a track saved empty has no
  // music lines.
  void TreckEditing();
  // The play switches of the current track (solo and ensemble never on the control track),
  // and all of them back to their defaults on every track.
  void Solo();
  void Ansamble();
  void Obrabotchik();
  void ResetAll();

  // Find and replace in the current track; focus is the editor that has the focus (the
  // program editor searches the handler program, any other the music text). Find (Ctrl+F)
  // and Zamen (Ctrl+H) commit the line and open the find dialog; when it is confirmed Find
  // searches on from the caret and Zamen replaces every occurrence from the caret on, as one
  // undo step (none when nothing is replaced). FindNext (F3) commits the line and searches
  // again with the options last confirmed; before a confirmed Find it gives the error signal.
  void Find(TFocusField focus);
  void FindNext(TFocusField focus);
  void Zamen(TFocusField focus);
  // The search from the caret: found, the caret is put on it (the music text moves the
  // window there and speaks the place, the program speaks the line); else the error signal.
  void Finding(bool inHandler);
  // Replace all from the caret; the count in a message box, or the error signal for none.
  void Zamening(bool inHandler);
  bool FindConfirmed = false;  // a Find was confirmed in this window: Find next is on
  // Harmony written out as notes (Ctrl+K): after a question, the current voice of the
  // current track becomes, measure by measure, the chord tones its part switches ("b+",
  // "t+", "a+", "s+"; "l+" ties repeated tones) take from the harmony of the control
  // track, as one undo step. The song is prepared and its notes moved on here, under the
  // transport's rules; an error leaves the voice as it was and is shown at its place, and
  // a song without harmony or a voice that takes no tone is refused with a spoken reason.
  void ConvertHarmonyInNotes();
  // The instruments dialog (not on the control track, a drum track nor in a format
  // plug-in's song): the line committed, the dialog, the track shown, then the program
  // editor takes the focus. The drum table (only on a drum track). Without the dialogs
  // port, the error signal.
  void Instruments();
  void Drums();
  // The key of the command `name` was pressed while the command is off: the error signal,
  // and why, spoken, where the window knows (nothing to undo, instruments on a drum track
  // or the control track, the drum table on another track, the harmony written out on a
  // drum track).
  void RefuseCommand(const std::string& name);
  // Module commands. EditModules: the module editor on EditModuleFile (a new module when
  // empty). EditingModuleFromProgram: the module named by the program line at the caret
  // ("module NAME"), found in the Modules folder whatever its case; the error signal for
  // another line, handler error 19 for a module that has no file. EditingLastModul: the
  // module editor again on the last file (the error signal before any). MasteringModuls:
  // the module manager; its closing rewrites the "module" lines, then the track is shown.
  void EditModules();
  void EditingModuleFromProgram();
  void EditingLastModul();
  void MasteringModuls();

  // The main window's timer, for the active window whose editor has the focus: an error
  // left in GErrors is taken (its code cleared) and shown; a music error moves the window
  // to its track and measure. True when there was one.
  bool ReportPendingError();
  // After a command's own preparation and compilation (F10, F12, Ctrl+K): an error left in
  // GErrors is shown at once as the timer would show it; a handler error then puts the
  // handler editor's caret on the error's line and gives it the focus (when it is shown).
  // True when there was one.
  bool ReportCompileError();
  // The play actions and the play letter of status panel 0 while a play is prepared or a
  // render or playback runs (playing) or not: PlayTackt is off only while a song is being
  // prepared; RePlay while the last render's lists are this window's and finished,
  // StopAndGo while it owns the playing song. Notifies only on a change.
  void ShowPlayState(bool playing);

  // The notation insert menu and the edit-line clipboard (notation_menu.cpp).
  // The insert menu's entries, read from Resources/qem.zel by the last SetLanguage.
  std::vector<TNotationMenuItem> NotationMenu;
  // Reads the insert menu anew in the present language; QEMHelper is enabled when it
  // has entries. A missing file leaves the menu empty.
  void InitialMenuBraileNotation();
  // F2 (and Enter outside advanced editing): commits the line and opens the insert menu
  // at the Braille editor; the error signal when there is no menu or no window to show it.
  void QEMHelper();
  // The insert item numbered `command` was chosen: its text goes in at the caret as one
  // undo step labelled with its caption, and the note it ends is sounded and described
  // (else the text is spoken). The error signal for a number no item has.
  void InsertBraileNotation(int32_t command);
  // The Edit menu's commands on the editor that has the focus (the program editor, else the
  // Braille editor), each saying what it did. SelectAll selects the whole text; CopyInKey
  // puts the selection on the clipboard; PasteFromKey pastes the clipboard (a Braille line
  // that is only "m" is replaced) and DeleteSelection clears the selection, each an undo
  // step; UndoText takes back the editor's last change of its text, a second time puts it
  // back. Nothing selected, an empty clipboard or nothing to undo: the error signal and a
  // spoken reason.
  void SelectAll();
  void CopyInKey();
  void PasteFromKey();
  void DeleteSelection();
  void UndoText();

  // The song's file as this window loaded or last wrote it.
  TFileIdentity SongFile;
  // Another window that shows the file at path: its caption, or empty (set by the program
  // window; a window alone knows no other).
  std::function<std::string(const std::string& path)> WindowShowingFile;
  // After FileName was loaded (afterLoad: UTF-8 text is noted) or written: remembers the
  // file with the song text it holds, Data from line 2.
  void RememberSongFile(bool afterLoad);
  // A window made from the song of a window that ended without closing it: takes the file
  // as that window last read or wrote it, so that a change made since is asked about.
  void AdoptSongFile(const TSavedFileIdentity& saved);
  // Keeps what SongFile remembers beside the undo files (or removes it when nothing is).
  void KeepSongFileIdentity();
  // Before writing over FileName: when another program changed or deleted it since, asks
  // what to do (the default loses nothing and never writes over another program's text).
  TWriteOver AskBeforeWritingOver();
  // Ctrl+S for a song with a file: asks first when another program wrote the file, then
  // writes; the OK signal when written, else the reason spoken (and a box for a failed
  // write). SaveAsWanted: the song is to be saved under another name.
  TSaveResult SaveOverFile();
  // Writes the song to a new name chosen in the save dialog, never over another window's
  // song nor over the file it was loaded from; FileName is left as it is. True when
  // written, false when refused or failed (the box says why), nothing when cancelled.
  std::optional<bool> SaveUnderChosenName();
  // False when `path`, a file other than `chosen` that a save dialog asked about, exists
  // and the user does not agree to replace it.
  bool MayReplace(const std::filesystem::path& chosen, const std::filesystem::path& path);

  // Handler block and translator commands (handler_commands.cpp). Each commits the line,
  // prepares and compiles the song (a failure is left in GErrors and nothing opens), runs
  // its dialog and drops the compiled state again. BlockObrabotchik (F10, Braille editor):
  // the block wizard for the block tag at the caret, whose answer is written into the line
  // as one undo step. Translatoring (F12): the translator picker for the current track.
  void BlockObrabotchik();
  void Translatoring();

  // Sets an action's state (the view's checks and the commands of later parts use it).
  TActionState& Action(std::string_view name);

  // The plug-in's control numbered 1..ControlCount, else null. The view writes the user's
  // changes into it before it reports the event.
  VeltoControl* PluginControl(int32_t number);
  // Events of the plug-in's controls, each forwarded when the control's kind forwards it
  // and the plug-in takes it. A click does nothing without tracks; a change's tempo answer
  // of 10..930 beats per minute is set while this window's song plays.
  void onClickPluginControl(int32_t number);
  void onChangePluginControl(int32_t number);
  // Fills PopupItems afresh and speaks the plug-in's text.
  void onEnterPluginControl(int32_t number);
  // ShowTreck with the mode the plug-in answers, leaving the focus where it went.
  void onExitPluginControl(int32_t number);
  // Item `index` of PopupItems was chosen.
  void ClickPopupMenuClick(int32_t index);
  // The key code (0..65535; 0 = swallowed) the control goes on with after the plug-in saw
  // it; shift holds 1 Shift, 2 Alt, 4 Ctrl.
  int32_t ComponentKeyDown(int32_t number, int32_t key, uint8_t shift);
  int32_t ComponentKeyUp(int32_t number, int32_t key, uint8_t shift);
  // The name item (from 0) of a list view takes after the user renamed it to text.
  std::string ListViewEdited(int32_t number, int32_t item, const std::string& text);

 private:
  void Notify();
  // The common start of the four plays: false (nothing started) when it failed.
  bool StartPlay(uint16_t fromMeasure, uint16_t voice, uint32_t tickLimit);
  // True when the window can show dialogs; else the error beep.
  bool DialogsOrBeep();
  void SetEnabled(std::string_view name, bool on);
  void SetVisible(std::string_view name, bool on);
  // The song's name: the file name without folder and extension, or "безымянный".
  std::string SongName() const;
  std::string SongCaption() const;
  // Number of tracks before the current one; the prefix " Сонг: " or " Трек: ".
  int32_t TrackPosition() const;
  std::string NamePrefix() const;
  void ShowCaretPanels();
  // Status panels 3 to 5: the track or song name, the measure and the voice.
  void ShowPlacePanels();
  // Before a command's dialog: false (with the error signal when the window has no
  // dialogs) when there is no track or no dialog to show; else the editors committed.
  bool CommitForDialog();
  // Flips one switch of the current track and says it (refused on the control track
  // unless controlTrackToo).
  void ToggleTrackSwitch(bool TTreck::*flag, uint8_t mode, bool controlTrackToo);
  void EnableByTrackKind();
  void SpeakMode(uint8_t Mode);
  void AnnounceModes();
  // After a dialog: the track shown, the focus in the program editor (when it is shown),
  // and the track said with the field that has the focus.
  void ShowTrackInProgramEditor();
  void ReadTranslatorPaths();
  bool ClampPlace();
  bool SongDiffersFromFile();
  // The song text lines of FileName as loaded or last written (read from the file when
  // this window has not read or written it).
  std::optional<std::vector<std::string>> SongFileLines() const;
  // Ending's step for a file another program changed or deleted: may the window go on;
  // nothing when the file is as this window left it.
  std::optional<bool> EndingAfterOtherWriter(bool Closing);
  // The Ending question's text for a song with a file.
  std::string SaveQuestion() const;
  bool SaveAfterQuestion();
  void EmptySong();
  void ChoosePlugin(const std::string& Ext);
  void MakePluginControls(const std::string& pluginName);
  // The control `number` when it forwards `event` (else null).
  VeltoControl* Forwarding(int32_t number, TControlEvent event);
  // The output port for the plug-in's clicks and changes.
  int32_t PluginPort() const;
  int32_t ForwardKey(int32_t number, int32_t key, uint8_t shift, bool down);
  // After an event of a plug-in's control: the editors committed, the hidden program
  // lines written again.
  void CommitPluginChange();

  TSongWindowPorts ports_;
  bool keep_focus_ = false;  // ShowTreck leaves the focus where it is
  std::unique_ptr<TBrailleEditor> editor_;
  std::unique_ptr<TUndoRing> undo_;
  std::unique_ptr<IPreparationWindow> preparation_;
  std::unique_ptr<TMidiThreadFuncParameters> thread_params_;
  bool modesAnnounced_ = false;  // the modes on at the window's opening were said
  // The Braille line as it was before its last change, and where (UndoText).
  struct TLineUndo {
    bool Valid = false;
    TSongPlace Place;
    std::string Line;
    int32_t Caret = 0;
  };
  TLineUndo line_undo_;
};
