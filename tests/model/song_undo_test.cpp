#include "model/song_undo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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

  ring.Saved(view, "rename");
  // The commit gives the current track, which has no music lines, its first measure.
  const std::vector<std::string> original = Captions(song);
  song.HeadTreck->Caption = "first";
  const std::vector<std::string> renamed = Captions(song);
  ring.Saved(view, "add");
  song.AddTreck(song.CurrentTrack, "added", 2);
  ASSERT_EQ(ring.State().Count, 2);

  ASSERT_TRUE(ring.Opened(view));
  ring.DropNewest();
  EXPECT_EQ(Captions(song), renamed);
  // After the undo the label names the snapshot left, the next one undone.
  EXPECT_EQ(ring.Label(), "rename");

  ASSERT_TRUE(ring.Opened(view));
  ring.DropNewest();
  EXPECT_EQ(Captions(song), original);
  EXPECT_EQ(ring.State().Count, 0);
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every example, loaded: a snapshot, an edit typed into the Braille line editor and a
// second snapshot, then both undone; the song is saved again exactly as its file, and
// the editors show the current place again.
TEST(SongUndo, UndoingEveryExampleGivesBackItsFileByteForByte) {
  const std::filesystem::path examples = std::filesystem::path(VELTO_SOURCE_DIR) / "examples";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(examples)) {
    if (entry.path().extension() != ".qem") {
      continue;
    }
    ++count;
    TTempDir dir;
    TVelto song;
    ASSERT_TRUE(LoadSongFile(song, entry.path(), std::string())) << entry.path();
    TSongUndo view(song);
    TUndoRing ring(dir.Path(), 1, "qem");
    ring.Start();
    ring.Saved(view, "type");
    song.NotesEditText += "S";
    ring.Saved(view, "type again");
    for (int undo = 0; undo < 2; ++undo) {
      ASSERT_TRUE(ring.Opened(view)) << entry.path();
      ring.DropNewest();
    }
    EXPECT_EQ(song.EditorPlace, song.CurrentPlace()) << entry.path();
    ring.Saved(view, "after the undo");  // commits the editors once more
    const std::filesystem::path saved = std::filesystem::path(dir.Path()) / "saved.qem";
    ASSERT_TRUE(SaveSongFile(song, saved, std::string()));
    EXPECT_EQ(FileBytes(saved), FileBytes(entry.path())) << entry.path();
  }
  EXPECT_GE(count, 4);
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
