// The players of MIDI files loaded by the handler language, and the song's file list.
#include <gtest/gtest.h>

#include "render/handler_midi_files.h"
#include "tests/support/handler_executor_fixture.h"
#include "tests/support/midi_test_support.h"

namespace {

class MidiPlayerTest : public HandlerExecutorTest {
 protected:
  void SetUp() override {
    HandlerExecutorTest::SetUp();
    TMidi& first = AddMidiFile(RuntimeOf(control).HandlerMidiFiles, "a.mid", "a");
    first.TrackCount = 2;
    first.Division = 96;
    first.Tracks.resize(2);
    TMidi& wide = AddMidiFile(RuntimeOf(control).HandlerMidiFiles, "wide.mid", "wide");
    wide.TrackCount = 300;
    wide.Division = 480;
    wide.Tracks.resize(300);
  }

  // Compiles the lines with the variable m holding the file's index.
  void CompileWithFile(std::vector<std::string> lines, int fileIndex = 0) {
    lines.insert(lines.begin(), {"variable m", "variable t"});
    Compile(lines);
    FindVariable("get.m", Program().Variables)->Value = fileIndex;
  }

  const TMidiPlayerSlot& Slot(size_t n) { return Runtime().MidiPlayers[n - 1]; }
};

TEST_F(MidiPlayerTest, PlayStartsAtThisTickLessTheOffsetAndReusesItsSlot) {
  CompileWithFile({"m->play 1 from 30", "m->play 0", "m->play 1"});
  RunAt(500);
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  EXPECT_EQ(Runtime().MidiPlayerCount, 2);
  const TMidi* file = FindMidiFileByIndex(RuntimeOf(control).HandlerMidiFiles.get(), 0);
  EXPECT_EQ(Slot(1).TrackNumber, 1u);
  EXPECT_EQ(Slot(1).EventData, &file->Tracks[1].Data);
  EXPECT_EQ(Slot(1).NextEventTime, 500);  // set up again without the offset
  EXPECT_EQ(Slot(1).Division, 96u);
  EXPECT_TRUE(Slot(1).Playing);
  EXPECT_TRUE(Slot(1).FirstPass);
  EXPECT_EQ(Slot(2).TrackNumber, 0u);
}

TEST_F(MidiPlayerTest, PlayInABlockStartsAtTheBlocksTick) {
  CompileWithFile({"block b", "m->play 0 from 10", "endblock"});
  const TBlockFrame frame{nullptr, 100, 250, 60, 0};
  THandlerTick tick(GRender, music, 1920, 0, 900, GErrors);
  RunHandlerBlock(frame, FindBlockByName("b", Program().Blocks)->Tree, tick);
  EXPECT_EQ(Slot(1).NextEventTime, 240);
}

TEST_F(MidiPlayerTest, StopAndContinueSwitchThePlayer) {
  CompileWithFile({"m->play 1", "m->stop 1", "let t=1", "m->stop 7"});
  RunAt(0);
  EXPECT_FALSE(Slot(1).Playing);
  EXPECT_EQ(GErrors.Code(), 0);  // a number outside the file changes nothing
  Compile({"m->continue 1"});
  RunAt(1);
  EXPECT_TRUE(Slot(1).Playing);
}

struct MidiErrorCase {
  std::string line;
  int fileIndex;
  uint8_t code;
  std::string text;
};

class MidiErrorTest : public MidiPlayerTest, public ::testing::WithParamInterface<MidiErrorCase> {};

TEST_P(MidiErrorTest, Reports) {
  CompileWithFile({GetParam().line}, GetParam().fileIndex);
  RunAt(0);
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, GetParam().code);
  EXPECT_EQ(e.Text, GetParam().text);
  EXPECT_EQ(e.Source, 1);
  EXPECT_EQ(Runtime().MidiPlayerCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MidiErrorTest,
    ::testing::Values(MidiErrorCase{"m->play 2", 0, 43, "2 a (a.mid)"},
                      MidiErrorCase{"m->play 0-1", 0, 43, "-1 a (a.mid)"},
                      MidiErrorCase{"m->play 0", 9, 43, "0"},
                      MidiErrorCase{"m->stop 0", 0, 44, "0 a (a.mid)"},
                      MidiErrorCase{"m->continue 1", 0, 45, "1 a (a.mid)"}));

TEST_F(MidiPlayerTest, NoFreeSlotIsAnError) {
  CompileWithFile({"for t=0 to 299 do", "m->play t", "endfor"}, 1);
  RunAt(0);
  EXPECT_EQ(GErrors.Code(), 7);
  EXPECT_EQ(GErrors.Get().Text, "256 wide (wide.mid)");
  EXPECT_EQ(Runtime().MidiPlayerCount, kMidiPlayerSlots);
}

TEST(SongMidiFiles, LoadsFilesAndFindsThemByName) {
  std::unique_ptr<TMidi> head;
  TSongMidiFiles files(head);
  EXPECT_EQ(files.FindIndex("tune"), -1);
  EXPECT_EQ(files.Load((miditest::CorpusDir() / "format1.mid").string(), "tune"), 0);
  EXPECT_EQ(files.Load((miditest::CorpusDir() / "format0.mid").string(), "other"), 1);
  EXPECT_EQ(files.Load((miditest::CorpusDir() / "missing.mid").string(), "junk"), -1);
  EXPECT_EQ(files.FindIndex("tune"), 0);
  EXPECT_EQ(files.FindIndex("other"), 1);
  const TMidi* tune = FindMidiFileByIndex(head.get(), 0);
  ASSERT_NE(tune, nullptr);
  EXPECT_GT(tune->TrackCount, 1u);
  EXPECT_FALSE(tune->Tracks[0].Data.empty());
}

}  // namespace
