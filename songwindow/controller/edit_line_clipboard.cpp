// The Edit menu's commands on the editor that has the focus: select all, copy, paste,
// clear the selection and the editor's own one-step undo, each saying what it did.
#include <algorithm>

#include "feedback/signals.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/braille_editor.h"
#include "songwindow/controller/song_window.h"

namespace {

// The Braille editor's selected text.
std::string NotesSelection(const IEditors& editors) {
  const std::string line = editors.NotesText();
  const size_t caret = std::min<size_t>(editors.NotesCaret(), line.size());
  const size_t anchor = std::min<size_t>(editors.NotesAnchor(), line.size());
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
    editors.SetNotesCaret(static_cast<uint16_t>(selected.size()), 0);
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
  if (ports_.Editors->ProgramHasFocus()) {
    ports_.Editors->ReplaceProgramSelection(text, label);
  } else {
    editor_->Paste(text, label);
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
  const auto caret = static_cast<uint16_t>(std::min<size_t>(before.Caret, before.Line.size()));
  editors.SetNotesCaret(caret, caret);
  CommitEditors();
  LastAuditionText.clear();
  ports_.Speaker->Speak(before.Line.empty() ? LangStrOr(1997, "Пустая строка") : before.Line, -1);
  Notify();
}
