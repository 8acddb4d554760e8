// The Braille line editor NotesEdit1 without its widget: the keys as virtual-key codes, the
// characters they type, the two lock-key modes (advanced editing, dot entry), six-dot entry
// on the keypad, the spoken echo and the note previews. It works on the window's editor
// port (text, caret, selection) and does there what a one-line edit does with a key it
// does not swallow.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "songwindow/controller/note_audition.h"
#include "songwindow/parts/key_codes.h"

class TSongWindow;

// The dot cell being built in dot mode (dots 1..6 at 0..5), shared by all song windows.
extern std::array<bool, 6> DotFlags;
// The character last removed by Delete or Backspace in plain editing (0 none), shared.
extern uint8_t LastDeletedChar;

// The character of a six-dot cell (bit i = dot i + 1); 0 for the empty cell.
char DotCellChar(uint8_t dots);
// The dots of a character of the cell table; 0 for any other character.
uint8_t CharDots(char c);

// True when position Pos (1-based) of Text lies outside an angle-bracket, parenthesis or
// brace construct; also for an empty text or Pos below 1.
bool IsOutsideBrackets(std::string_view Text, int32_t Pos);

class TBrailleEditor {
 public:
  explicit TBrailleEditor(TSongWindow& window);

  // NotesEdit1KeyDown: runs the key map and then, unless the key was swallowed, the edit's
  // own handling of the key (caret moves, Delete).
  void KeyDown(uint16_t key, TShiftState shift);
  // NotesEdit1KeyPress for the character the key typed (after KeyDown). A character that
  // code page 1251 cannot hold is refused with the error signal; control characters never
  // enter the line; Backspace deletes unless its key was swallowed.
  void KeyPress(char32_t ch);
  // NotesEdit1KeyUp: the spoken echo, the capital signal and status panel 0. Only the
  // release of the last key down, taken down without Ctrl, Shift or Alt, is echoed: a key
  // with a modifier or a window command's key has answered already, even when the
  // modifier was let go first.
  void KeyUp(uint16_t key, TShiftState shift);

  // Ctrl+V, Shift+Insert: the text (UTF-8) in place of the selection, as typing: an undo
  // step, Modified, the line committed. Line ends and control characters are left out.
  // Refused in advanced editing (the beep), for a character outside code page 1251 (the
  // error signal), and when the measure line would be too long for a song file (spoken).
  // True when pasted.
  // label: the undo label (empty: "Вставка").
  bool Paste(const std::string& utf8, const std::string& label = {});
  // Ctrl+X: the selection taken out as typing; returns it (code page 1251), empty when
  // nothing was selected or it was refused.
  std::string Cut();

  // Text from the insert menu at the caret (the selection is kept, not replaced) as one
  // undo step named label; then the note it ends is sounded and described, or the text
  // spoken (spelled in dot mode). False when refused (line too long).
  bool InsertNotation(const std::string& text, const std::string& label);
  // The selection taken out as an undo step named label; false when nothing is selected
  // or it is refused.
  bool ClearSelection(const std::string& label);

  // The spoken dot names of the first character of Text.
  std::string Spell(std::string_view Text) const;

  // The Modes menu: aAdvancedEditing, aPointMode, ANavigationAdvanced, aPlayNotes.
  void AdvancedEditingExecute();
  void PointModeExecute();
  void NavigationAdvancedExecute();
  void PlayNotesExecute();

  TNoteAudition& Audition() { return audition_; }

  // The notation insert menu that Enter opens outside advanced editing (empty: nothing).
  std::function<void()> QEMHelper;

 private:
  // The key map; sets key to 0 where it swallows the key.
  void HandleKeyDown(uint16_t& key, TShiftState shift);
  bool RefuseOnTranslatorTrack(uint16_t& key);
  bool DeleteKey(uint16_t& key);
  bool EnterKey(uint16_t& key);
  void TokenRight(uint16_t& key, TShiftState shift);
  void TokenEndStep(uint16_t& key, bool measureChanged);
  void TokenLeft(uint16_t& key, TShiftState shift);
  void TokenStartStep(uint16_t& key, bool measureChanged);
  void TokenErrorStep(uint16_t& key);
  void ShowNotationError(const TErrors& e, int32_t column);
  bool PlainNavigation(uint16_t& key);
  void CommonTail(uint16_t& key);
  void LockKeyTail(uint16_t key);
  bool DotKey(uint16_t key);
  void DefaultKeyDown(uint16_t key, TShiftState shift);
  void DefaultBackspace();
  void TypeCharacter(char c);
  bool ReplaceSelection(const std::string& text, const std::string& label);
  // False, with the error signal and the reason spoken, when the voice text would make its
  // measure line longer than a song file may hold.
  bool LineFits(const std::string& voiceText);
  void Echo(uint8_t c, bool outside, bool move);
  void SetPanelPrefix(bool outside);

  // Presses a lock key for the program: flips its mode now; its key event reaches the key
  // map once the present key is handled (RunPendingLockKeys).
  void PressLock(uint16_t lockKey);
  void RunPendingLockKeys();

  TAudition Audition(int32_t caret, bool soundIntervals, bool audible = true, bool describe = true);
  void SpeakToken(const TAudition& a);
  void SpeakMeasure();
  void SpeakBarLine();
  void Snapshot(int id, const char* builtIn, const std::string& what);
  void Beep();
  bool NumLockDownOrOn() const;
  bool HasTranslator() const;
  std::string Text() const;
  int32_t Caret() const;
  void SetCaret(int32_t caret);

  TSongWindow& w_;
  TNoteAudition audition_;
  std::deque<uint16_t> pendingLocks_;
  bool numLockHeld_ = false;
  bool dropChar_ = false;  // the character of the last key down never reaches KeyPress
  uint16_t downKey_ = 0;     // the last key down and its modifiers
  TShiftState downShift_;
};
