// The editors' clipboard. Paste and cut are typing like any other, with an undo step and a
// commit, refused when the song would hold a line or a size that its file could not be read
// back with; the Edit menu's commands act on the editor that has the focus (select all, copy,
// paste, clear the selection, the editor's own one-step undo), each saying what it did.
#include <algorithm>
#include <cstdio>
#include <string>

#include "feedback/signals.h"
#include "model/song_file.h"
#include "model/song_text.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/braille_editor.h"
#include "songwindow/controller/song_window.h"

namespace {

// The longest undo label a cut text gives.
constexpr size_t kLabelChars = 40;

std::vector<std::string> SplitAtNewlines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) {
      return lines;
    }
    start = end + 1;
  }
}

size_t Bytes(const std::vector<std::string>& lines) {
  size_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size() + 2;  // CR LF
  }
  return bytes;
}

// The digits that the track's header line gives its handler: TrackHeaderLine writes the
// count of handler lines and the handler caret, so a paste that changes them changes the
// file's size too.
size_t HandlerHeaderDigits(size_t lines, int32_t column, int32_t line) {
  return std::to_string(lines).size() + std::to_string(std::max(column, 0)).size() +
         std::to_string(std::max(line, 0)).size();
}

// The cells a text gives the Braille line: no line ends nor control characters.
std::string LineCells(const std::string& cp1251) {
  std::string cells;
  for (char c : cp1251) {
    if (static_cast<unsigned char>(c) >= ' ' && c != '\x7F') {
      cells += c;
    }
  }
  return cells;
}

std::string Trimmed(const std::string& word) {
  const size_t first = word.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : word.substr(first, word.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string TSongWindow::EditFault(size_t longestLine, size_t oldBytes, size_t newBytes) const {
  if (longestLine > kMaxSongLineBytes) {
    return SubstituteArgs(LangStrOr(1122, "Строка длиннее %s байт: вставка отменена"),
                          {std::to_string(kMaxSongLineBytes)});
  }
  if (newBytes > oldBytes && SongFileBytes(*this) - oldBytes + newBytes > kMaxSongFileBytes) {
    return SubstituteArgs(LangStrOr(1123, "Сонг стал бы больше %s байт: вставка отменена"),
                          {std::to_string(kMaxSongFileBytes)});
  }
  return std::string();
}

void TSongWindow::RefuseCharacters(const std::u32string& refused) {
  char code[16] = "";
  if (!refused.empty()) {
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(refused[0]));
  }
  ports_.Signaller->Signal(sError);
  ports_.Speaker->Speak(
      SubstituteArgs(LangStrOr(1278, "Символа %s нет в кодировке 1251: текст не принят"), {code}),
      -1);
}

void TSongWindow::RefuseEdit(const std::string& why) {
  ports_.Signaller->PlaySignal(sError);
  ports_.Speaker->Speak(why, -1);
}

std::string TSongWindow::EditLabel(int id, const char* builtIn, const std::string& what) const {
  const std::string word = LangStr(id);
  std::string label = word == "???" ? Utf8ToCp1251(builtIn).Text : Trimmed(word);
  if (!what.empty()) {
    label += " " + what.substr(0, kLabelChars);
  }
  return label;
}

bool TSongWindow::ProgramEditChange(const std::string& utf8Text, int32_t column, int32_t line,
                                    bool cut, const std::string& label) {
  if (CurrentTrack == nullptr || ports_.Editors == nullptr) {
    return false;
  }
  const TCp1251Text text = Utf8ToCp1251(utf8Text);
  if (!text.Refused.empty()) {
    RefuseCharacters(text.Refused);  // a character the song cannot hold
    return false;
  }
  std::vector<std::string> lines = SplitAtNewlines(text.Text);
  if (text.Text.empty()) {
    lines.clear();
  }
  size_t longest = 0;
  for (const std::string& l : lines) {
    longest = std::max(longest, l.size());
  }
  const size_t oldBytes =
      Bytes(ports_.Editors->ProgramLines()) +
      HandlerHeaderDigits(CurrentTrack->ProgramStrings.size(), CurrentTrack->ProgramCaretX,
                          CurrentTrack->ProgramCaretY);
  const size_t newBytes = Bytes(lines) + HandlerHeaderDigits(lines.size(), column, line);
  const std::string why = EditFault(longest, oldBytes, newBytes);
  if (!why.empty()) {
    RefuseEdit(why);
    return false;
  }
  Saved(!label.empty() ? label : cut ? EditLabel(1121, "Вырезание", "") : EditLabel(1120, "Вставка", ""));
  Modified = true;
  ports_.Editors->SetProgramLines(lines);
  ports_.Editors->SetProgramCaret(column, line);
  CommitEditors();
  ShowCaretPanels();
  Notify();
  return true;
}

bool TBrailleEditor::LineFits(const std::string& voiceText) {
  // The measure line this voice is committed into, against what a song line may hold.
  const TTreck& track = *w_.CurrentTrack;
  const auto measure = static_cast<size_t>(std::max(w_.CurrentMeasure, 1));
  const std::string stored = measure <= track.MusicStrings.size() ? track.MusicStrings[measure - 1] : std::string();
  std::string before;
  std::string after;
  SplitVoiceText(stored, track.Voice, before, after);
  const size_t newLine = before.size() + CleanVoiceText(voiceText).size() + after.size();
  const std::string why = w_.EditFault(newLine, stored.size(), newLine);
  if (!why.empty()) {
    w_.RefuseEdit(why);
    return false;
  }
  return true;
}

// The Braille editor's line with `text` in place of the selection; the caret after it.
bool TBrailleEditor::ReplaceSelection(const std::string& text, const std::string& label) {
  IEditors& editors = *w_.Ports().Editors;
  std::string line = editors.NotesText();
  const auto caret = static_cast<size_t>(std::min<int32_t>(editors.NotesCaret(), static_cast<int32_t>(line.size())));
  const auto anchor = static_cast<size_t>(std::min<int32_t>(editors.NotesAnchor(), static_cast<int32_t>(line.size())));
  const size_t from = std::min(caret, anchor);
  const size_t count = std::max(caret, anchor) - from;
  line.replace(from, count, text);
  if (!LineFits(line)) {
    return false;
  }
  w_.Saved(label);
  w_.Modified = true;
  editors.SetNotesText(line);
  SetCaret(static_cast<int32_t>(from + text.size()));
  w_.CommitEditors();
  w_.LastAuditionText.clear();
  return true;
}

bool TBrailleEditor::Paste(const std::string& utf8, const std::string& label) {
  if (w_.CurrentTrack == nullptr || w_.Ports().Editors == nullptr) {
    return false;
  }
  if (w_.Ports().LockKeys->ScrollLockOn()) {
    Beep();  // typing is refused in advanced editing
    return false;
  }
  const TCp1251Text converted = Utf8ToCp1251(utf8);
  if (!converted.Refused.empty()) {
    w_.RefuseCharacters(converted.Refused);
    return false;
  }
  const std::string text = LineCells(converted.Text);
  if (text.empty()) {
    return false;
  }
  IEditors& editors = *w_.Ports().Editors;
  if (editors.NotesText() == "m") {
    editors.SetNotesCaret(1, 0);  // an empty voice is replaced by what is pasted
  }
  return ReplaceSelection(text, label.empty() ? w_.EditLabel(1120, "Вставка", "") : label);
}

std::string TBrailleEditor::Cut() {
  if (w_.CurrentTrack == nullptr || w_.Ports().Editors == nullptr) {
    return std::string();
  }
  IEditors& editors = *w_.Ports().Editors;
  const std::string line = editors.NotesText();
  const auto caret = static_cast<size_t>(std::min<int32_t>(editors.NotesCaret(), static_cast<int32_t>(line.size())));
  const auto anchor = static_cast<size_t>(std::min<int32_t>(editors.NotesAnchor(), static_cast<int32_t>(line.size())));
  if (caret == anchor) {
    return std::string();
  }
  if (w_.Ports().LockKeys->ScrollLockOn()) {
    Beep();
    return std::string();
  }
  const std::string removed = line.substr(std::min(caret, anchor), std::max(caret, anchor) - std::min(caret, anchor));
  if (!ReplaceSelection(std::string(), w_.EditLabel(1121, "Вырезание", removed))) {
    return std::string();
  }
  return removed;
}

namespace {

// The Braille editor's selected text.
std::string NotesSelection(const IEditors& editors) {
  const std::string line = editors.NotesText();
  const size_t caret = std::min<size_t>(static_cast<size_t>(std::max(editors.NotesCaret(), 0)), line.size());
  const size_t anchor = std::min<size_t>(static_cast<size_t>(std::max(editors.NotesAnchor(), 0)), line.size());
  return line.substr(std::min(caret, anchor), std::max(caret, anchor) - std::min(caret, anchor));
}

}  // namespace

void TSongWindow::SelectAll() {
  if (ports_.Editors == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  IEditors& editors = *ports_.Editors;
  std::string selected;
  if (editors.ProgramHasFocus()) {
    editors.SelectAllProgram();
    selected = editors.ProgramSelection();
  } else if (CurrentTrack != nullptr) {
    selected = editors.NotesText();
    editors.SetNotesCaret(static_cast<int32_t>(selected.size()), 0);
  }
  if (selected.empty()) {
    ports_.Signaller->Signal(sError);
    ports_.Speaker->Speak(LangStrOr(1990, "Нечего выделять: текст пуст"), -1);
  } else {
    ports_.Speaker->Speak(SubstituteArgs(LangStrOr(1991, "Выделено: %s"), {selected}), -1);
  }
  Notify();
}

void TSongWindow::CopyInKey() {
  if (ports_.Editors == nullptr || ports_.Clipboard == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  IEditors& editors = *ports_.Editors;
  std::string selected;
  if (editors.ProgramHasFocus()) {
    selected = editors.ProgramSelection();
  } else if (CurrentTrack != nullptr) {
    selected = NotesSelection(editors);
  }
  if (selected.empty()) {
    ports_.Signaller->Signal(sError);
    ports_.Speaker->Speak(LangStrOr(1992, "Ничего не выделено: в буфер ничего не скопировано"), -1);
    return;
  }
  ports_.Clipboard->SetText(Cp1251ToUtf8(selected));
  ports_.Speaker->Speak(SubstituteArgs(LangStrOr(1993, "Скопировано: %s"), {selected}), -1);
}

void TSongWindow::PasteFromKey() {
  if (ports_.Editors == nullptr || ports_.Clipboard == nullptr || CurrentTrack == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  const std::string text = ports_.Clipboard->Text();
  if (text.empty()) {
    ports_.Signaller->Signal(sError);
    ports_.Speaker->Speak(LangStrOr(1994, "Буфер обмена пуст"), -1);
    return;
  }
  // One undo step for either editor; a paste the song cannot take is refused before it.
  const std::string label = EditLabel(30, "вставку из буфера", "");
  bool pasted = false;
  std::string said;
  if (ports_.Editors->ProgramHasFocus()) {
    pasted = ports_.Editors->ReplaceProgramSelection(text, label);
    said = Utf8ToCp1251(text).Text;
  } else {
    pasted = editor_->Paste(text, label);
    said = LineCells(Utf8ToCp1251(text).Text);
  }
  // Said as a copy is: the screen reader hears no key of the command.
  if (pasted) {
    ports_.Speaker->Speak(SubstituteArgs(LangStrOr(2040, "Вставлено: %s"), {said}), -1);
  }
  Notify();
}

void TSongWindow::DeleteSelection() {
  if (ports_.Editors == nullptr || CurrentTrack == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  IEditors& editors = *ports_.Editors;
  const bool program = editors.ProgramHasFocus();
  if ((program ? editors.ProgramSelection() : NotesSelection(editors)).empty()) {
    ports_.Signaller->Signal(sError);
    ports_.Speaker->Speak(LangStrOr(1995, "Ничего не выделено"), -1);
    return;
  }
  const std::string label = EditLabel(31, "очистку выделения", "");
  if (program) {
    editors.ReplaceProgramSelection(std::string(), label);
  } else {
    editor_->ClearSelection(label);
  }
  Notify();
}

void TSongWindow::UndoText() {
  if (ports_.Editors == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  IEditors& editors = *ports_.Editors;
  if (editors.ProgramHasFocus()) {
    if (editors.UndoProgram()) {
      Modified = true;
    } else {
      ports_.Signaller->Signal(sError);
      ports_.Speaker->Speak(LangStrOr(1996, "Нечего отменять"), -1);
    }
    Notify();
    return;
  }
  const std::string line = editors.NotesText();
  if (CurrentTrack == nullptr || !line_undo_.Valid || line_undo_.Place != EditorPlace ||
      CurrentPlace() != EditorPlace || line_undo_.Line == line) {
    ports_.Signaller->Signal(sError);
    ports_.Speaker->Speak(LangStrOr(1996, "Нечего отменять"), -1);
    return;
  }
  // The change taken back becomes the one a second Ctrl+Z takes back.
  const TLineUndo before = line_undo_;
  line_undo_.Line = line;
  line_undo_.Caret = editors.NotesCaret();
  Modified = true;
  editors.SetNotesText(before.Line);
  const auto caret = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(before.Caret), before.Line.size()));
  editors.SetNotesCaret(caret, caret);
  CommitEditors();
  LastAuditionText.clear();
  ports_.Speaker->Speak(before.Line.empty() ? LangStrOr(1997, "Пустая строка") : before.Line, -1);
  Notify();
}
