#include "model/undo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "feedback/signals.h"
#include "settings/settings.h"
#include "tests/support/fifo_watchdog.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TRecordingPlayer;
using testsupport::TScopedLanguage;
using testsupport::TTempDir;
using testsupport::W;
using testsupport::WriteBytes;

// A song reduced to what the ring touches: its text lines (label first, then the place
// and the tracks), the tracks' names and the file name.
class TFakeSong : public IUndoSong {
 public:
  bool HasData() const override { return has_data; }
  bool HasTracks() const override { return !tracks.empty(); }
  std::vector<std::string> SnapshotLines(const std::string& label) override {
    std::vector<std::string> lines = {label, "place=" + place};
    lines.insert(lines.end(), tracks.begin(), tracks.end());
    return lines;
  }
  std::optional<std::string> RestoreSnapshot(const std::vector<std::string>& lines) override {
    if (lines.size() < 2 || lines[1].rfind("place=", 0) != 0) {
      return std::nullopt;
    }
    place = lines[1].substr(6);
    tracks.assign(lines.begin() + 2, lines.end());
    return lines[0];
  }
  void AddFreshTrack(const std::string& name) override { tracks.push_back(name); }
  void ClearFileName() override { file_name.clear(); }

  bool has_data = true;
  std::string place = "1:1";
  std::vector<std::string> tracks = {"piano"};
  std::string file_name = "song.qem";
};

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ring_.Start();
    saved_dir_ = ProgramDir;
    ProgramDir = dir_.Path();
    std::filesystem::copy(std::string(VELTO_BINARY_DIR) + "/bin/Resources/error.wav",
                          dir_.Path() + "Resources/error.wav");
    SetSoundPlayer(player_);
  }
  void TearDown() override {
    SetSoundPlayer(nullptr);
    ProgramDir = saved_dir_;
  }

  // The undo command: load the newest snapshot, then drop it.
  void Undo() {
    ASSERT_TRUE(ring_.Opened(song_));
    ring_.DropNewest();
  }

  TTempDir dir_;
  std::string saved_dir_;
  TFakeSong song_;
  TUndoRing ring_ = [this] {
    TUndoRing ring{dir_.Path(), 7, "qem"};
    ring.WriteFailureSignal = [] { Signal(sError); };
    return ring;
  }();
  std::shared_ptr<TRecordingPlayer> player_ = std::make_shared<TRecordingPlayer>();
};

TEST(UndoFiles, NamesFollowTheWindowAndSlot) {
  EXPECT_EQ(UndoStatePath("/p/", 3), "/p/Resources/temp/Qem[3].dat");
  EXPECT_EQ(UndoSnapshotPath("/p/", 3, 0), "/p/Resources/temp/qem[3].d00");
  EXPECT_EQ(UndoSnapshotPath("/p/", 3, 9), "/p/Resources/temp/qem[3].d09");
  EXPECT_EQ(UndoSnapshotPath("/p/", 12, 10), "/p/Resources/temp/qem[12].d10");
  EXPECT_EQ(UndoSnapshotPath("/p/", 1, 99), "/p/Resources/temp/qem[1].d99");
}

TEST(UndoState, EncodesTwelveLittleEndianBytes) {
  const auto bytes = EncodeUndoState({0x01020304, 100, "mid"});
  const std::array<uint8_t, 12> expected = {4, 3, 2, 1, 100, 0, 0, 0, 3, 'm', 'i', 'd'};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(EncodeUndoState({5, 1, "qemx"})[8], 3) << "the format keeps three characters";
}

TEST(UndoState, DecodesOnlyValidRecords) {
  struct Case {
    const char* Name;
    std::string Bytes;
    bool Valid;
  };
  const auto valid = EncodeUndoState({50, 100, "qe"});
  const std::string good(valid.begin(), valid.end());
  auto with = [&](size_t at, char value) {
    std::string b = good;
    b[at] = value;
    return b;
  };
  const Case cases[] = {
      {"good", good, true},
      {"short", good.substr(0, 11), false},
      {"long", good + "x", false},
      {"empty", "", false},
      {"index 100", with(0, 100), false},
      {"negative index", with(3, '\x80'), false},
      {"count 101", with(4, 101), false},
      {"negative count", with(7, '\xff'), false},
      {"length 4", with(8, 4), false},
      {"length 255", with(8, '\xff'), false},
      {"garbage past the length", with(11, '\xff'), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeUndoState(c.Bytes).has_value(), c.Valid) << c.Name;
  }
  EXPECT_EQ(*DecodeUndoState(good), (TUndoState{50, 100, "qe"}));
}

TEST_F(UndoTest, StartWritesAnEmptyRing) {
  EXPECT_EQ(ReadUndoStateFile(ring_.StatePath()), (TUndoState{0, 0, "qem"}));
  EXPECT_FALSE(ring_.UndoEnabled());
  EXPECT_EQ(ring_.UndoCaption(), W("Отменить"));
}

TEST_F(UndoTest, TheRingWrapsAfterAHundredSnapshots) {
  for (int i = 1; i <= 150; ++i) {
    ring_.Saved(song_, "op" + std::to_string(i));
    if (i == 9) {
      EXPECT_TRUE(std::filesystem::exists(dir_.Path() + "Resources/temp/qem[7].d09"));
      EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "Resources/temp/qem[7].d10"));
    }
    if (i == 10) {
      EXPECT_EQ(ReadBytes(dir_.Path() + "Resources/temp/qem[7].d10"), "op10\r\nplace=1:1\r\npiano\r\n");
    }
    if (i == 100) {
      EXPECT_EQ(ReadBytes(dir_.Path() + "Resources/temp/qem[7].d00").substr(0, 5), "op100");
    }
  }
  EXPECT_EQ(ring_.State(), (TUndoState{50, 100, "qem"}));
  EXPECT_EQ(ReadUndoStateFile(ring_.StatePath()), ring_.State());
  EXPECT_EQ(ring_.UndoCaption(), W("Отменить op150"));
  EXPECT_TRUE(ring_.UndoEnabled());
}

TEST_F(UndoTest, StateFileReadsBackWithPythonStruct) {
  for (int i = 0; i < 42; ++i) {
    ring_.Saved(song_, "x");
  }
  ASSERT_EQ(std::filesystem::file_size(ring_.StatePath()), 12u);
  const std::string out = dir_.File("struct.txt");
  const std::string command = "/usr/bin/python3 -c \"import struct,sys; "
                              "print(struct.unpack('<iiB3s', open(sys.argv[1],'rb').read()))\" '" +
                              ring_.StatePath() + "' > '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadBytes(out), "(42, 42, 3, b'qem')\n");
}

TEST_F(UndoTest, UndoRestoresTheSongTextAndPlace) {
  ring_.Saved(song_, "type");
  song_.place = "2:5";
  song_.tracks = {"piano", W("скрипка")};
  ring_.Saved(song_, "add track");
  song_.place = "3:1";
  song_.tracks = {"changed"};

  Undo();
  EXPECT_EQ(song_.place, "2:5");
  EXPECT_EQ(song_.tracks, (std::vector<std::string>{"piano", W("скрипка")}));
  // The caption names what the next undo brings back: the snapshot now newest.
  EXPECT_EQ(ring_.UndoCaption(), W("Отменить type"));
  EXPECT_TRUE(ring_.UndoEnabled());
  EXPECT_EQ(ring_.State(), (TUndoState{1, 1, "qem"}));
  EXPECT_FALSE(std::filesystem::exists(ring_.SnapshotPath(2)));

  Undo();
  EXPECT_EQ(song_.place, "1:1");
  EXPECT_EQ(song_.tracks, std::vector<std::string>{"piano"});
  EXPECT_EQ(ring_.UndoCaption(), W("Отменить"));
  EXPECT_FALSE(ring_.UndoEnabled());
  EXPECT_EQ(ring_.State(), (TUndoState{0, 0, "qem"}));
  EXPECT_EQ(ReadUndoStateFile(ring_.StatePath()), ring_.State());
}

TEST_F(UndoTest, CountZeroGivesTheBareCaptionDisabled) {
  ring_.Saved(song_, "a");
  Undo();
  ring_.Saved(song_, "");  // rewrites slot 0 without counting it
  ASSERT_TRUE(ring_.Opened(song_));
  EXPECT_FALSE(ring_.UndoEnabled());
  EXPECT_EQ(ring_.UndoCaption(), W("Отменить"));
  TScopedLanguage language({"15=Undo"});
  ASSERT_TRUE(ring_.Opened(song_));
  EXPECT_EQ(ring_.UndoCaption(), "Undo");
}

// The newest snapshot no longer holds the song before "second", so "second" is not offered.
TEST_F(UndoTest, EmptyLabelRewritesTheNewestSnapshotAndBlanksTheLabel) {
  ring_.Saved(song_, "first");
  ring_.Saved(song_, "second");
  song_.place = "9:9";
  ring_.Saved(song_, "");
  EXPECT_EQ(ReadBytes(ring_.SnapshotPath(2)), "second\r\nplace=9:9\r\npiano\r\n");
  ring_.Saved(song_, "");
  EXPECT_EQ(ring_.State(), (TUndoState{2, 2, "qem"}));
  EXPECT_EQ(ReadBytes(ring_.SnapshotPath(2)), "\r\nplace=9:9\r\npiano\r\n");
  EXPECT_EQ(ring_.Label(), "");
  EXPECT_EQ(ring_.UndoCaption(), W("Отменить "));
  EXPECT_TRUE(ring_.UndoEnabled());
}

// A snapshot is replaced whole, never rewritten in place: whoever reads the old one (a
// recovery) reads it whole.
TEST_F(UndoTest, ASnapshotIsReplacedWholeNeverRewrittenInPlace) {
  ring_.Saved(song_, "first");
  std::ifstream reader(ring_.SnapshotPath(1), std::ios::binary);
  song_.place = "9:9";
  ring_.Saved(song_, "");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "first\r\nplace=1:1\r\npiano\r\n");
  EXPECT_EQ(ReadBytes(ring_.SnapshotPath(1)), "first\r\nplace=9:9\r\npiano\r\n");
}

TEST_F(UndoTest, NothingIsRecordedWithoutSongData) {
  song_.has_data = false;
  ring_.Saved(song_, "a");
  EXPECT_EQ(ring_.State(), (TUndoState{0, 0, "qem"}));
  EXPECT_FALSE(std::filesystem::exists(ring_.SnapshotPath(1)));
}

// Kept on purpose: a snapshot that was not written is not counted, so undo never reaches
// a file that does not hold the song.
TEST_F(UndoTest, AFailedWriteIsNotCountedAndSignalsOnce) {
  for (const bool blockState : {false, true}) {
    TUndoRing ring{dir_.Path(), 8, "qem"};
    int signals = 0;
    ring.WriteFailureSignal = [&signals] { ++signals; };
    ring.Start();
    ring.Saved(song_, "ok");
    // A folder where the state file, or the snapshot of slot 2, goes.
    const std::string path = blockState ? ring.StatePath() : ring.SnapshotPath(2);
    const std::string kept = testsupport::ReadBytes(ring.StatePath());
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    std::filesystem::create_directory(path + ".tmp");
    for (int i = 0; i < 5; ++i) {
      ring.Saved(song_, "blocked");
    }
    EXPECT_EQ(ring.State(), (TUndoState{1, 1, "qem"})) << path;
    EXPECT_EQ(ring.UndoCaption(), W("Отменить ok"));
    EXPECT_EQ(signals, 1) << path;
    if (!blockState) {
      EXPECT_EQ(testsupport::ReadBytes(ring.StatePath()), kept);
    }
    std::filesystem::remove_all(path + ".tmp");
    std::filesystem::remove_all(path);
    ring.DeleteFiles();
  }
}

class UndoRecoveryTest : public UndoTest,
                         public ::testing::WithParamInterface<std::pair<const char*, std::string>> {};

// Untrusted state files: a fresh window gets one new track; a live song stays as it is.
TEST_P(UndoRecoveryTest, CorruptStateIsHandled) {
  ring_.Saved(song_, "a");
  WriteBytes(ring_.StatePath(), GetParam().second);

  TFakeSong fresh;
  fresh.tracks.clear();
  EXPECT_FALSE(ring_.Opened(fresh));
  EXPECT_EQ(fresh.tracks, std::vector<std::string>{W("Новый")});
  EXPECT_EQ(fresh.file_name, "");
  EXPECT_FALSE(ring_.UndoEnabled());
  EXPECT_EQ(ring_.UndoCaption(), W("Отменить"));

  song_.tracks = {"live"};
  EXPECT_FALSE(ring_.Opened(song_));
  EXPECT_EQ(song_.tracks, std::vector<std::string>{"live"}) << "no track is appended";
  EXPECT_EQ(song_.file_name, "song.qem");
  ring_.DropNewest();
  EXPECT_TRUE(std::filesystem::exists(ring_.SnapshotPath(1))) << "nothing to drop";
}

std::string StateBytes(int32_t index, int32_t count, uint8_t length) {
  auto bytes = EncodeUndoState({index, count, "qem"});
  bytes[8] = length;
  return std::string(bytes.begin(), bytes.end());
}

INSTANTIATE_TEST_SUITE_P(
    States, UndoRecoveryTest,
    ::testing::Values(std::pair<const char*, std::string>{"empty", ""},
                      std::pair<const char*, std::string>{"short", "\x01\x00\x00"},
                      std::pair<const char*, std::string>{"index", StateBytes(100, 1, 3)},
                      std::pair<const char*, std::string>{"negative", StateBytes(-1, 1, 3)},
                      std::pair<const char*, std::string>{"count", StateBytes(1, 101, 3)},
                      std::pair<const char*, std::string>{"length", StateBytes(1, 1, 200)},
                      std::pair<const char*, std::string>{"no snapshot", StateBytes(42, 1, 3)}),
    [](const auto& info) { return std::string(info.param.first).replace(2, 1, ""); });

TEST_F(UndoTest, AMissingStateFileGivesOneNewTrack) {
  std::filesystem::remove(ring_.StatePath());
  TFakeSong fresh;
  fresh.tracks.clear();
  TScopedLanguage language({"10=New"});
  EXPECT_FALSE(ring_.Opened(fresh));
  EXPECT_EQ(fresh.tracks, std::vector<std::string>{"New"});
}

TEST_F(UndoTest, ASnapshotThatDoesNotParseLeavesTheSong) {
  ring_.Saved(song_, "a");
  WriteBytes(ring_.SnapshotPath(1), "garbage\r\n");
  song_.tracks = {"kept"};
  EXPECT_FALSE(ring_.Opened(song_));
  EXPECT_EQ(song_.tracks, std::vector<std::string>{"kept"});
  EXPECT_TRUE(ring_.UndoEnabled());
}

// A fresh window whose snapshot does not parse keeps no old tracks: it gets a new one.
TEST_F(UndoTest, ASnapshotThatDoesNotParseGivesAFreshWindowATrack) {
  ring_.Saved(song_, "a");
  WriteBytes(ring_.SnapshotPath(1), "garbage\r\n");
  TFakeSong fresh;
  fresh.tracks.clear();
  EXPECT_FALSE(ring_.Opened(fresh));
  EXPECT_EQ(fresh.tracks, std::vector<std::string>{W("Новый")});
  EXPECT_EQ(fresh.file_name, "");
}

// A folder or a FIFO in place of a snapshot or of a state file is a file that cannot be
// read: the undo command leaves the song as it is; nothing throws (which aborted the
// program) and nothing waits on the FIFO.
TEST_F(UndoTest, AFolderOrAFifoInPlaceOfARingFileIsUnreadable) {
  ring_.Saved(song_, "a");
  ring_.Saved(song_, "b");
  const std::string folderState = dir_.Path() + "Resources/temp/Qem[8].dat";
  const std::string fifoState = dir_.Path() + "Resources/temp/Qem[9].dat";
  std::filesystem::create_directory(folderState);
  ASSERT_EQ(::mkfifo(fifoState.c_str(), 0600), 0);
  std::filesystem::remove(ring_.SnapshotPath(2));
  ASSERT_EQ(::mkfifo(ring_.SnapshotPath(2).c_str(), 0600), 0);
  TFifoWatchdog watchdog({ring_.SnapshotPath(2), fifoState});
  song_.tracks = {"kept"};
  EXPECT_FALSE(ring_.Opened(song_));
  EXPECT_EQ(song_.tracks, std::vector<std::string>{"kept"});
  ring_.DropNewest();
  EXPECT_FALSE(ring_.UndoEnabled());
  EXPECT_EQ(ReadUndoStateFile(fifoState), std::nullopt);
  EXPECT_FALSE(UndoStateHeldElsewhere(dir_.Path(), 9));
  EXPECT_TRUE(watchdog.Done()) << "the ring waited on a FIFO";

  std::filesystem::remove(ring_.SnapshotPath(2));
  std::filesystem::create_directory(ring_.SnapshotPath(2));
  ASSERT_EQ(ReadUndoStateFile(ring_.StatePath()), (TUndoState{2, 2, "qem"}));
  EXPECT_FALSE(ring_.Opened(song_));
  EXPECT_EQ(song_.tracks, std::vector<std::string>{"kept"});
  EXPECT_EQ(ReadUndoStateFile(folderState), std::nullopt);
}

TEST_F(UndoTest, ClosingDeletesEveryFile) {
  for (int i = 0; i < 120; ++i) {
    ring_.Saved(song_, "x");
  }
  ring_.DeleteFiles();
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path() + "Resources/temp"));
}

}  // namespace
