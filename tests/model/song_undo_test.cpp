#include "model/song_undo.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"
#include "model/song_file.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TTempDir;

const std::filesystem::path kEnsemble =
    std::filesystem::path(VELTO_SOURCE_DIR) / "tests/data/songs/ensemble.qem";

std::vector<std::string> Captions(const TVelto& song) {
  std::vector<std::string> names;
  for (PTreck t = song.HeadTreck; t != nullptr; t = t->Next) {
    names.push_back(t->Caption + "|" + (t->MusicStrings.empty() ? "" : t->MusicStrings[0]));
  }
  return names;
}

// The ring over a real song: each undo brings back the song as it was before the change,
// including what the editor held but had not committed yet.
TEST(SongUndo, UndoRestoresTheSongBeforeEachChange) {
  TTempDir dir;
  TVelto song;
  ASSERT_TRUE(LoadSongFile(song, kEnsemble, "label"));
  TSongUndo view(song);
  TUndoRing ring(dir.Path(), 3, "qem");
  ring.Start();
  song.SaveData(song.CurrentTrack->Voice);  // the editor shows the current track

  const std::vector<std::string> original = Captions(song);
  ring.Saved(view, "rename");
  song.HeadTreck->Caption = "first";
  const std::vector<std::string> renamed = Captions(song);
  ring.Saved(view, "add");
  song.AddTreck(song.CurrentTrack, "added", 2);
  ASSERT_EQ(ring.State().Count, 2);

  ASSERT_TRUE(ring.Opened(view));
  ring.DropNewest();
  EXPECT_EQ(Captions(song), renamed);
  EXPECT_EQ(ring.Label(), "add");

  ASSERT_TRUE(ring.Opened(view));
  ring.DropNewest();
  EXPECT_EQ(Captions(song), original);
  EXPECT_EQ(ring.State().Count, 0);
}

// A snapshot that does not parse leaves the live song exactly as it was.
TEST(SongUndo, BadSnapshotKeepsTheLiveSong) {
  TVelto song;
  ASSERT_TRUE(LoadSongFile(song, kEnsemble, "label"));
  const std::vector<std::string> before = Captions(song);
  TSongUndo view(song);
  EXPECT_FALSE(view.RestoreSnapshot({"label", "file", "not a header"}).has_value());
  EXPECT_EQ(GErrors.Take().Code, 39);
  EXPECT_EQ(Captions(song), before);
}

}  // namespace
