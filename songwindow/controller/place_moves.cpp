// Moves by measure, voice and track, and the go-to and track properties dialogs.
#include <algorithm>
#include <limits>

#include "feedback/signals.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/dialog_results.h"

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
  const auto end = static_cast<int32_t>(ports_.Editors->NotesText().size());
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

void TSongWindow::FirstTrack() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  while (CurrentTrack->Prev != nullptr) {
    CurrentTrack = CurrentTrack->Prev;
  }
  ShowTreck(smTrack);
}

void TSongWindow::LastTrack() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  while (CurrentTrack->Next != nullptr) {
    CurrentTrack = CurrentTrack->Next;
  }
  ShowTreck(smTrack);
}

void TSongWindow::FirstTackt() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  CurrentMeasure = 1;
  ShowTreck(smMeasure);
}

void TSongWindow::LastTackt() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  CurrentMeasure = std::clamp<int32_t>(static_cast<int32_t>(CurrentTrack->MusicStrings.size()), 1,
                                       std::numeric_limits<uint16_t>::max());
  ShowTreck(smMeasure);
  const auto end = static_cast<int32_t>(ports_.Editors->NotesText().size());
  ports_.Editors->SetNotesCaret(end, end);
}

void TSongWindow::FirstVoice() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  CurrentTrack->Voice = 1;
  ShowTreck(smVoice);
}

void TSongWindow::EndVoice() {
  if (CurrentTrack == nullptr) {
    return;
  }
  const std::vector<std::string>& lines = CurrentTrack->MusicStrings;
  if (CurrentMeasure >= 1 && static_cast<size_t>(CurrentMeasure) <= lines.size()) {
    CommitEditors();
    const std::string& line = CurrentTrack->MusicStrings[static_cast<size_t>(CurrentMeasure) - 1];
    size_t voices = 1;
    for (size_t at = line.find("()"); at != std::string::npos; at = line.find("()", at + 2)) {
      ++voices;
    }
    CurrentTrack->Voice = static_cast<uint16_t>(std::min<size_t>(voices, kLastVoice));
  }
  ShowTreck(smVoice);
}

bool SayPlaceToggle = false;

void TSongWindow::SayPlace() {
  SayPlaceToggle = !SayPlaceToggle;
  ShowTreck(SayPlaceToggle ? smPlace : smTrack);
}

bool TSongWindow::DialogsOrBeep() {
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->PlaySignal(sError);
    return false;
  }
  return true;
}

void TSongWindow::GoToTacktVoice() {
  if (CurrentTrack == nullptr || !DialogsOrBeep()) {
    return;
  }
  GoToConfirmed = 0;
  ports_.Dialogs->Show(TWindowDialog::GoTo);
  if (GoToConfirmed == 0) {
    return;
  }
  GoToConfirmed = 0;
  CommitEditors();
  CurrentMeasure = std::max<int32_t>(GoToMeasure, 1);
  CurrentTrack->Voice = CurrentTrack->Channel == 0 ? 1 : std::clamp<uint16_t>(GoToVoice, 1, kLastVoice);
  ShowTreck(smPlace);
}

void TSongWindow::PropertyTreck() {
  if (CurrentTrack == nullptr || !DialogsOrBeep()) {
    return;
  }
  CommitEditors();
  ports_.Dialogs->Show(TWindowDialog::TrackProperties);
  ShowTreck(smTrack);
  TrackDialogResult = 0;
}
