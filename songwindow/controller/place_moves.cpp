// Moves by measure, voice and track.
#include <limits>

#include "songwindow/controller/song_window.h"

void TSongWindow::NextTackt() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  CurrentMeasure = std::min<int32_t>(CurrentMeasure + 1, std::numeric_limits<uint16_t>::max());
  ShowTreck(smMeasure);
  ports_.Editors->SetNotesCaret(0, 0);
  CaretAtStart = true;
  EdgeArmed = true;
  CaretAtEnd = false;
  LastAuditionText.clear();
}

void TSongWindow::PriorTackt() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (CurrentMeasure > 1) {
    --CurrentMeasure;
  }
  ShowTreck(smMeasure);
  const auto end = static_cast<uint16_t>(ports_.Editors->NotesText().size());
  ports_.Editors->SetNotesCaret(end, end);
  CaretAtStart = false;
  CaretAtEnd = true;
  LastAuditionText.clear();
}

void TSongWindow::NextVoice() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (CurrentTrack->Voice < kLastVoice) {
    ++CurrentTrack->Voice;
  }
  ShowTreck(smVoice);
}

void TSongWindow::PriorVoice() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (CurrentTrack->Voice > 1) {
    --CurrentTrack->Voice;
  }
  ShowTreck(smVoice);
}

void TSongWindow::NextTreck() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (CurrentTrack->Next != nullptr) {
    CurrentTrack = CurrentTrack->Next;
  }
  ShowTreck(smTrack);
}

void TSongWindow::PriorTreck() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (CurrentTrack->Prev != nullptr) {
    CurrentTrack = CurrentTrack->Prev;
  }
  ShowTreck(smTrack);
}
