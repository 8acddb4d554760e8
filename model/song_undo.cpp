#include "model/song_undo.h"

#include "base/errors.h"

std::vector<std::string> TSongUndo::SnapshotLines(const std::string& label) {
  if (song_.CurrentTrack != nullptr) {
    song_.SaveData(song_.CurrentTrack->Voice);
  }
  song_.DeConvert(label);
  if (song_.NotesEditText == "m") {
    song_.NotesEditText.clear();  // an empty voice is shown empty
  }
  return song_.Data;
}

std::optional<std::string> TSongUndo::RestoreSnapshot(const std::vector<std::string>& lines) {
  std::vector<std::string> kept = std::move(song_.Data);
  song_.Data = lines;
  std::string label;
  song_.Convert(label);
  if (GErrors.Code() != 0) {
    song_.Data = std::move(kept);
    return std::nullopt;
  }
  return label;
}

void TSongUndo::AddFreshTrack(const std::string& name) {
  song_.AddTreck(song_.CurrentTrack, name, 0);
}
