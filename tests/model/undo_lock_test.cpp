// The lock each window holds on its undo state file: what tells a live window's files from
// those a program that ended left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "model/undo.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TTempDir;

class TLineSong : public IUndoSong {
 public:
  bool HasData() const override { return true; }
  bool HasTracks() const override { return true; }
  std::vector<std::string> SnapshotLines(const std::string& label) override {
    return {label, text};
  }
  std::optional<std::string> RestoreSnapshot(const std::vector<std::string>& lines) override {
    text = lines.size() > 1 ? lines[1] : "";
    return lines.empty() ? std::string() : lines[0];
  }
  void AddFreshTrack(const std::string&) override {}
  void ClearFileName() override {}
  std::string text = "first";
};

std::vector<std::string> Files(const TTempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path() + "Resources/temp")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class UndoLockTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_.Path() + "Resources/temp"); }
  TTempDir dir_;
  TLineSong song_;
};

TEST_F(UndoLockTest, AWindowHoldsItsStateFileThroughEveryRewrite) {
  auto ring = std::make_unique<TUndoRing>(dir_.Path(), 1, "qem");
  EXPECT_FALSE(UndoStateHeldElsewhere(dir_.Path(), 1)) << "no file yet";
  ring->Start();
  EXPECT_TRUE(UndoStateHeldElsewhere(dir_.Path(), 1));
  for (int i = 0; i < 5; ++i) {
    ring->Saved(song_, "step");
    EXPECT_TRUE(UndoStateHeldElsewhere(dir_.Path(), 1)) << "after rewrite " << i;
  }
  ring->DropNewest();
  EXPECT_TRUE(UndoStateHeldElsewhere(dir_.Path(), 1));
  EXPECT_FALSE(UndoStateHeldElsewhere(dir_.Path(), 2));
  // A program that ends without closing its window leaves unlocked files behind.
  ring.reset();
  EXPECT_FALSE(UndoStateHeldElsewhere(dir_.Path(), 1));
  EXPECT_EQ(Files(dir_), (std::vector<std::string>{"Qem[1].dat", "qem[1].d01", "qem[1].d02",
                                                    "qem[1].d03", "qem[1].d04"}));
}

TEST_F(UndoLockTest, ClosingLetsTheLockGo) {
  TUndoRing ring(dir_.Path(), 4, "qem");
  ring.Start();
  ring.Saved(song_, "a");
  ring.DeleteFiles();
  EXPECT_FALSE(UndoStateHeldElsewhere(dir_.Path(), 4));
  EXPECT_TRUE(Files(dir_).empty());
}

// A second copy of the program that took the same number: it neither writes over nor
// deletes the live window's files, and says why once (else each copy would destroy the
// other's undo steps).
TEST_F(UndoLockTest, ARingOnALiveWindowsNumberTouchesNothing) {
  TUndoRing live(dir_.Path(), 1, "qem");
  live.Start();
  live.Saved(song_, "live edit");
  const std::string state = ReadBytes(live.StatePath());
  const std::string snapshot = ReadBytes(live.SnapshotPath(1));

  TUndoRing second(dir_.Path(), 1, "qem");
  int told = 0;
  second.WriteFailureSignal = [&told] { ++told; };
  second.Start();
  song_.text = "other";
  second.Saved(song_, "other edit");
  second.Saved(song_, "other edit");
  EXPECT_TRUE(second.HeldElsewhere());
  EXPECT_EQ(told, 1);
  EXPECT_NE(second.WriteError().find(live.StatePath()), std::string::npos) << second.WriteError();
  EXPECT_EQ(second.State(), (TUndoState{0, 0, "qem"}));
  second.DeleteFiles();

  EXPECT_EQ(ReadBytes(live.StatePath()), state);
  EXPECT_EQ(ReadBytes(live.SnapshotPath(1)), snapshot);
  EXPECT_TRUE(UndoStateHeldElsewhere(dir_.Path(), 1));
}

// Files an ended program left are no live window's: a new ring takes them over.
TEST_F(UndoLockTest, LeftoversAreTakenOver) {
  { TUndoRing(dir_.Path(), 3, "qem").Start(); }
  TUndoRing ring(dir_.Path(), 3, "qem");
  ring.Start();
  EXPECT_FALSE(ring.HeldElsewhere());
  EXPECT_TRUE(UndoStateHeldElsewhere(dir_.Path(), 3));
}

TEST_F(UndoLockTest, AFolderThatCannotBeWrittenIsNamed) {
  std::filesystem::remove_all(dir_.Path() + "Resources/temp");
  testsupport::WriteBytes(dir_.Path() + "Resources/temp", "not a folder");
  TUndoRing ring(dir_.Path(), 1, "qem");
  int told = 0;
  ring.WriteFailureSignal = [&told] { ++told; };
  ring.Start();
  ring.Saved(song_, "a");
  EXPECT_EQ(told, 1);
  EXPECT_NE(ring.WriteError().find(dir_.Path() + "Resources/temp"), std::string::npos)
      << ring.WriteError();
}

}  // namespace
