#include "render/note_events.h"

#include <gtest/gtest.h>

#include <vector>

#include "handler/handler_normalizer.h"
#include "handler/handler_expression.h"
#include "platform/codec1251.h"
#include "tests/support/render_test_support.h"

namespace {

constexpr int kTpm = 1920;

class NoteEventsTest : public RenderGlobalsTest {
 protected:
  // Gives track `i` the notes of `text` and compiles `program` into it.
  void Give(TTestSong& song, int i, std::string_view text,
            const std::vector<std::string>& program = {}) {
    song[i].NoteList = TNoteBuilder::Build(text);
    TTrackRuntime& rt = RuntimeOf(song[i]);
    DefineConstant(rt.Program.Constants, "true", 127);
    THandlerCompileInput input;
    input.Program = &rt.Program;
    CompileHandlerProgram(input, 1, NormalizeProgramLines(program), rt.Program.ProgramTree, "get");
    ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  }
  static std::vector<const TQueueEntry*> Entries(TTreck& t) {
    std::vector<const TQueueEntry*> out;
    for (const TQueueEntry& e : t.Runtime->NoteQueue) {
      out.push_back(&e);
    }
    return out;
  }
  static long double Evaluate(const TExpressionNode* node) {
    TErrorRecord errors;
    return EvaluateExpression(node, THandlerEvaluation{}, errors);
  }
};

const std::vector<std::string> kDrumBlock = {
    "block drum", "%0 test",         "%1 a",    "%2 b",       "tempo 100",
    "endblock",   "function helper", "tempo 1", "endfunction"};

TEST_F(NoteEventsTest, QueueHoldsOneEntryPerVoiceListOfTheFirstMeasure) {
  TTestSong song(2);
  Give(song, 1, "c4 d4 e4 f4 / r2 g2 / a1");
  QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
  ASSERT_EQ(GErrors.Code(), 0);
  auto e = Entries(song[1]);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0]->Note->Step, 1);
  EXPECT_EQ(e[1]->Note->Step, 0) << "a voice that starts with a rest is queued";
  EXPECT_EQ(e[2]->Voice, 2);
  EXPECT_EQ(e[0]->Remaining, 480);
  EXPECT_EQ(e[1]->Length, 960);
  EXPECT_EQ(e[2]->Length, 1920);
  EXPECT_EQ(e[2]->Note->Time, 1920) << "the note keeps the length it was queued with";
  EXPECT_EQ(song[1].Runtime->HighestVoice, 2);
  EXPECT_TRUE(e[0]->StartsNow);
  EXPECT_EQ(song[1].Runtime->NextNotes[0]->Step, 2);
}

TEST_F(NoteEventsTest, ThreeFourMakesAQuarterAThirdOfTheMeasure) {
  TTestSong song(2);
  Give(song, 1, "c4 '3/4 d4 e4 | f2 .");
  QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
  auto e = Entries(song[1]);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0]->Length, 640);
  EXPECT_EQ(song[1].Runtime->VoiceBeats[0], 3);
  AdvanceTrackQueue(song[1], 1920, 1920, kTpm, GErrors, TNoteCommands::All);
  ASSERT_EQ(Entries(song[1]).size(), 1u);
  EXPECT_EQ(Entries(song[1])[0]->Note->Step, 4);
  EXPECT_EQ(Entries(song[1])[0]->Length, 1920) << "a dotted half fills a 3/4 measure";
}

TEST_F(NoteEventsTest, BlockCallStartsTheBlockWithItsArgumentExpressions) {
  struct Case {
    const char* call;
    std::vector<long double> args;
  };
  const Case cases[] = {
      {"drum:1;-2", {1, -2}},
      {"drum:;5", {0, 5}},
      {"drum", {}},
      {"DRUM:3*2", {6}},
  };
  for (const Case& c : cases) {
    TTestSong song(2);
    Give(song, 1, std::string("c4 @") + c.call, kDrumBlock);
    QueueTrackNotes(song.Head(), GErrors, 3840, kTpm);
    ASSERT_EQ(GErrors.Code(), 0) << c.call << ": " << GErrors.Get().Text;
    const auto& blocks = song[1].Runtime->ActiveBlocks;
    ASSERT_EQ(blocks.size(), 1u) << c.call;
    const TActiveBlock& b = blocks.front();
    EXPECT_EQ(b.Name, c.call);
    EXPECT_EQ(b.StartTick, 3840);
    EXPECT_EQ(b.Key, 60);
    EXPECT_EQ(b.Block->Name, "drum");
    EXPECT_EQ(b.Lines, (std::vector<std::string>{"test", "a", "b"}));
    ASSERT_EQ(b.Args.size(), c.args.size()) << c.call;
    for (size_t i = 0; i < c.args.size(); ++i) {
      EXPECT_EQ(Evaluate(b.Args[i].get()), c.args[i]) << c.call << " argument " << i;
    }
    EXPECT_FALSE(Entries(song[1])[0]->Flags & kQueueBlocksPending);
    EXPECT_TRUE(GRender.BlockLines.empty());
  }
}

TEST_F(NoteEventsTest, SeveralCallsOnOneNoteStartInOrder) {
  TTestSong song(2);
  Give(song, 1, "c4 @drum:1.)drum:2", kDrumBlock);
  QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  ASSERT_EQ(song[1].Runtime->ActiveBlocks.size(), 2u);
  EXPECT_EQ(Evaluate(song[1].Runtime->ActiveBlocks.back().Args[0].get()), 2);
}

// A call of no block is a syntax error of the music text that names the call. The error
// names the track's own voice; a call in voice list 0 (the control track's
// line that the track's notes begin with) names voice 1 of the control track.
TEST_F(NoteEventsTest, BadBlockCallsStopTheRefillWithAMusicTextError) {
  struct Case {
    const char* measure2;
    uint8_t code;
    const char* text;
    uint8_t voice;
    uint16_t track;
  };
  const Case cases[] = {
      {"d4 / e4 @nosuch:1", 1, "Блок не найден: nosuch:1", 1, 2},
      {"d4 / e4 / f4 @helper", 1, "Блок не найден: helper", 2, 2},  // a function is not a block
      {"d4 / e4 @drum:1+", 1, nullptr, 1, 2},  // the argument's own error
      {"d4 @nosuch / e4", 1, "Блок не найден: nosuch", 1, 0},
  };
  for (const Case& c : cases) {
    GErrors.Reset();
    TTestSong song(3);
    Give(song, 2, std::string("c4 | ") + c.measure2, kDrumBlock);
    RuntimeOf(song[0]).TrackIndex = 0;
    RuntimeOf(song[2]).TrackIndex = 2;
    QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
    AdvanceTrackQueue(song[2], 1920, 1920, kTpm, GErrors, TNoteCommands::All);
    const TErrors e = GErrors.Get();
    EXPECT_EQ(e.Code, c.code) << c.measure2;
    if (c.text != nullptr) {
      EXPECT_EQ(Cp1251ToUtf8(e.Text), c.text);
    } else {
      EXPECT_EQ(Cp1251ToUtf8(e.Text).find("Блок"), std::string::npos) << e.Text;
    }
    EXPECT_EQ(e.Source, 2);
    EXPECT_EQ(e.Measure, 2u);
    EXPECT_EQ(e.Voice, c.voice) << c.measure2;
    EXPECT_EQ(e.ModuleLine, c.track) << c.measure2;
  }
}

TEST_F(NoteEventsTest, NotesStartNoBlocksOnTheControlTrackOrWithHandlersOff) {
  struct Case {
    int track;
    bool controlOn;
    bool trackOn;
    size_t started;
  };
  for (const Case& c : {Case{1, true, true, 1}, Case{0, true, true, 0}, Case{1, false, true, 0},
                        Case{1, true, false, 0}}) {
    TTestSong song(2);
    Give(song, c.track, "c4 @nosuch", kDrumBlock);
    Give(song, c.track, "c4 @drum");
    song[0].HandlerOn = c.controlOn;
    song[1].HandlerOn = c.trackOn;
    QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
    EXPECT_EQ(GErrors.Code(), 0);
    EXPECT_EQ(RuntimeOf(song[c.track]).ActiveBlocks.size(), c.started);
  }
}

TEST_F(NoteEventsTest, VoicePartSwitches) {
  TTrackRuntime rt;
  EXPECT_EQ(ApplyVoicePartPrefixes("b+t+", 2, rt), "");
  EXPECT_EQ(rt.HarmonyParts[2][0], 1);
  EXPECT_EQ(rt.HarmonyParts[2][1], 1);
  EXPECT_EQ(ApplyVoicePartPrefixes("b-b+s+l+", 2, rt), "");
  EXPECT_EQ(rt.HarmonyParts[2][3], 1);
  EXPECT_EQ(rt.VoiceLFlag[2], 1);
  EXPECT_EQ(ApplyVoicePartPrefixes("a+b+xyz", 2, rt), "b+xyz") << "b+ is already on";
  EXPECT_EQ(rt.HarmonyParts[2][2], 1);
  EXPECT_EQ(ApplyVoicePartPrefixes("q+", 2, rt), "q+");
  EXPECT_EQ(ApplyVoicePartPrefixes("b+", 60, rt), "b+") << "no such voice";
}

TEST_F(NoteEventsTest, VoicePartTextOfASecondVoiceAppliesOrFailsWithCode32) {
  TTestSong song(2);
  Give(song, 1, "c1 / d1 $b+t+ | e1 / f1 $b+a+");
  QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
  ASSERT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(song[1].Runtime->HarmonyParts[1][0], 1);
  EXPECT_EQ(song[1].Runtime->HarmonyParts[1][1], 1);
  AdvanceTrackQueue(song[1], 1920, 1920, kTpm, GErrors, TNoteCommands::All);
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, kErrorVoicePart);
  EXPECT_EQ(e.Text, "b+a+");
  EXPECT_EQ(e.Measure, 2u);
}

TEST_F(NoteEventsTest, TranspositionSignSetsTheTranspositionItGives) {
  TTestSong song(2);
  Give(song, 1, "c4 ^5 d4 e4 ^7 f4");
  QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
  EXPECT_EQ(song[1].Runtime->Transpose, 5);
  AdvanceTrackQueue(song[1], 960, 960, kTpm, GErrors, TNoteCommands::All);
  EXPECT_EQ(song[1].Runtime->Transpose, 7);
  QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
  EXPECT_EQ(song[1].Runtime->Transpose, 5) << "a refill gives the same transposition again";
}

// The queue as (voice, step, remaining) triples.
std::vector<std::tuple<int, int, long double>> Snapshot(TTreck& t) {
  std::vector<std::tuple<int, int, long double>> out;
  for (const TQueueEntry& e : t.Runtime->NoteQueue) {
    out.emplace_back(e.Voice, e.Note ? e.Note->Step : -1, e.Remaining);
  }
  return out;
}

TEST_F(NoteEventsTest, SeekEndsWhereTickByTickAdvanceEnds) {
  const char* kTracks[] = {"c4 d4 e8 f8 g4 | a1 / b2 c2 | d2 . '3/4 / e4 f4 g4 | a2 b4",
                           "c2 c2 | d1 | e4 e4 e4"};
  for (uint32_t target : {0u, 240u, 960u, 1920u, 2400u, 4000u, 5000u, 9000u}) {
    TTestSong seek(3);
    TTestSong step(3);
    for (int i = 0; i < 2; ++i) {
      Give(seek, i + 1, kTracks[i]);
      Give(step, i + 1, kTracks[i]);
    }
    QueueTrackNotes(seek.Head(), GErrors, target, kTpm);
    SeekTracksToPosition(seek.Head(), GErrors, target, kTpm);
    QueueTrackNotes(step.Head(), GErrors, 0, kTpm);
    for (uint32_t tick = 1; tick <= target; ++tick) {
      for (int i = 1; i < 3; ++i) {
        AdvanceTrackQueue(step[i], 1, tick, kTpm, GErrors, TNoteCommands::WithoutBlocks);
      }
    }
    ASSERT_EQ(GErrors.Code(), 0);
    for (int i = 1; i < 3; ++i) {
      EXPECT_EQ(Snapshot(seek[i]), Snapshot(step[i])) << "track " << i << " at " << target;
      if (target <= 5760) {
        EXPECT_EQ(seek[i].Runtime->TrackClock, target);
      }
    }
  }
}

TEST_F(NoteEventsTest, SeekPassesBlocksByAndMarksOnlyNotesBeginningAtTheTarget) {
  TTestSong song(2);
  Give(song, 1, "c4 d4 @drum e4 f4", kDrumBlock);
  QueueTrackNotes(song.Head(), GErrors, 1000, kTpm);
  SeekTracksToPosition(song.Head(), GErrors, 1000, kTpm);
  ASSERT_EQ(GErrors.Code(), 0);
  EXPECT_TRUE(song[1].Runtime->ActiveBlocks.empty());
  auto e = Entries(song[1]);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0]->Note->Step, 3);
  EXPECT_FALSE(e[0]->StartsNow);
  EXPECT_EQ(song[1].Runtime->PriorNotes[0]->Step, 2);

  SeekTracksToPosition(song.Head(), GErrors, 1440, kTpm);
  EXPECT_TRUE(Entries(song[1])[0]->StartsNow);
  EXPECT_EQ(Entries(song[1])[0]->Note->Step, 4);
}

TEST_F(NoteEventsTest, SeekStopsWhenNoTrackHasNotesLeft) {
  TTestSong song(2);
  Give(song, 1, "c4");
  QueueTrackNotes(song.Head(), GErrors, 0, kTpm);
  SeekTracksToPosition(song.Head(), GErrors, 4000000000u, kTpm);
  EXPECT_FALSE(AnyTrackHasNotes(song.Head()));
  EXPECT_TRUE(song[1].Runtime->NoteQueue.empty());
}

TBlockStart Named(const char* name) {
  TBlockStart start;
  start.Name = name;
  return start;
}

TEST_F(NoteEventsTest, BlocksStartAtTheHeadOrTheEndAndTakeTheGivenLines) {
  std::list<TActiveBlock> list;
  GRender.BlockLines = {"x"};
  StartBlock(list, Named("a"));
  StartBlockFirst(list, Named("b"));
  StartBlock(list, Named("c"));
  std::vector<std::string> names;
  for (const TActiveBlock& b : list) {
    names.push_back(b.Name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(list.back().Lines.size(), 0u);
  EXPECT_EQ(std::next(list.begin())->Lines, (std::vector<std::string>{"x"}));
}

TEST_F(NoteEventsTest, BlockWalkDropsEndedBlocksAndTakesItsErrorTextBack) {
  TTestSong song(2);
  TTrackRuntime& rt = RuntimeOf(song[1]);
  StartBlock(rt.ActiveBlocks, Named("once"));
  StartBlock(rt.ActiveBlocks, Named("always"));
  GErrors.Update([](TErrors& e) { e.Text = "before"; });
  rt.ActiveBlocks.front().Args.push_back(nullptr);
  std::vector<std::string> seen;
  std::vector<long double> beginTicks;
  auto run = [&](const TBlockFrame& frame, PProgram) {
    seen.push_back(GErrors.Get().Text);
    beginTicks.push_back(frame.BlockTick);
    return frame.Params->empty();  // "once" has an argument and ends with its first run
  };
  RunActiveBlocks(song[1], 700, run, GErrors);
  EXPECT_EQ(seen, (std::vector<std::string>{"\xC1\xEB\xEE\xEA: once", "\xC1\xEB\xEE\xEA: always"}));
  EXPECT_EQ(GErrors.Get().Text, "before") << "a later error is not blamed on a block";
  ASSERT_EQ(rt.ActiveBlocks.size(), 1u);
  EXPECT_EQ(rt.ActiveBlocks.front().Name, "always");
  RunActiveBlocks(song[1], 701, run, GErrors);
  EXPECT_EQ(beginTicks, (std::vector<long double>{700, 700, 700})) << "the first run's tick stays";

  auto failing = [&](const TBlockFrame&, PProgram) {
    GErrors.Update([](TErrors& e) { e.Code = 25; });
    return true;
  };
  RunActiveBlocks(song[1], 702, failing, GErrors);
  EXPECT_EQ(GErrors.Get().Text, "\xC1\xEB\xEE\xEA: always") << "an error keeps its block";
}

}  // namespace
