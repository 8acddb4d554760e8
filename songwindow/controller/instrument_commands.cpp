// The commands that open the instruments dialog and the drum table.
#include "feedback/signals.h"
#include "songwindow/controller/song_window.h"

namespace {

constexpr uint8_t kDrumTrackChannel = 10;

}  // namespace

void TSongWindow::Instruments() {
  // A format plug-in's song has no instruments command.
  if (CurrentTrack == nullptr || ports_.Dialogs == nullptr || FormatModule != nullptr || CurrentTrack->Channel == 0 ||
      CurrentTrack->Channel == kDrumTrackChannel) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CommitEditors();
  ports_.Dialogs->Show(TWindowDialog::Instruments);
  ShowTrackInProgramEditor();
}

void TSongWindow::Drums() {
  if (CurrentTrack == nullptr || ports_.Dialogs == nullptr || CurrentTrack->Channel != kDrumTrackChannel) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CommitEditors();
  ports_.Dialogs->Show(TWindowDialog::Drums);
}
