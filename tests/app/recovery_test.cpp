// The questions at start about songs a program that ended left behind.
#include "app/recovery.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/shell.h"
#include "feedback/message_box.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TTempDir;
using testsupport::W;

class TNamedSong : public IUndoSong {
 public:
  explicit TNamedSong(std::string file) : file_(std::move(file)) {}
  bool HasData() const override { return true; }
  bool HasTracks() const override { return true; }
  std::vector<std::string> SnapshotLines(const std::string& label) override {
    return {label, file_, "1 0 1 1 0 0 0", "T", "typed"};
  }
  std::optional<std::string> RestoreSnapshot(const std::vector<std::string>&) override {
    return std::nullopt;
  }
  void AddFreshTrack(const std::string&) override {}
  void ClearFileName() override {}

 private:
  std::string file_;
};

class RecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(Home() + "Resources/temp"); }
  std::string Home() const { return dir_.Path(); }
  // Window `number` changed its song (file `file`, empty for a new song) and was never closed.
  void Leave(int32_t number, const std::string& file) {
    TUndoRing ring(Home(), number, "qem");
    ring.Start();
    TNamedSong song(file);
    ring.Saved(song, "edit");
  }
  bool HasStateFile(int32_t number) const { return fs::exists(UndoStatePath(Home(), number)); }
  TTempDir dir_;
};

TEST_F(RecoveryTest, OneQuestionPerSongAndEachAnswerDoesItsPart) {
  Leave(1, "/songs/first.qem");
  Leave(2, "");
  Leave(3, "/songs/third.qem");
  std::vector<std::string> asked;
  const std::vector<int> answers = {mbYes, mbNo, mbCancel};
  TRecoveryAnswers result = AskAboutLeftoverSongs(FindLeftoverSongs(Home()),
                                                  [&](const std::string& question) {
                                                    asked.push_back(question);
                                                    return answers.at(asked.size() - 1);
                                                  });
  ASSERT_EQ(asked.size(), 3u);
  const std::vector<std::string> names = {"first.qem", W("безымянный"), "third.qem"};
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_NE(asked[i].find(W("не закрыв сонг «") + names[i] + W("» (изменён ")), std::string::npos)
        << asked[i];
  }
  ASSERT_EQ(result.Recover.size(), 1u);
  EXPECT_EQ(result.Recover[0].FileName(), "/songs/first.qem");
  EXPECT_EQ(result.Recover[0].Lines.back(), "typed");
  EXPECT_FALSE(HasStateFile(2)) << "No deletes the song's files";
  ASSERT_EQ(result.Later.size(), 1u);
  EXPECT_EQ(result.Later[0].WindowNumber, 3);

  // While the program runs, no new window takes the numbers of songs still undecided.
  const auto held = [this](int32_t n) { return UndoStateHeldElsewhere(Home(), n); };
  EXPECT_EQ(FreeWindowNumber({}, held), 2);
  result.Recover[0].Discard();
  EXPECT_EQ(FreeWindowNumber({}, held), 1);

  // Cancel leaves the song for the next start.
  result = {};
  const std::vector<TLeftoverSong> next = FindLeftoverSongs(Home());
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].WindowNumber, 3);
}

TEST_F(RecoveryTest, AClosedQuestionKeepsTheSong) {
  Leave(5, "");
  TRecoveryAnswers result =
      AskAboutLeftoverSongs(FindLeftoverSongs(Home()), [](const std::string&) { return mbNone; });
  EXPECT_TRUE(result.Recover.empty());
  EXPECT_EQ(result.Later.size(), 1u);
  result = {};
  EXPECT_TRUE(HasStateFile(5));
}

// The question says when the song's file was changed or deleted on disk since the window
// last read or wrote it: taking the song back and saving it would write over that.
TEST_F(RecoveryTest, TheQuestionSaysTheFileChangedOnDiskSince) {
  const std::string songs = Home() + "songs/";
  fs::create_directories(songs);
  for (const char* name : {"same.qem", "changed.qem", "gone.qem", "unknown.qem"}) {
    testsupport::WriteBytes(songs + name, "1 0 0 1 0 0 0\r\nT\r\nVd4m\r\n");
  }
  const std::vector<std::string> names = {"same.qem", "changed.qem", "gone.qem", "unknown.qem"};
  for (int32_t i = 0; i < 4; ++i) {
    Leave(i + 1, songs + names[i]);
    if (i < 3) {
      TUndoRing ring(Home(), i + 1, "qem");
      ASSERT_TRUE(ring.TakeOverLeftover());
      const std::optional<TFileStamp> stamp = StampFile(songs + names[i]);
      ASSERT_TRUE(stamp.has_value());
      ASSERT_TRUE(ring.WriteFileIdentity(EncodeFileIdentity({songs + names[i], *stamp, false})));
    }
  }
  testsupport::WriteBytes(songs + "changed.qem", "1 0 0 1 0 0 0\r\nOther\r\nVd4m\r\n");
  testsupport::WriteBytes(songs + "unknown.qem", "1 0 0 1 0 0 0\r\nOther\r\nVd4m\r\n");
  fs::remove(songs + "gone.qem");
  const std::vector<TLeftoverSong> found = FindLeftoverSongs(Home());
  ASSERT_EQ(found.size(), 4u);
  const std::vector<std::pair<TFileState, std::string>> expected = {
      {TFileState::Unchanged, ""},
      {TFileState::Changed, W(" Файл изменён на диске с тех пор.")},
      {TFileState::Deleted, W(" Файл удалён с диска с тех пор.")},
      {TFileState::Unknown, ""}};
  for (size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].FileSince, expected[i].first) << names[i];
    const std::string question = RecoveryQuestion(found[i]);
    const std::string tail = W("оставит до следующего запуска.") + expected[i].second;
    ASSERT_GE(question.size(), tail.size());
    EXPECT_EQ(question.substr(question.size() - tail.size()), tail) << names[i];
  }
}

}  // namespace
