// The undo ring's view of a real song window.
#pragma once

#include "model/song.h"
#include "model/undo.h"

class TSongUndo : public IUndoSong {
 public:
  explicit TSongUndo(TVelto& song) : song_(song) {}  // borrowed

  bool HasData() const override { return true; }
  bool HasTracks() const override { return song_.HeadTreck != nullptr; }
  // Commits the editors when a track is current, then writes the song text.
  std::vector<std::string> SnapshotLines(const std::string& label) override;
  // Parses `lines` into the song; nothing (and the song untouched) when they do not parse.
  std::optional<std::string> RestoreSnapshot(const std::vector<std::string>& lines) override;
  void AddFreshTrack(const std::string& name) override;
  void ClearFileName() override { song_.FileName.clear(); }

 private:
  TVelto& song_;
};
