#include "songwindow/controller/braille_editor.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>

#include "base/errors.h"
#include "feedback/error_messages.h"
#include "feedback/signals.h"
#include "platform/codec1251.h"
#include "playback/player.h"
#include "playback/player_state.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/controller/song_window.h"

std::array<bool, 6> DotFlags{};
uint8_t LastDeletedChar = 0;

namespace {

constexpr uint8_t kErrorSource = 2;            // music text
constexpr uint8_t kTranslatorRefused = 17;     // advanced editing on a track with a translator
constexpr const char* kDotNames[] = {"Первая", "Вторая", "Третья", "Четвёртая", "Пятая", "Шестая"};

// The cell table: the dots of each character (digits of the dot numbers).
struct TCellRow {
  const char* Dots;
  char Char;
};

constexpr TCellRow kCells[] = {
    {"1", 'a'},      {"12", 'b'},    {"14", 'c'},    {"145", 'd'},    {"15", 'e'},    {"124", 'f'},
    {"1245", 'g'},   {"125", 'h'},   {"24", 'i'},    {"245", 'j'},    {"13", 'k'},    {"123", 'l'},
    {"134", 'm'},    {"1345", 'n'},  {"135", 'o'},   {"1234", 'p'},   {"12345", 'q'}, {"1235", 'r'},
    {"234", 's'},    {"2345", 't'},  {"136", 'u'},   {"1236", 'v'},   {"2456", 'w'},  {"1346", 'x'},
    {"13456", 'y'},  {"1356", 'z'},  {"4", 'A'},     {"45", 'B'},     {"46", 'K'},    {"456", 'L'},
    {"146", 'M'},    {"1246", 'N'},  {"246", 'O'},   {"1456", 'P'},   {"12456", 'Q'}, {"156", 'S'},
    {"1256", 'T'},   {"346", 'U'},   {"3456", 'V'},  {"12346", 'Y'},  {"2346", 'Z'},  {"12356", '['},
    {"23456", ']'},  {"16", '\\'},   {"34", '/'},    {"126", '('},    {"345", ')'},   {"2", '1'},
    {"23", '2'},     {"25", '3'},    {"256", '4'},   {"26", '5'},     {"235", '6'},   {"2356", '7'},
    {"236", '8'},    {"35", '9'},    {"356", '0'},   {"36", '_'},     {"3", '.'},     {"5", '!'},
    {"56", '@'},     {"6", ','},     {"123456", '*'},
};
static_assert(std::size(kCells) == 63, "every non-empty cell has a character");

constexpr uint8_t DotMask(std::string_view dots) {
  uint8_t mask = 0;
  for (char d : dots) {
    mask = static_cast<uint8_t>(mask | (1u << (d - '1')));
  }
  return mask;
}

uint8_t FlagsMask() {
  uint8_t mask = 0;
  for (size_t i = 0; i < DotFlags.size(); ++i) {
    mask = static_cast<uint8_t>(mask | (DotFlags[i] ? 1u << i : 0u));
  }
  return mask;
}

// The dot a keypad key sets in dot mode (0-based), or -1.
int DotOfKey(uint16_t key) {
  switch (key) {
    case vkNumpad0 + 7:
      return 0;
    case vkNumpad0 + 4:
      return 1;
    case vkNumpad0 + 1:
      return 2;
    case vkNumpad0 + 8:
      return 3;
    case vkNumpad0 + 5:
      return 4;
    case vkNumpad0 + 2:
      return 5;
    default:
      return -1;
  }
}

bool IsCapital(uint8_t c) {
  return c == '!' || c == '@' || (c >= 'A' && c <= 'Z') || (c >= 192 && c <= 223);
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return std::string();
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

char DotCellChar(uint8_t dots) {
  for (const TCellRow& row : kCells) {
    if (DotMask(row.Dots) == (dots & 0x3F)) {
      return row.Char;
    }
  }
  return 0;
}

uint8_t CharDots(char c) {
  for (const TCellRow& row : kCells) {
    if (row.Char == c) {
      return DotMask(row.Dots);
    }
  }
  return 0;
}

bool IsOutsideBrackets(std::string_view Text, int32_t Pos) {
  const auto len = static_cast<int32_t>(Text.size());
  for (char closing : {'>', '}', ')'}) {
    while (Pos >= 1 && Pos <= len && Text[Pos - 1] == closing) {
      --Pos;
    }
  }
  enum { kNeutral, kAngle, kParen, kBrace } state = kNeutral;
  for (int32_t i = 1; i <= std::min(Pos, len); ++i) {
    const char c = Text[i - 1];
    if (state == kNeutral && c == '<') {
      state = kAngle;
    } else if (state == kAngle && c == '>') {
      state = kNeutral;
    } else if (state == kNeutral && c == ')') {
      const bool afterOpen = i >= 2 && Text[i - 2] == '(';
      const char next = i < len ? Text[i] : '\0';
      if (!afterOpen && next != '/' && next != 'U' && next != 'V') {
        state = kParen;
      }
    } else if (state == kParen && c == '.') {
      state = kNeutral;
    } else if (state == kNeutral && c == '{') {
      state = kBrace;
    } else if (state == kBrace && c == '}') {
      state = kNeutral;
    }
  }
  return state == kNeutral;
}

TBrailleEditor::TBrailleEditor(TSongWindow& window) : w_(window), audition_(window) {
  audition_.TurnScrollLockOff = [this] { PressLock(vkScroll); };
}

// ---------------------------------------------------------------------------------------
// The line as the editor port holds it.

std::string TBrailleEditor::Text() const {
  return w_.Ports().Editors->NotesText();
}

int32_t TBrailleEditor::Caret() const {
  return w_.Ports().Editors->NotesCaret();
}

void TBrailleEditor::SetCaret(int32_t caret) {
  const int32_t at = std::clamp<int32_t>(caret, 0, static_cast<int32_t>(Text().size()));
  w_.Ports().Editors->SetNotesCaret(at, at);
}

// ---------------------------------------------------------------------------------------
// Small answers.

// PlayNote; a notation error it met in advanced editing goes on to the error step.
TAudition TBrailleEditor::Audition(int32_t caret, bool soundIntervals, bool audible, bool describe) {
  TAudition a = audition_.PlayNote({w_.CurrentMeasure, caret, describe, soundIntervals, audible});
  if (a.Error) {
    ShowNotationError(*a.Error, a.ErrorColumn);
  }
  return a;
}

// A token the audition found but did not describe: its text, or its dots in dot mode.
// Nothing is said when there is no token: an empty interrupting text would only silence the
// screen reader.
void TBrailleEditor::SpeakToken(const TAudition& a) {
  if (a.TokenText.empty()) {
    return;
  }
  w_.Ports().Speaker->Speak(NumLockDownOrOn() ? Spell(a.TokenText) : a.TokenText, -1);
}

void TBrailleEditor::SpeakMeasure() {
  w_.Ports().Speaker->Speak(Word(4, "Такт") + " " + std::to_string(w_.CurrentMeasure), 0);
}

void TBrailleEditor::SpeakBarLine() {
  w_.Ports().Speaker->Speak(AdvancedNavigation ? LangStrOr(381, "Тактовая черта") : LangStrOr(343, "Пусто"), -1);
}

// An undo snapshot labelled with a language text (trimmed) and what changes.
void TBrailleEditor::Snapshot(int id, const char* builtIn, const std::string& what) {
  const std::string word = LangStr(id);
  w_.Saved((word == "???" ? Utf8ToCp1251(builtIn).Text : Trimmed(word)) + " " + what);
}

void TBrailleEditor::Beep() {
  w_.Ports().Signaller->PlaySignal(sError);
}

bool TBrailleEditor::NumLockDownOrOn() const {
  return numLockHeld_ || w_.Ports().LockKeys->NumLockOn();
}

bool TBrailleEditor::HasTranslator() const {
  const std::string& path = w_.CurrentTrack->TranslatorPath;
  return !path.empty() && path != "*";
}

std::string TBrailleEditor::Spell(std::string_view Text) const {
  const char c = Text.empty() ? '\0' : Text.front();
  if (c == '\0') {
    return AdvancedNavigation ? LangStrOr(381, "Тактовая черта") : LangStrOr(343, "Пусто");
  }
  if (const uint8_t dots = CharDots(c); dots != 0) {
    std::string names;
    for (int i = 0; i < 6; ++i) {
      if ((dots & (1u << i)) != 0) {
        names += " " + LangStrOr(330 + i, kDotNames[i]);
      }
    }
    return names;
  }
  if (w_.CurrentTrack != nullptr && HasTranslator()) {
    return std::string(1, c);
  }
  return std::string(1, c) + " " + LangStrOr(344, "недопустимый символ");
}

// ---------------------------------------------------------------------------------------
// Lock keys pressed by the program.

void TBrailleEditor::PressLock(uint16_t lockKey) {
  ILockKeys& locks = *w_.Ports().LockKeys;
  lockKey == vkScroll ? locks.PressScrollLock() : locks.PressNumLock();
  pendingLocks_.push_back(lockKey);
}

void TBrailleEditor::RunPendingLockKeys() {
  while (!pendingLocks_.empty()) {
    uint16_t key = pendingLocks_.front();
    pendingLocks_.pop_front();
    HandleKeyDown(key, TShiftState{});
  }
}

// ---------------------------------------------------------------------------------------
// KeyDown

void TBrailleEditor::KeyDown(uint16_t key, TShiftState shift) {
  dropChar_ = false;
  downKey_ = key;
  downShift_ = shift;
  if (w_.CurrentTrack == nullptr || w_.Ports().Editors == nullptr) {
    return;
  }
  if (key == vkSpace && shift.Any()) {
    dropChar_ = true;  // a play command's key (Ctrl, Shift or Alt with Space): not the editor's
    return;
  }
  if (key == vkScroll) {
    w_.Ports().LockKeys->PressScrollLock();
  } else if (key == vkNumLock) {
    w_.Ports().LockKeys->PressNumLock();
    numLockHeld_ = true;
  }
  const uint16_t pressed = key;
  HandleKeyDown(key, shift);
  if (key != 0) {
    DefaultKeyDown(key, shift);
  } else if (pressed == vkBack) {
    dropChar_ = true;  // a swallowed Backspace deletes nothing
  }
  RunPendingLockKeys();
}

// The key map, in the order of its steps; the translator is checked before anything
// changes the line.
void TBrailleEditor::HandleKeyDown(uint16_t& key, TShiftState shift) {
  if (RefuseOnTranslatorTrack(key) || DeleteKey(key) || EnterKey(key)) {
    return;
  }
  if (shift.Ctrl || w_.Ports().LockKeys->ScrollLockOn()) {
    if (key == vkRight) {
      TokenRight(key, shift);
      return;
    }
    if (key == vkLeft || key == vkBack) {
      TokenLeft(key, shift);
      return;
    }
  }
  if (AdvancedNavigation && PlainNavigation(key)) {
    return;
  }
  CommonTail(key);
}

// Advanced editing is refused on a track with a translator. The switch-off's own key
// event then finds the error pending, says nothing and clears it.
bool TBrailleEditor::RefuseOnTranslatorTrack(uint16_t& key) {
  if (!w_.Ports().LockKeys->ScrollLockOn() || !HasTranslator()) {
    return false;
  }
  const auto measure = static_cast<uint32_t>(w_.CurrentMeasure);
  const uint16_t voice = w_.CurrentTrack->Voice;
  GErrors.Update([&](TErrors& e) {
    e.Code = kTranslatorRefused;
    e.Text.clear();
    e.Source = kErrorSource;
    e.Measure = measure;
    e.Voice = static_cast<uint8_t>(std::min<uint16_t>(voice, std::numeric_limits<uint8_t>::max()));
  });
  PressLock(vkScroll);
  if (key != vkScroll) {
    w_.Ports().Speaker->Speak(LangStrOr(417, "Режим продвинутого редактирования выключен"), -1);
  }
  key = 0;
  return true;
}

// Delete: in plain editing the character goes (remembered for the echo); in advanced
// editing the token under the caret goes and the caret moves on as with Right.
bool TBrailleEditor::DeleteKey(uint16_t& key) {
  std::string text = Text();
  const int32_t caret = Caret();
  if (key != vkDelete || text.empty() || caret >= static_cast<int32_t>(text.size())) {
    return false;
  }
  if (!w_.Ports().LockKeys->ScrollLockOn()) {
    LastDeletedChar = static_cast<uint8_t>(text[caret]);
    Snapshot(439, "Удаление", std::string(1, text[caret]));
    return false;
  }
  w_.LastAuditionText.clear();
  const TAudition a = Audition(caret + 1, false, false);
  const bool inside = a.Found && a.SelStart >= 1 && a.SelLength >= 1 &&
                      a.SelStart - 1 + a.SelLength <= static_cast<int32_t>(text.size());
  if (!inside) {
    w_.Ports().Speaker->Speak(LangStrOr(428, "Не могу удалить!"), -1);
    Beep();
    key = 0;
    return true;
  }
  const std::string token = text.substr(a.SelStart - 1, a.SelLength);
  Snapshot(439, "Удаление", token);
  text.erase(a.SelStart - 1, a.SelLength);
  w_.Ports().Editors->SetNotesText(text);
  // One place before the token, so that the Right that follows lands on it; before the
  // first token that place is the start, which Right then keeps.
  SetCaret(std::max(a.SelStart - 2, 0));
  w_.CaretAtStart = a.SelStart < 2;
  key = vkRight;
  return false;
}

// Enter in advanced editing: the sOk signal on a token, else "nothing to edit".
bool TBrailleEditor::EnterKey(uint16_t& key) {
  if (key != vkReturn || !w_.Ports().LockKeys->ScrollLockOn()) {
    return false;
  }
  const std::string text = Text();
  const int32_t caret = Caret();
  bool token = false;
  if (!text.empty() && caret < static_cast<int32_t>(text.size())) {
    w_.LastAuditionText.clear();
    const TAudition a = Audition(caret + 1, false, false);
    token = a.Found && a.SelStart >= 1 && a.SelLength >= 1 &&
            a.SelStart - 1 + a.SelLength <= static_cast<int32_t>(text.size()) &&
            caret < a.SelStart - 1 + a.SelLength && !w_.CaretAtStart && !w_.CaretAtEnd;
  }
  key = 0;
  if (token) {
    w_.Ports().Signaller->Signal(sOk);
    return true;
  }
  w_.Ports().Speaker->Speak(LangStrOr(444, "Нечего редактировать!"), -1);
  Beep();
  return true;
}

// Right by tokens (Ctrl held or advanced editing); Ctrl carries on into the next measure.
void TBrailleEditor::TokenRight(uint16_t& key, TShiftState shift) {
  const bool scroll = w_.Ports().LockKeys->ScrollLockOn();
  bool changed = false;
  for (;;) {
    const std::string text = Text();
    if (text.empty() || text == "m") {
      w_.EdgeArmed = true;
    }
    if (w_.CaretAtStart) {
      w_.CaretAtStart = false;
    } else {
      SetCaret(Caret() + 1);
    }
    if (Caret() >= static_cast<int32_t>(Text().size())) {
      if (shift.Ctrl && !changed) {
        w_.CommitEditors();
        w_.CurrentMeasure = std::min<int32_t>(w_.CurrentMeasure + 1, std::numeric_limits<uint16_t>::max());
        w_.ShowTreck(smSilent);
        SetCaret(0);
        w_.EdgeArmed = w_.CaretAtStart = true;
        w_.CaretAtEnd = false;
        changed = true;
        if (Text().empty()) {
          break;
        }
      } else if (!w_.CaretAtEnd && w_.EdgeArmed) {
        w_.Ports().Speaker->Speak(LangStrOr(414, "Конец такта"), -1);
        SetCaret(static_cast<int32_t>(Text().size()));
        w_.CaretAtEnd = true;
        key = 0;
        return;
      } else if (w_.CaretAtEnd && w_.EdgeArmed && AdvancedNavigation) {
        w_.NextTackt();
        SetCaret(0);
        w_.CaretAtStart = true;
        w_.EdgeArmed = w_.CaretAtEnd = false;
        key = 0;
        return;
      } else if (w_.EdgeArmed) {
        w_.Ports().Speaker->Speak(LangStrOr(414, "Конец такта"), -1);
        w_.CaretAtEnd = true;
        key = 0;
        return;
      } else if (scroll && !shift.Ctrl) {
        TokenEndStep(key, changed);
        return;
      }
    }
    if (Caret() >= static_cast<int32_t>(Text().size())) {
      break;
    }
    const TAudition a = Audition(Caret() + 1, false);
    if (!a.Described && a.Found) {
      SpeakToken(a);
    }
    if (a.Described && a.Found && shift.Ctrl) {
      w_.EdgeArmed = w_.CaretAtStart = true;
      w_.CaretAtEnd = false;
    }
    if (a.Found) {
      w_.EdgeArmed = true;
      break;
    }
    if (GErrors.Code() != 0) {
      if (scroll) {
        TokenErrorStep(key);
        return;
      }
      break;
    }
  }
  if (changed) {
    SpeakMeasure();
  }
  key = 0;
}

// The end of the line reached in advanced editing: the last token, or "end of measure".
void TBrailleEditor::TokenEndStep(uint16_t& key, bool measureChanged) {
  w_.EdgeArmed = true;
  const auto end = static_cast<int32_t>(Text().size());
  SetCaret(end);
  if (Audition(end, false).Described) {
    if (measureChanged) {
      SpeakMeasure();
    }
  } else {
    w_.Ports().Speaker->Speak(LangStrOr(414, "Конец такта"), -1);
    w_.CaretAtEnd = true;
  }
  key = 0;
}

// Left and Backspace by tokens (Ctrl held or advanced editing). A described token before
// the caret is what Backspace deletes: it becomes "*", which the Backspace character then
// removes.
void TBrailleEditor::TokenLeft(uint16_t& key, TShiftState shift) {
  const bool scroll = w_.Ports().LockKeys->ScrollLockOn();
  w_.EdgeArmed = true;
  bool changed = false;
  while (GErrors.Code() == 0) {
    if (w_.CaretAtEnd) {
      w_.CaretAtEnd = false;
      w_.LastAuditionText.clear();
    } else if (Caret() == 0) {
      if (changed || (scroll && !shift.Ctrl)) {
        TokenStartStep(key, changed);
        return;
      }
      w_.CommitEditors();
      if (w_.CurrentMeasure <= 1) {
        Beep();
        key = 0;
        return;
      }
      --w_.CurrentMeasure;
      w_.ShowTreck(smSilent);
      SetCaret(static_cast<int32_t>(Text().size()));
      changed = true;
      if (Text().empty()) {
        break;
      }
    } else {
      SetCaret(Caret() - 1);
    }
    std::string text = Text();
    if (text.empty()) {
      continue;
    }
    const TAudition a = Audition(Caret() + 1, false);
    if (!a.Described && a.Found) {
      SpeakToken(a);
      break;
    }
    if (a.Described && a.Found && key == vkBack) {
      if (a.SelStart >= 1 && a.SelLength >= 1 && a.SelStart - 1 + a.SelLength <= static_cast<int32_t>(text.size())) {
        Snapshot(439, "Удаление", text.substr(a.SelStart - 1, a.SelLength));
        text.replace(a.SelStart - 1, a.SelLength, "*");
        w_.Ports().Editors->SetNotesText(text);
        SetCaret(a.SelStart);
        return;  // not swallowed: the Backspace character removes the "*"
      }
      SetCaret(0);
      Beep();
      w_.Ports().Speaker->Speak(LangStrOr(428, "Не могу удалить"), 0);
    }
    if (a.Found) {
      break;
    }
    if (GErrors.Code() != 0) {
      if (scroll) {
        TokenErrorStep(key);
        return;
      }
      break;
    }
  }
  if (changed) {
    SpeakMeasure();
  }
  key = 0;
}

// The caret at 0 by Left or Backspace: "start of measure" once, then the previous measure.
void TBrailleEditor::TokenStartStep(uint16_t& key, bool measureChanged) {
  key = 0;
  if (measureChanged) {
    SpeakMeasure();
    return;
  }
  if (w_.CaretAtStart && AdvancedNavigation && w_.CurrentMeasure >= 2) {
    w_.PriorTackt();
    SetCaret(static_cast<int32_t>(Text().size()));
    w_.CaretAtEnd = true;
    w_.CaretAtStart = false;
    return;
  }
  const bool again = w_.CaretAtStart;
  w_.Ports().Speaker->Speak(LangStrOr(415, "Начало такта"), -1);
  w_.CaretAtStart = true;
  w_.EdgeArmed = w_.CaretAtEnd = false;
  SetCaret(0);
  if (again) {
    Beep();
  }
}

// An error pending while moving in advanced editing: the mode ends and the error is shown.
void TBrailleEditor::TokenErrorStep(uint16_t& key) {
  w_.Ports().Signaller->Signal(sError);
  PressLock(vkScroll);
  SetCaret(0);
  key = 0;
  const TErrors e = GErrors.Get();
  ShowNotationError(e, 0);
  GErrors.ClearCode();
}

// A notation error met in advanced editing, after its signal and the end of the mode: the
// window goes to the error's place unless it is there (the caret on column `column` of the
// voice shown), playback stops and the error is shown.
void TBrailleEditor::ShowNotationError(const TErrors& e, int32_t column) {
  const TSongWindowPorts& ports = w_.Ports();
  TTreck& track = *w_.CurrentTrack;
  const bool stay = static_cast<int32_t>(e.Measure) == w_.CurrentMeasure &&
                    (track.Voice + 1 == e.Voice || e.Voice <= 1) && (track.Channel == 0 || e.Voice != 1);
  if (!stay) {
    w_.CommitEditors();
    w_.CurrentMeasure = static_cast<int32_t>(std::clamp<uint32_t>(e.Measure, 1, std::numeric_limits<uint16_t>::max()));
    if (e.Voice > 1) {
      track.Voice = static_cast<uint16_t>(e.Voice - 1);
      w_.ShowTreck(smPlace);
    } else {
      w_.CurrentTrack = w_.HeadTreck;
      w_.ShowTreck(smTrack);
    }
    SetCaret(column);
  }
  StopPlayback(w_.WindowNumber);
  const std::string place = w_.CurrentTrack->Caption + " " + Word(159, "нотный текст") + "!";
  ports.Questions->Ask(SongErrorMessage(e.Code, e.Text, place), 3);
}

// Step 5, with advanced navigation on. True when the handler ends here.
bool TBrailleEditor::PlainNavigation(uint16_t& key) {
  const int32_t caret = Caret();
  const auto len = static_cast<int32_t>(Text().size());
  const bool scroll = w_.Ports().LockKeys->ScrollLockOn();
  switch (key) {
    case vkUp:
      w_.PriorVoice();
      return false;
    case vkDown:
      w_.NextVoice();
      return false;
    case vkPrior:
      w_.PriorTreck();
      return false;
    case vkNext:
      w_.NextTreck();
      return false;
    case vkHome:
      if (scroll) {
        return false;
      }
      w_.EdgeArmed = w_.CaretAtStart = true;
      return true;  // the edit moves the caret
    case vkSpace:
      if (GPlayer.Playing.load()) {
        return false;
      }
      w_.LastAuditionText.clear();
      if ((ModePlay || scroll) && len > 0) {
        if (const TAudition a = Audition(caret + 1, true); !a.Described && caret < len) {
          SpeakToken(a);
        }
        dropChar_ = true;  // the preview is the answer: the Space character sounds it no second time
      }
      key = 0;
      return true;
    case vkRight:
      if (caret == 0 && (w_.CaretAtEnd || w_.EdgeArmed) && len > 0) {
        SetCaret(1);
        key = vkLeft;  // the caret lands on the first character and is echoed
        return false;
      }
      if (caret >= len) {
        key = 0;
        w_.NextTackt();
        SetCaret(0);
        w_.CaretAtEnd = true;
        return true;
      }
      return false;
    case vkLeft:
      if (caret != 0) {
        return false;
      }
      if (!w_.CaretAtStart && !w_.EdgeArmed && !w_.CaretAtEnd) {
        w_.EdgeArmed = w_.CaretAtStart = true;
        w_.LastAuditionText.clear();
        w_.Ports().Speaker->Speak(LangStrOr(381, "Тактовая черта"), -1);
        key = 0;
        return true;
      }
      if (w_.CurrentMeasure >= 2 && (w_.EdgeArmed || w_.CaretAtEnd)) {
        key = 0;
        w_.PriorTackt();
        SetCaret(static_cast<int32_t>(Text().size()));
        w_.CaretAtStart = true;
        return true;
      }
      if (w_.CurrentMeasure <= 1 && w_.EdgeArmed) {
        Beep();
        key = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

// Step 6: what every key that got this far does.
void TBrailleEditor::CommonTail(uint16_t& key) {
  const bool scroll = w_.Ports().LockKeys->ScrollLockOn();
  w_.CaretAtStart = w_.EdgeArmed = w_.CaretAtEnd = false;
  if (key == vkEnd && scroll) {
    w_.CaretAtEnd = w_.EdgeArmed = true;
  }
  if (key == vkHome && scroll) {
    w_.CaretAtStart = true;
  }
  if (key == vkAdd && FlagsMask() == 0) {
    key = 0;
    dropChar_ = true;  // the signal is the answer: no '+' is typed
    w_.Ports().Signaller->Signal(sError);
    return;
  }
  const std::string text = Text();
  const int32_t caret = Caret();
  if (key == vkBack && !text.empty() && caret > 0 && !scroll) {
    LastDeletedChar = static_cast<uint8_t>(text[caret - 1]);
    Snapshot(439, "Удаление", std::string(1, text[caret - 1]));
    if (ModePlay) {
      w_.LastAuditionText.clear();
      Audition(caret, true);
    }
  }
  if (key == vkScroll || key == vkNumLock) {
    LockKeyTail(key);
  }
  if (!DotKey(key)) {
    DotFlags.fill(false);
  }
}

void TBrailleEditor::LockKeyTail(uint16_t key) {
  ISpeaker& speaker = *w_.Ports().Speaker;
  if (key == vkScroll) {
    TActionState& action = w_.Action("aAdvancedEditing");
    action.Checked = true;
    if (!w_.Ports().LockKeys->ScrollLockOn()) {
      action.Checked = false;
      if (GErrors.Code() == 0) {
        speaker.Speak(LangStrOr(417, "Режим продвинутого редактирования выключен"), -1);
      }
      GErrors.ClearCode();
    } else if (GErrors.Code() == 0) {
      speaker.Speak(LangStrOr(416, "Режим продвинутого редактирования включен"), -1);
    }
    return;
  }
  TActionState& action = w_.Action("aPointMode");
  action.Checked = true;
  if (!w_.Ports().LockKeys->NumLockOn()) {
    action.Checked = false;
    speaker.Speak(LangStrOr(342, "Точечный режим выключен"), -1);
  } else {
    speaker.Speak(LangStrOr(341, "Точечный режим включен"), -1);
    // With the keyboard's Num Lock off a screen reader takes the keypad for itself.
    if (w_.Ports().KeyboardLights->NumLockLit() == false) {
      speaker.Speak(LangStrOr(1160, "Num Lock клавиатуры выключен: цифровой блок забирает программа "
                                    "экранного доступа. Нажмите Num Lock, затем Ctrl+Enter."),
                    0);
    }
  }
}

// The keypad's dot keys and keypad plus with a cell set. False for any other key.
bool TBrailleEditor::DotKey(uint16_t key) {
  ISpeaker& speaker = *w_.Ports().Speaker;
  if (const int dot = DotOfKey(key); dot >= 0) {
    DotFlags[dot] = !DotFlags[dot];
    speaker.Speak(DotFlags[dot] ? std::to_string(dot + 1) : LangStrOr(336, "Снято"), -1);
    dropChar_ = true;
    return true;
  }
  switch (key) {
    case vkNumpad0 + 9:
      DotFlags.fill(true);
      speaker.Speak(LangStrOr(337, "Шеститочие"), -1);
      dropChar_ = true;
      return true;
    case vkNumpad0 + 3:
      DotFlags.fill(false);
      speaker.Speak(LangStrOr(339, "Всё снято"), -1);
      dropChar_ = true;
      return true;
    case vkNumpad0 + 6:
      for (bool& flag : DotFlags) {
        flag = !flag;
      }
      speaker.Speak(LangStrOr(338, "Инвертировано"), -1);
      dropChar_ = true;
      return true;
    case vkAdd:
      speaker.Speak(std::string(), -1);
      for (size_t i = 0; i < DotFlags.size(); ++i) {
        if (DotFlags[i]) {
          speaker.Speak(LangStrOr(330 + static_cast<int>(i), kDotNames[i]), 0);
        }
      }
      return true;  // KeyPress completes the cell
    default:
      return false;
  }
}

// What a one-line edit does with a key down it is left: caret moves (Shift selects) and
// Delete.
void TBrailleEditor::DefaultKeyDown(uint16_t key, TShiftState shift) {
  IEditors& editors = *w_.Ports().Editors;
  std::string text = editors.NotesText();
  const auto len = static_cast<int32_t>(text.size());
  const int32_t caret = editors.NotesCaret();
  const int32_t anchor = editors.NotesAnchor();
  int32_t to = caret;
  switch (key) {
    case vkLeft:
      to = std::max(caret - 1, 0);
      break;
    case vkRight:
      to = std::min(caret + 1, len);
      break;
    case vkHome:
      to = 0;
      break;
    case vkEnd:
      to = len;
      break;
    case vkDelete: {
      const int32_t from = std::min(caret, anchor);
      const int32_t count = caret != anchor ? std::abs(caret - anchor) : (caret < len ? 1 : 0);
      if (count > 0) {
        text.erase(static_cast<size_t>(from), static_cast<size_t>(count));
        editors.SetNotesText(text);
        editors.SetNotesCaret(from, from);
      }
      return;
    }
    default:
      return;
  }
  editors.SetNotesCaret(to, shift.Shift ? anchor : to);
}

// The Backspace character: the selection, else the character before the caret.
void TBrailleEditor::DefaultBackspace() {
  IEditors& editors = *w_.Ports().Editors;
  std::string text = editors.NotesText();
  const int32_t caret = editors.NotesCaret();
  const int32_t anchor = editors.NotesAnchor();
  const int32_t from = caret != anchor ? std::min(caret, anchor) : caret - 1;
  const int32_t count = caret != anchor ? std::abs(caret - anchor) : 1;
  if (from < 0 || from + count > static_cast<int32_t>(text.size())) {
    return;
  }
  text.erase(static_cast<size_t>(from), static_cast<size_t>(count));
  editors.SetNotesText(text);
  editors.SetNotesCaret(from, from);
}

// ---------------------------------------------------------------------------------------
// KeyPress

void TBrailleEditor::KeyPress(char32_t ch) {
  const bool dropped = dropChar_;
  dropChar_ = false;
  if (dropped || w_.CurrentTrack == nullptr || w_.Ports().Editors == nullptr) {
    return;
  }
  const std::optional<unsigned char> byte = CharToCp1251(ch);
  if (!byte) {
    w_.Ports().Signaller->Signal(sError);
    return;
  }
  auto c = static_cast<uint8_t>(*byte);
  if (c == 127) {
    return;  // a control character never enters the line
  }
  if (FlagsMask() != 0 && c == '+') {
    c = static_cast<uint8_t>(DotCellChar(FlagsMask()));
    DotFlags.fill(false);
  }
  const bool scroll = w_.Ports().LockKeys->ScrollLockOn();
  if (c == vkReturn) {
    if (!scroll && QEMHelper) {
      QEMHelper();
    }
  } else if (c == ' ' && GPlayer.Playing.load()) {
    const bool pause = !GPlayer.Pause.load();
    SetPlayerPause(pause);
    if (pause) {
      w_.Ports().Speaker->Speak(LangStrOr(412, "Пауза"), -1);
    }
  } else if (c == ' ') {
    w_.LastAuditionText.clear();
    if (Caret() < static_cast<int32_t>(Text().size())) {
      const TAudition a = Audition(Caret() + 1, false);
      if (!a.Described) {
        SpeakToken(a);
      }
    }
  } else if (c < 33) {
    if (c == vkBack) {
      DefaultBackspace();
    }
  } else if (scroll) {
    Beep();
  } else {
    TypeCharacter(static_cast<char>(c));
  }
  RunPendingLockKeys();
}

// A character typed in plain editing: an undo step "ввод" + the character, the character
// at the caret, and the note it ends sounded.
void TBrailleEditor::TypeCharacter(char c) {
  IEditors& editors = *w_.Ports().Editors;
  if (!LineFits(editors.NotesText() + c)) {
    return;  // the line a song file may hold is full: the character is refused, said
  }
  w_.Modified = true;
  Snapshot(438, "ввод", std::string(1, c));
  std::string text = editors.NotesText();  // the snapshot empties a line of just "m"
  const auto caret = static_cast<size_t>(std::min<int32_t>(Caret(), static_cast<int32_t>(text.size())));
  text.insert(caret, 1, c);
  editors.SetNotesText(text);
  SetCaret(static_cast<int32_t>(caret) + 1);
  w_.LastAuditionText.clear();
  Audition(static_cast<int32_t>(caret) + 1, true, true, false);
  w_.LastAuditionText.clear();
}

// ---------------------------------------------------------------------------------------
// KeyUp

void TBrailleEditor::KeyUp(uint16_t key, TShiftState shift) {
  // Only a key the editor took down alone is echoed, once: a command's key (its press
  // went to the window) and a key pressed with a modifier have answered already.
  const bool own = key == downKey_ && !downShift_.Any();
  if (key == downKey_) {
    downKey_ = 0;
  }
  if (key == vkNumLock) {
    numLockHeld_ = false;
  }
  w_.TabEntered = key == vkTab;
  if (w_.CurrentTrack == nullptr || w_.Ports().Editors == nullptr) {
    return;
  }
  const bool scroll = w_.Ports().LockKeys->ScrollLockOn();
  const std::string text = Text();
  const int32_t caret = Caret();
  const bool move = key == vkLeft || key == vkRight || key == vkDelete;
  uint8_t c = 0;
  if (move && caret < static_cast<int32_t>(text.size())) {
    c = static_cast<uint8_t>(text[caret]);
  }
  if (key == vkBack && !scroll) {
    c = LastDeletedChar;
    LastDeletedChar = 0;
    w_.Modified = true;
  } else if (key == vkDelete) {
    LastDeletedChar = 0;  // Delete says the cell now at the caret; no later Backspace says its cell
  }
  const bool echo = own && !shift.Any() && !scroll && !w_.CaretAtStart && !w_.CaretAtEnd;
  if (move && !text.empty() && echo) {
    if (key == vkDelete) {
      w_.LastAuditionText.clear();
      w_.Modified = true;
    }
    if (ModePlay && Audition(caret + 1, true).Described) {
      SetPanelPrefix(true);
      RunPendingLockKeys();
      return;
    }
  }
  if ((key == vkLeft || key == vkRight) && text.empty() && echo) {
    SpeakBarLine();
  }
  const bool outside = IsOutsideBrackets(text, caret + 1);
  SetPanelPrefix(outside);
  if (echo && (move || key == vkBack)) {
    Echo(c, outside, move);
  }
  if (move && IsCapital(c) && !scroll && !NumLockDownOrOn() && !w_.CaretAtStart && !w_.CaretAtEnd) {
    w_.Ports().Signaller->Signal(sCaps);
  }
  RunPendingLockKeys();
}

// The character reached or deleted, spoken (its dots in dot mode outside brackets).
void TBrailleEditor::Echo(uint8_t c, bool outside, bool move) {
  ISpeaker& speaker = *w_.Ports().Speaker;
  const std::string character = c != 0 ? std::string(1, static_cast<char>(c)) : std::string();
  if (outside && NumLockDownOrOn()) {
    speaker.Speak(Spell(character), -1);
  } else if (c != 0) {
    speaker.Speak(character, -1);
  } else if (move || !outside) {
    SpeakBarLine();
  }
}

// Status panel 0: "[a" outside brackets, "[A" inside, before the rest of its text.
void TBrailleEditor::SetPanelPrefix(bool outside) {
  std::string& panel = w_.StatusPanels[0];
  panel = (outside ? "[a" : "[A") + (panel.size() > 2 ? panel.substr(2) : std::string());
}

// ---------------------------------------------------------------------------------------
// The Modes menu

void TBrailleEditor::AdvancedEditingExecute() {
  PressLock(vkScroll);
  RunPendingLockKeys();
}

void TBrailleEditor::PointModeExecute() {
  PressLock(vkNumLock);
  w_.Action("aPointMode").Checked = w_.Ports().LockKeys->NumLockOn();
  RunPendingLockKeys();
}

void TBrailleEditor::NavigationAdvancedExecute() {
  w_.Ports().Signaller->Signal(sOk);
  AdvancedNavigation = !AdvancedNavigation;
  w_.Action("ANavigationAdvanced").Checked = AdvancedNavigation;
}

void TBrailleEditor::PlayNotesExecute() {
  ModePlay = !ModePlay;
  w_.Action("aPlayNotes").Checked = ModePlay;
  w_.Ports().Signaller->Signal(sOk);
}
