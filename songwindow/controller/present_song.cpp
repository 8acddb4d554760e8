// The song as the window holds it, kept on disk after each change so that an unclean end
// loses nothing typed.
#include "songwindow/controller/song_window.h"

bool TSongWindow::WritePresentSong() {
  if (!Modified || CurrentTrack == nullptr) {
    return true;
  }
  CommitEditors();
  DeConvert(undo_->Label());
  return undo_->WritePresent(Data);
}
