// The undo command and the Undo action's state.
#include "base/errors.h"
#include "feedback/signals.h"
#include "model/song_text.h"
#include "model/song_undo.h"
#include "songwindow/controller/song_window.h"

void TSongWindow::ShowUndoState() {
  TActionState& action = Action("Undo");
  action.Caption = undo_->UndoCaption();
  action.Enabled = undo_->UndoEnabled();
}

void TSongWindow::UndoLast() {
  int32_t steps = 0;
  for (PTreck t = CurrentTrack; t != nullptr && t->Prev != nullptr; t = t->Prev) {
    ++steps;
  }
  if (undo_->State().Count >= 1) {
    TSongUndo song(*this);
    const bool restored = undo_->Opened(song);
    // A snapshot the parser refused was shown by its report, and the song stays as it
    // was: the error is not left for the window's timer to show again.
    if (!restored && GErrors.Code() == kSongTextError) {
      GErrors.ClearCode();
    }
    undo_->DropNewest();
    if (restored) {
      ports_.Signaller->Signal(sOk);
    }
  } else {
    undo_->DropNewest();  // only the caption and the state are set anew
  }
  ShowUndoState();
  CurrentTrack = HeadTreck;
  for (int32_t i = 0; i < steps && CurrentTrack != nullptr && CurrentTrack->Next != nullptr; ++i) {
    CurrentTrack = CurrentTrack->Next;
  }
  ShowTreck(smTrack);
}
