// Find, find next and replace of the song window.
#include <algorithm>

#include "feedback/signals.h"
#include "model/song_file.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/find_replace.h"

namespace {

size_t Bytes(const std::vector<std::string>& lines) {
  size_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size() + 2;
  }
  return bytes;
}

size_t Longest(const std::vector<std::string>& lines) {
  size_t longest = 0;
  for (const std::string& line : lines) {
    longest = std::max(longest, line.size());
  }
  return longest;
}

}  // namespace

void TSongWindow::Find(TFocusField focus) {
  if (CurrentTrack == nullptr || ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CommitEditors();
  FindDialogMode = 1;
  FindInHandler = focus == TFocusField::Program;
  ports_.Dialogs->Show(TWindowDialog::Find);
  if (FindDialogMode == 0) {
    return;
  }
  FindConfirmed = true;
  SetEnabled("FindNext", true);
  Finding(FindInHandler);
  Notify();
}

void TSongWindow::FindNext(TFocusField focus) {
  if (CurrentTrack == nullptr || !FindConfirmed) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CommitEditors();
  Finding(focus == TFocusField::Program);
}

void TSongWindow::Zamen(TFocusField focus) {
  if (CurrentTrack == nullptr || ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CommitEditors();
  FindDialogMode = 2;
  FindInHandler = focus == TFocusField::Program;
  ports_.Dialogs->Show(TWindowDialog::Find);
  if (FindDialogMode != 0) {
    Zamening(FindInHandler);
  }
}

void TSongWindow::Finding(bool inHandler) {
  if (FindText.empty() || CurrentTrack == nullptr || ports_.Editors == nullptr) {
    return;
  }
  IEditors& editors = *ports_.Editors;
  const TFindOptions options = ConfirmedFindOptions();
  if (inHandler) {
    const std::vector<std::string> lines = editors.ProgramLines();
    const auto found = FindInProgram(lines, {editors.ProgramCaretColumn(), editors.ProgramCaretLine()}, options);
    if (!found) {
      ports_.Signaller->Signal(sError);  // the caret stays where it was
      return;
    }
    editors.SetProgramCaret(found->Column, found->Line);
    ports_.Speaker->Speak(lines[static_cast<size_t>(found->Line)], -1);
    ShowCaretPanels();
    Notify();
    return;
  }
  const TMusicPlace caret{CurrentMeasure, CurrentTrack->Voice, editors.NotesCaret()};
  const auto found = FindInMusic(CurrentTrack->MusicStrings, caret, options);
  if (!found) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CurrentMeasure = found->Measure;
  CurrentTrack->Voice = static_cast<uint16_t>(found->Voice);
  ShowTreck(smPlace);
  const auto at = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(found->Offset), editors.NotesText().size()));
  editors.SetNotesCaret(at, at);
  ShowCaretPanels();
  Notify();
}

void TSongWindow::Zamening(bool inHandler) {
  if (FindText.empty() || CurrentTrack == nullptr || ports_.Editors == nullptr) {
    return;
  }
  IEditors& editors = *ports_.Editors;
  const TFindOptions options = ConfirmedFindOptions();
  const TProgramPlace programCaret{editors.ProgramCaretColumn(), editors.ProgramCaretLine()};
  const int32_t notesCaret = editors.NotesCaret();
  const TMusicPlace musicCaret{CurrentMeasure, CurrentTrack->Voice, notesCaret};
  const std::vector<std::string> before = inHandler ? editors.ProgramLines() : CurrentTrack->MusicStrings;
  std::vector<std::string> after = before;
  int32_t caretOffset = notesCaret;
  const int32_t count = inHandler ? ReplaceInProgram(after, programCaret, options)
                                  : ReplaceInMusic(after, musicCaret, options, caretOffset);
  if (count == 0) {
    ports_.Signaller->Signal(sError);  // nothing changed: no undo step
    return;
  }
  if (Longest(after) > kMaxSongLineBytes) {
    RefuseEdit(SubstituteArgs(LangStrOr(1550, "Строка длиннее %s байт: замена отменена"),
                              {std::to_string(kMaxSongLineBytes)}));
    return;
  }
  if (!EditFault(0, Bytes(before), Bytes(after)).empty()) {
    RefuseEdit(SubstituteArgs(LangStrOr(1551, "Сонг стал бы больше %s байт: замена отменена"),
                              {std::to_string(kMaxSongFileBytes)}));
    return;
  }
  Saved(EditLabel(32, "замену", ""));
  if (inHandler) {
    editors.SetProgramLines(after);
    editors.SetProgramCaret(programCaret.Column, programCaret.Line);
    CommitEditors();
    ShowCaretPanels();
    Notify();
  } else {
    after = CurrentTrack->MusicStrings;  // as committed for the undo step
    caretOffset = notesCaret;
    ReplaceInMusic(after, musicCaret, options, caretOffset);
    CurrentTrack->MusicStrings = after;
    ShowTreck(smPlace);
    const auto at = static_cast<int32_t>(
        std::clamp<int64_t>(caretOffset, 0, static_cast<int64_t>(editors.NotesText().size())));
    editors.SetNotesCaret(at, at);
    ShowCaretPanels();
    Notify();
    ports_.Signaller->Signal(sOk);
  }
  ports_.Questions->Ask(ReplacementsMessage(count), 1);
}
