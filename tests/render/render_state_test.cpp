#include "render/render_state.h"

#include <gtest/gtest.h>

#include "base/error_sources.h"
#include "handler/handler_names.h"
#include "tests/support/render_test_support.h"

namespace {

class RenderStateTest : public RenderGlobalsTest {};

TEST_F(RenderStateTest, PrepareEvensOutMeasureCountsWithEmptyMeasures) {
  TTestSong song(3);
  song[0].MusicStrings = {"a", "b", "c"};
  song[1].MusicStrings = {"a", "b", "c", "d", "e"};
  song[2].MusicStrings = {"a"};
  PTreck first = nullptr;
  int count = 0;
  PrepareTracksForPlay(song.Head(), first, count);
  EXPECT_EQ(first, song.Head());
  EXPECT_EQ(count, 3);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(song[i].MusicStrings.size(), 5u) << i;
  }
  EXPECT_EQ(song[0].MusicStrings[3], "m");
  EXPECT_EQ(song[2].MusicStrings[1], "m");
  EXPECT_EQ(song[1].MusicStrings[4], "e");
  EXPECT_EQ(song[2].Runtime->TrackIndex, 2);
}

TEST_F(RenderStateTest, SoloOfAnyTrackIsCarriedToTheControlTrack) {
  struct Case {
    bool controlSoloBefore;
    bool trackSolo;
    bool expected;
  };
  for (const Case& c :
       {Case{false, true, true}, Case{true, false, false}, Case{true, true, true}}) {
    TTestSong song(3);
    song[0].Solo = c.controlSoloBefore;
    song[2].Solo = c.trackSolo;
    PTreck first = nullptr;
    int count = 0;
    PrepareTracksForPlay(song.Head(), first, count);
    EXPECT_EQ(song[0].Solo, c.expected);
  }
}

TEST_F(RenderStateTest, PrepareStartsFromEmptyGlobalsAndTheControlTempo) {
  TTestSong song(2);
  song[0].Tempo = 90;
  GHandlerCompile.ScopePath = {"get", "x"};
  GHandlerCompile.Strings = {"old message"};
  GHandlerCompile.Interruptions = {"old snapshot"};
  GRender.LastTempo = 133;
  PTreck first = nullptr;
  int count = 0;
  PrepareTracksForPlay(song.Head(), first, count);
  EXPECT_TRUE(GHandlerCompile.ScopePath.empty());
  EXPECT_TRUE(GHandlerCompile.Strings.empty());
  EXPECT_TRUE(GHandlerCompile.Interruptions.empty());
  EXPECT_EQ(GRender.LastTempo, 0);
  EXPECT_EQ(song[0].Tempo, 120.0L);
}

TEST_F(RenderStateTest, PrepareWithoutTracksOnlyClearsTheGlobals) {
  GHandlerCompile.Strings = {"x"};
  PTreck first = reinterpret_cast<PTreck>(&first);
  int count = 7;
  PrepareTracksForPlay(nullptr, first, count);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(GHandlerCompile.Strings.empty());
  ResetSongRenderState(nullptr);
}

TEST_F(RenderStateTest, TrackResetGivesTheStartingValues) {
  TTestSong song(2);
  TTrackRuntime& rt = RuntimeOf(song[1]);
  rt.KeyOnVelocity[60] = 20;
  rt.KeyOffVelocity[61] = 0;
  rt.KeySounding[60] = 1;
  rt.KeyPosition[60] = 7;
  rt.KeyLength[60] = 99;
  rt.ControllerValues[7] = 1;
  rt.ControllerValues[1] = 50;
  rt.ControllersSent[7] = 112;
  rt.PitchValue = 3;
  rt.LastPitchValue = 3;
  rt.StaccatoFactor = 0.5;
  rt.NonLegatoFactor = 0.1;
  rt.StaccatissimoLength = 99;
  rt.ForshlagLength = 1;
  rt.MordentLength = 1;
  rt.Transpose = 5;
  rt.PositionShift = 9;
  rt.PositionRnd = 9;
  rt.Instrument = 40;
  rt.HighestVoice = 3;
  rt.Events.Append(0x90);
  DefineVariable(rt.Program.Variables, "x", 1);

  ResetTrackRenderState(song[1]);

  for (int k = 0; k < 128; ++k) {
    ASSERT_EQ(rt.KeyOnVelocity[k], 81.0L);
    ASSERT_EQ(rt.KeyOffVelocity[k], 81.0L);
    ASSERT_EQ(rt.KeySounding[k], 0);
    ASSERT_EQ(rt.KeyPosition[k], 0);
    ASSERT_EQ(rt.ControllersSent[k], 0);
  }
  EXPECT_EQ(rt.KeyLength[60], 99) << "key lengths are the note queue's";
  EXPECT_EQ(rt.ControllerValues[7], 112.0L);
  EXPECT_EQ(rt.ControllerValues[11], 112.0L);
  EXPECT_EQ(rt.ControllerValues[10], 64.0L);
  EXPECT_EQ(rt.ControllerValues[1], 0);
  EXPECT_EQ(rt.PitchValue, 64.0L);
  EXPECT_EQ(rt.LastPitchValue, 0);
  EXPECT_EQ(rt.StaccatoFactor, 0.2);
  EXPECT_EQ(rt.NonLegatoFactor, 0.95);
  EXPECT_EQ(rt.StaccatissimoLength, 10.0);
  EXPECT_EQ(rt.LegatoFactor, 1.0);
  EXPECT_EQ(rt.ForshlagLength, 60.0L);
  EXPECT_EQ(rt.MordentLength, 60.0L);
  EXPECT_EQ(rt.Transpose, 0);
  EXPECT_EQ(rt.PositionShift, 0);
  EXPECT_EQ(rt.PositionRnd, 0);
  EXPECT_EQ(rt.Instrument, 0);
  EXPECT_EQ(rt.HighestVoice, 0);
  EXPECT_TRUE(rt.Events.Empty());
  EXPECT_TRUE(rt.Program.Variables.empty());
}

// A song whose tracks hold notes, a program, running blocks, players and events.
void FillRenderedState(TTestSong& song, int tracks) {
  for (int i = 0; i < tracks; ++i) {
    TTrackRuntime& rt = RuntimeOf(song[i]);
    song[i].NoteList = TNoteBuilder::Build("c4 d4");
    rt.NoteQueue.push_back(TQueueEntry{song[i].NoteList->First, 0, 480, 480});
    rt.PriorNotes[0] = song[i].NoteList->First;
    rt.ActiveBlocks.emplace_back();
    DefineVariable(rt.Program.Variables, "x", 1);
    rt.MidiPlayers[0].Playing = true;
    rt.MidiPlayerCount = 1;
    rt.LastInstrument = 9;
    rt.ControllersSent[7] = 1;
    rt.Events.Append(0xC0);
  }
  AddMidiFile(RuntimeOf(song[0]).HandlerMidiFiles, "a.mid", "a");
}

TEST_F(RenderStateTest, SongResetDropsWhatCompilingAndRenderingBuiltButKeepsTheEvents) {
  TTestSong song(3);
  FillRenderedState(song, 3);
  ResetSongRenderState(song.Head());
  for (int i = 0; i < 3; ++i) {
    TTrackRuntime& rt = *song[i].Runtime;
    EXPECT_EQ(song[i].NoteList, nullptr);
    EXPECT_TRUE(rt.NoteQueue.empty());
    EXPECT_EQ(rt.PriorNotes[0], nullptr);
    EXPECT_TRUE(rt.ActiveBlocks.empty());
    EXPECT_TRUE(rt.Program.Variables.empty());
    EXPECT_FALSE(rt.MidiPlayers[0].Playing);
    EXPECT_EQ(rt.MidiPlayerCount, 0);
    EXPECT_EQ(rt.LastInstrument, 0);
    EXPECT_EQ(rt.LastPitchValue, 64.0L);
    EXPECT_EQ(rt.ControllersSent[7], 112.0L);
    EXPECT_EQ(rt.ControllersSent[10], 64.0L);
    EXPECT_EQ(rt.ControllersSent[11], 112.0L);
    EXPECT_EQ(rt.ControllersSent[1], 0);
    EXPECT_EQ(rt.Events.Size(), 1u);
  }
  EXPECT_EQ(song[0].Runtime->HandlerMidiFiles, nullptr);
}

TEST_F(RenderStateTest, SongResetFromAMusicTrackLeavesTheControlTrackAlone) {
  TTestSong song(3);
  FillRenderedState(song, 3);
  ResetSongRenderState(&song[1]);
  EXPECT_NE(song[0].Runtime->HandlerMidiFiles, nullptr);
  EXPECT_NE(song[0].NoteList, nullptr);
  EXPECT_EQ(song[1].NoteList, nullptr);
  EXPECT_EQ(song[2].NoteList, nullptr);
}

}  // namespace
