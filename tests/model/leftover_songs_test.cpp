// Songs left behind by windows that were never closed: which files count as leftovers,
// which text of them is the newest, and what is deleted without a question.
#include "model/leftover_songs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "tests/support/fifo_watchdog.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBytes;
using testsupport::TTempDir;
using testsupport::WriteBytes;

// A one-track song whose only measure is `music`.
class TMeasureSong : public IUndoSong {
 public:
  bool HasData() const override { return true; }
  bool HasTracks() const override { return true; }
  std::vector<std::string> SnapshotLines(const std::string& label) override {
    return Lines(label);
  }
  std::optional<std::string> RestoreSnapshot(const std::vector<std::string>& lines) override {
    music = lines.back();
    return lines.front();
  }
  void AddFreshTrack(const std::string&) override {}
  void ClearFileName() override {}
  std::vector<std::string> Lines(const std::string& label) const {
    return {label, file, "1 0 1 1 0 0 0", "T", music};
  }
  std::string music = "m";
  std::string file;
};

class LeftoverSongsTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_.Path() + "Resources/temp"); }
  std::string Home() const { return dir_.Path(); }
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Home() + "Resources/temp")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // A window numbered `number` whose song was changed `edits` times (measure "1", "2", ...
  // before each change), then left without closing.
  void LeaveRing(int32_t number, int edits, bool present) {
    TUndoRing ring(Home(), number, "qem");
    ring.Start();
    for (int i = 1; i <= edits; ++i) {
      song_.music = std::to_string(i);
      ring.Saved(song_, "edit");
    }
    song_.music = "now";
    if (present) {
      ring.WritePresent(song_.Lines(ring.Label()));
    }
  }
  TTempDir dir_;
  TMeasureSong song_;
};

TEST_F(LeftoverSongsTest, ALiveWindowsFilesAreNoLeftovers) {
  auto ring = std::make_unique<TUndoRing>(Home(), 2, "qem");
  ring->Start();
  ring->Saved(song_, "edit");
  song_.music = "typed";
  ASSERT_TRUE(ring->WritePresent(song_.Lines("edit")));
  const std::vector<std::string> files = TempFiles();
  EXPECT_TRUE(FindLeftoverSongs(Home()).empty());
  EXPECT_EQ(TempFiles(), files) << "a live window's files are left alone";

  ring.reset();  // the program ends without closing the window
  std::vector<TLeftoverSong> found = FindLeftoverSongs(Home());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].WindowNumber, 2);
  EXPECT_EQ(found[0].Lines.back(), "typed");
  EXPECT_EQ(found[0].Format, "qem");
  EXPECT_TRUE(UndoStateHeldElsewhere(Home(), 2)) << "held while it is decided";
  EXPECT_TRUE(FindLeftoverSongs(Home()).empty()) << "never offered twice at once";
  found[0].Discard();
  EXPECT_TRUE(TempFiles().empty());
}

// A second copy of the program running beside the first never offers the first copy's
// open songs.
TEST_F(LeftoverSongsTest, AnotherCopysOpenSongsAreNeverOffered) {
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TUndoRing ring(Home(), 1, "qem");
    ring.Start();
    song_.music = "other copy";
    ring.Saved(song_, "edit");
    ring.WritePresent(song_.Lines("edit"));
    char byte = 1;
    (void)!::write(ready[1], &byte, 1);
    (void)!::read(release[0], &byte, 1);
    ::_exit(0);  // ends without closing its window
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  const std::vector<std::string> files = TempFiles();
  EXPECT_TRUE(FindLeftoverSongs(Home()).empty());
  EXPECT_EQ(TempFiles(), files);
  ASSERT_EQ(::write(release[1], &byte, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  std::vector<TLeftoverSong> found = FindLeftoverSongs(Home());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Lines.back(), "other copy");
  for (int fd : {ready[0], ready[1], release[0], release[1]}) {
    ::close(fd);
  }
}

TEST_F(LeftoverSongsTest, TheNewestTextThatReadsIsGivenBack) {
  struct TCase {
    const char* name;
    int edits;
    bool present;
    std::function<void(const std::string& home)> damage;
    std::string expected;
  };
  const auto garbage = [](int32_t slot) {
    return [slot](const std::string& home) { WriteBytes(UndoSnapshotPath(home, 1, slot), "x\r\n"); };
  };
  const TCase cases[] = {
      {"the present song after the last change", 3, true, nullptr, "now"},
      {"no present song: the newest snapshot", 3, false, nullptr, "3"},
      {"the 100th snapshot is slot 0", 100, false, nullptr, "100"},
      {"after 105 snapshots, slot 5", 105, false, nullptr, "105"},
      {"a damaged present song", 2, true,
       [](const std::string& home) { WriteBytes(UndoPresentPath(home, 1), "1 x\r\n"); }, "2"},
      {"a damaged slot 0 goes back to slot 99", 100, false, garbage(0), "99"},
      {"a missing slot goes back one", 7, false,
       [](const std::string& home) { fs::remove(UndoSnapshotPath(home, 1, 7)); }, "6"},
  };
  for (const TCase& c : cases) {
    TTempDir dir;
    fs::create_directories(dir.Path() + "Resources/temp");
    {
      TUndoRing ring(dir.Path(), 1, "qem");
      ring.Start();
      for (int i = 1; i <= c.edits; ++i) {
        song_.music = std::to_string(i);
        ring.Saved(song_, "edit");
      }
      song_.music = "now";
      if (c.present) {
        ring.WritePresent(song_.Lines(ring.Label()));
      }
    }
    if (c.damage) {
      c.damage(dir.Path());
    }
    std::vector<TLeftoverSong> found = FindLeftoverSongs(dir.Path());
    ASSERT_EQ(found.size(), 1u) << c.name;
    EXPECT_EQ(found[0].Lines.back(), c.expected) << c.name;
  }
}

// A state file cut short (the disk filled, another program wrote it): the snapshots are
// still there, the newest by its time is given back.
TEST_F(LeftoverSongsTest, ADamagedStateFileStillGivesTheNewestSnapshot) {
  LeaveRing(1, 3, false);
  WriteBytes(UndoStatePath(Home(), 1), "short");
  const auto now = fs::file_time_type::clock::now();
  fs::last_write_time(UndoSnapshotPath(Home(), 1, 1), now - std::chrono::hours(2));
  fs::last_write_time(UndoSnapshotPath(Home(), 1, 3), now - std::chrono::hours(1));
  fs::last_write_time(UndoSnapshotPath(Home(), 1, 2), now);
  std::vector<TLeftoverSong> found = FindLeftoverSongs(Home());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Lines.back(), "2");
  EXPECT_EQ(found[0].Format, "");
  EXPECT_EQ(found[0].Extension(), "qem");
  found[0].Discard();
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(LeftoverSongsTest, LeftoversWithNothingToGiveBackAreDeletedUnasked) {
  const std::string file = Home() + "song.qem";
  struct TCase {
    const char* name;
    std::function<void()> leave;
  };
  const TCase cases[] = {
      {"opened and never changed", [&] { LeaveRing(1, 0, false); }},
      {"changed, then saved", [&] {
         song_.file = file;
         LeaveRing(1, 2, true);
         WriteBytes(file, "1 0 1 1 0 0 0\r\nT\r\nnow\r\n");
       }},
      {"nothing that reads", [&] {
         LeaveRing(1, 1, false);
         WriteBytes(UndoSnapshotPath(Home(), 1, 1), "garbage");
       }},
  };
  for (const TCase& c : cases) {
    c.leave();
    EXPECT_FALSE(TempFiles().empty()) << c.name;
    EXPECT_TRUE(FindLeftoverSongs(Home()).empty()) << c.name;
    EXPECT_TRUE(TempFiles().empty()) << c.name;
    song_.file.clear();
  }
}

TEST_F(LeftoverSongsTest, ASongChangedAfterItsSaveIsOffered) {
  const std::string file = Home() + "tune.mid.qem";
  WriteBytes(file, "1 0 1 1 0 0 0\r\nT\r\nsaved\r\n");
  song_.file = file;
  LeaveRing(3, 1, true);
  std::vector<TLeftoverSong> found = FindLeftoverSongs(Home());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].FileName(), file);
  EXPECT_EQ(found[0].Extension(), "qem");
}

// Every change of the ring makes the present song file go, so that it is never older
// than the newest snapshot; once the window's files are deleted nothing comes back.
TEST_F(LeftoverSongsTest, ThePresentSongNeverOutlivesAChangeOfTheRing) {
  struct TCase {
    const char* name;
    std::function<void(TUndoRing&)> change;
  };
  const TCase cases[] = {
      {"a snapshot", [this](TUndoRing& r) { r.Saved(song_, "next"); }},
      {"a rewritten newest snapshot", [this](TUndoRing& r) { r.Saved(song_, ""); }},
      {"an undo's load", [this](TUndoRing& r) { r.Opened(song_); }},
      {"an undo's step back", [](TUndoRing& r) { r.DropNewest(); }},
      {"the window closed", [](TUndoRing& r) { r.DeleteFiles(); }},
  };
  for (const TCase& c : cases) {
    TTempDir dir;
    fs::create_directories(dir.Path() + "Resources/temp");
    TUndoRing ring(dir.Path(), 1, "qem");
    ring.Start();
    ring.Saved(song_, "edit");
    song_.music = "typed";
    ASSERT_TRUE(ring.WritePresent(song_.Lines("edit")));
    EXPECT_EQ(ReadBytes(ring.PresentPath()), "edit\r\n\r\n1 0 1 1 0 0 0\r\nT\r\ntyped\r\n");
    c.change(ring);
    EXPECT_FALSE(fs::exists(ring.PresentPath())) << c.name;
  }
  TUndoRing ring(Home(), 1, "qem");
  ring.Start();
  ring.Saved(song_, "edit");
  ring.DeleteFiles();
  EXPECT_FALSE(ring.WritePresent(song_.Lines("edit")));
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(LeftoverSongsTest, DiscardTakesTheStatesUnfinishedTemporariesToo) {
  LeaveRing(4, 2, true);
  WriteBytes(Home() + "Resources/temp/Qem[4].dat.a1B2c3", "half");
  WriteBytes(Home() + "Resources/temp/Qem[40].dat", std::string(12, '\xff'));  // not number 4's
  std::vector<TLeftoverSong> found = FindLeftoverSongs(Home());
  ASSERT_EQ(found.size(), 1u) << "a state record that reads nothing is deleted";
  found[0].Discard();
  EXPECT_TRUE(TempFiles().empty());
}

// Things that are no files of ours where the start-up scan looks: a folder or a FIFO in
// place of a state file is passed over with a note and left alone; a folder or a FIFO in
// place of a snapshot or of the present song is skipped for the next text that reads.
// Nothing throws (the start aborted) and nothing waits on a FIFO (the start hung).
TEST_F(LeftoverSongsTest, StrayFoldersAndFifosArePassedOverWithANote) {
  const std::string temp = Home() + "Resources/temp/";
  fs::create_directory(temp + "Qem[4].dat");
  ASSERT_EQ(::mkfifo((temp + "Qem[5].dat").c_str(), 0600), 0);
  LeaveRing(6, 2, true);  // snapshots 1 and 2 and the present song
  fs::remove(temp + "qem[6].rec");
  ASSERT_EQ(::mkfifo((temp + "qem[6].rec").c_str(), 0600), 0);
  fs::remove(temp + "qem[6].d02");
  fs::create_directory(temp + "qem[6].d02");
  TFifoWatchdog watchdog({temp + "Qem[5].dat", temp + "qem[6].rec"});
  std::vector<std::string> notes;
  std::vector<TLeftoverSong> found = FindLeftoverSongs(Home(), &notes);
  EXPECT_TRUE(watchdog.Done()) << "the scan waited on a FIFO";
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].WindowNumber, 6);
  EXPECT_EQ(found[0].Lines.back(), "1") << "the newest snapshot that reads";
  EXPECT_EQ(notes, (std::vector<std::string>{temp + "Qem[4].dat is passed over: it is a folder",
                                             temp + "Qem[5].dat is passed over: it is not a regular file"}));
  EXPECT_TRUE(fs::is_directory(temp + "Qem[4].dat"));
  EXPECT_TRUE(fs::is_fifo(temp + "Qem[5].dat"));
  EXPECT_TRUE(UndoFilesBlocked(Home(), 4));
  EXPECT_TRUE(UndoFilesBlocked(Home(), 5));
  EXPECT_TRUE(UndoFilesBlocked(Home(), 6));
  EXPECT_FALSE(UndoFilesBlocked(Home(), 7));
  EXPECT_FALSE(UndoStateHeldElsewhere(Home(), 5));
}

}  // namespace
