// The block library that comes with the installation and the sample module.
#include <gtest/gtest.h>

#include <filesystem>

#include "notation/braille_translation.h"
#include "handler/handler_normalizer.h"
#include "platform/text_lines.h"
#include "render/handler_executor.h"
#include "handler/handler_expression.h"
#include "handler/handler_names.h"
#include "midi/midi_event_parser.h"
#include "midi/midi_event_writer.h"
#include "render/module_assembly.h"
#include "render/note_events.h"
#include "render/render_state.h"
#include "tests/support/midi_test_support.h"
#include "tests/support/render_test_support.h"

namespace {

namespace fs = std::filesystem;
constexpr int kTpm = 1920;

class BlockLibraryTest : public RenderGlobalsTest {
 protected:
  // Compiles `lines` into `program` with the predefined constants.
  static void CompileInto(THandlerProgram& program, const std::vector<std::string>& lines) {
    DefineConstant(program.Constants, "true", 127);
    DefineConstant(program.Constants, "tact", 1920);
    THandlerCompileInput input;
    input.Program = &program;
    CompileHandlerProgram(input, 1, lines, program.ProgramTree, "get");
  }
};

// The text between the double quotes of a parameter line.
std::string QuotedPart(const std::string& line) {
  const size_t open = line.find('"');
  const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
  return close == std::string::npos ? std::string() : line.substr(open + 1, close - open - 1);
}

TEST_F(BlockLibraryTest, EveryCommandWordIsADescribedBlockThatCompiles) {
  const std::vector<std::string> library = LoadBlockLibrary().value_or(std::vector<std::string>());
  ASSERT_FALSE(library.empty());
  THandlerProgram program;
  CompileInto(program, library);
  const TErrors e = GErrors.Get();
  ASSERT_EQ(e.Code, 0) << e.Text << " at line " << e.ModuleLine;
  EXPECT_EQ(program.ProgramTree, nullptr) << "the library declares, it runs nothing by itself";
  EXPECT_EQ(program.Blocks.size(), CommandWords.size());
  for (std::string_view word : CommandWords) {
    PBlock block = FindBlockByName(word, program.Blocks);
    ASSERT_NE(block, nullptr) << word;
    EXPECT_FALSE(block->IsFunction) << word;
    EXPECT_NE(block->Tree, nullptr) << word;
    ASSERT_FALSE(block->Params.empty()) << word;
    EXPECT_GT(block->Params[0].size(), 10u) << word << " has a description";
    for (size_t i = 1; i < block->Params.size(); ++i) {
      const std::string value = QuotedPart(block->Params[i]);
      EXPECT_FALSE(value.empty()) << word << " parameter " << i << " has a default";
      // The default, written into a block call, must compile like any argument.
      TErrorRecord errors;
      uint8_t usesVariables = 0;
      EXPECT_NE(ParseExpression(NormalizeHandlerLine(value), usesVariables, program, errors),
                nullptr)
          << word << " default " << value;
    }
  }
}

TEST_F(BlockLibraryTest, TheLibraryCanAlsoBeAttachedAsModuleQem) {
  THandlerProgram program;
  CompileInto(program, {"module qem"});
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  PBlock block = FindBlockByName("gliss", program.Blocks);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->Module, "qem");
}

TEST_F(BlockLibraryTest, SampleModulesCompileAndHaveTheirDescriptions) {
  struct TModule {
    const char* Name;
    std::vector<std::pair<const char*, size_t>> Blocks;  // name, parameter lines
  };
  const std::vector<TModule> modules = {
      {"dynamics", {{"crescendo", 3}, {"diminuendo", 3}}},
      {"swing", {{"swing", 2}}},
      {"humanize", {{"human", 3}, {"accent", 3}}},
  };
  for (const TModule& module : modules) {
    GErrors.Reset();
    THandlerProgram program;
    CompileInto(program, {std::string("module ") + module.Name});
    ASSERT_EQ(GErrors.Code(), 0) << module.Name << ": " << GErrors.Get().Text << " line " << GErrors.Get().ModuleLine;
    for (const auto& [name, params] : module.Blocks) {
      PBlock block = FindBlockByName(name, program.Blocks);
      ASSERT_NE(block, nullptr) << name;
      EXPECT_EQ(block->Module, module.Name);
      EXPECT_EQ(block->Params.size(), params) << name;
    }
    const auto text = ReadTextLines(fs::path(ProgramDir) / "Modules" / (std::string(module.Name) + ".Txt"));
    ASSERT_TRUE(text.has_value()) << module.Name;
    EXPECT_GT(text->size(), 5u);
  }
}

// One written event with its tick.
struct TWritten {
  uint32_t Tick;
  uint8_t Status;
  uint8_t Data1;
  uint8_t Data2;
  uint32_t Tempo;  // microseconds per quarter of a tempo event
  bool operator==(const TWritten&) const = default;
};

// The events of a list that begins with an event at tick 0.
std::vector<TWritten> WrittenEvents(const TTrackRuntime& rt) {
  std::vector<TWritten> out;
  const miditest::Bytes bytes = miditest::AllBytes(rt);
  const size_t end = bytes.size();
  size_t pos = 0;
  uint32_t tick = 0;
  uint8_t running = 0;
  while (pos < end) {
    TMidiEvent ev;
    std::string why;
    if (ParseMidiEvent(bytes, pos, end, pos != 0, running, ev, &why) != TMidiParse::Event) {
      ADD_FAILURE() << why;
      break;
    }
    tick += ev.Delta;
    uint32_t tempo = 0;
    if (ev.IsMeta() && ev.MetaType == 0x51) {
      for (uint32_t i = 0; i < 3; ++i) {
        tempo = tempo << 8 | bytes[ev.PayloadOffset + i];
      }
    }
    out.push_back(TWritten{tick, ev.Status, ev.Data1, ev.Data2, tempo});
    pos = ev.Next;
  }
  return out;
}

// Renders a two-track song tick by tick the way the render thread does: notes move on
// and start their blocks, the handlers and blocks run, and changed performance state is
// written as events. Records the track's state at every tick.
class TBlockRun {
 public:
  TBlockRun(TTestSong& song, uint32_t ticks) : song_(song), ticks_(ticks) {}

  void Run() {
    TTreck& control = song_[0];
    TTreck& track = song_[1];
    WriteTrackName("c", RuntimeOf(control), 0, kTpm);
    WriteTrackName("t", RuntimeOf(track), 0, kTpm);
    QueueTrackNotes(song_.Head(), GErrors, 0, kTpm);
    for (uint32_t p = 0; p < ticks_ && GErrors.Code() == 0; ++p) {
      if (p > 0) {
        AdvanceTrackQueue(track, 1, p, kTpm, GErrors, TNoteCommands::All);
      }
      THandlerTick tick(GRender, track, kTpm, GSongLength, p, GErrors);
      RunHandlerStatements(RuntimeOf(track).Program.ProgramTree, tick);
      RunActiveBlocks(
          track, p,
          [&](const TBlockFrame& f, PProgram program) { return RunHandlerBlock(f, program, tick); },
          GErrors);
      WriteChanges(control, track, p);
      States.push_back(*track.Runtime);
    }
  }

  struct TState {
    bool Playing;
    int32_t PositionShift;
    int32_t PositionRnd;
    TState(const TTrackRuntime& rt)  // NOLINT: recorded from the runtime
        : Playing(rt.MidiPlayerCount > 0 && rt.MidiPlayers[0].Playing),
          PositionShift(rt.PositionShift),
          PositionRnd(rt.PositionRnd) {}
  };
  std::vector<TState> States;

 private:
  void WriteChanges(TTreck& control, TTreck& track, uint32_t p) {
    TTrackRuntime& rt = RuntimeOf(track);
    if (RoundHalfEven(control.Tempo) != RoundHalfEven(GRender.LastTempo)) {
      GRender.LastTempo = control.Tempo;
      WriteTempo(RuntimeOf(control), p, kTpm, control.Tempo);
    }
    if (TruncToInt64(rt.PitchValue) != TruncToInt64(rt.LastPitchValue)) {
      rt.LastPitchValue = rt.PitchValue;
      WritePitchBend(track.Channel, rt, p, kTpm, TruncToInt64(rt.PitchValue));
    }
    if (rt.Instrument != rt.LastInstrument) {
      rt.LastInstrument = rt.Instrument;
      WriteProgramChange(rt.Instrument, track.Channel, rt, p, kTpm);
    }
    for (int c = 0; c < 128; ++c) {
      if (TruncToInt64(rt.ControllerValues[c]) != TruncToInt64(rt.ControllersSent[c])) {
        rt.ControllersSent[c] = rt.ControllerValues[c];
        WriteController(c, static_cast<int>(TruncToInt64(rt.ControllerValues[c])), track.Channel,
                        rt, p, kTpm);
      }
    }
  }

  TTestSong& song_;
  uint32_t ticks_;
};

TEST_F(BlockLibraryTest, EveryBlockShowsItsEffectWhenASongRunsTickByTick) {
  TTestSong song(2);
  song[1].Channel = 1;
  PTreck first = nullptr;
  PrepareTracksForPlay(song.Head(), first, RenderRun().TrackCount);
  song[1].NoteList = TNoteBuilder::Build(
      "c4 @tempo:90 d4 @instrument:40 e4 @volume:70 f4 @pan:10 |"
      " g4 @vibrato:30 a2 @gliss:100;240 b4 @glissstop |"
      " c4 @play:tune;0 d4 @stop:tune;0 e4 @continue:tune;0 f4 @sinkop:120 |"
      " g4 @sinkopstop a4 @rton:20 b4 @rtoff c4");
  const std::string midiFile = std::string(VELTO_SOURCE_DIR) + "/tests/data/midi/format1.mid";
  song[0].HandlerLines = NormalizeProgramLines({"midi tune='" + midiFile + "'"});
  RuntimeOf(song[1]).UsesBlockLibrary = true;
  TCompileSong input;
  input.ControlTrack = song.Head();
  ASSERT_TRUE(CompileTrackModules(input)) << GErrors.Get().Text << " " << GErrors.Get().ModuleLine;
  ASSERT_EQ(GSongLength, 7680u);

  TBlockRun run(song, 7680);
  run.Run();
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;

  // The control track: its name, then one tempo event of 90 beats per minute.
  const std::vector<TWritten> control = WrittenEvents(*song[0].Runtime);
  ASSERT_EQ(control.size(), 2u);
  EXPECT_EQ(control[1], (TWritten{0, 0xFF, 0, 0, 60000000 / 90}));

  std::vector<TWritten> channel;  // the track's channel events before "rton"
  for (const TWritten& w : WrittenEvents(*song[1].Runtime)) {
    if (w.Status < 0xF0 && w.Tick < 6240) {
      channel.push_back(w);
    }
  }
  const std::vector<TWritten> expectedStart = {
      {0, 0xE0, 0, 64, 0},   // the centre pitch
      {0, 0xB0, 7, 112, 0},  // volume, pan and expression at their defaults
      {0, 0xB0, 10, 64, 0},    {0, 0xB0, 11, 112, 0}, {480, 0xC0, 40, 0, 0},  // instrument:40
      {960, 0xB0, 7, 70, 0},                                                  // volume:70
      {1440, 0xB0, 10, 10, 0},                                                // pan:10
      {1920, 0xB0, 1, 30, 0},                                                 // vibrato:30
  };
  ASSERT_GT(channel.size(), expectedStart.size());
  EXPECT_EQ(std::vector<TWritten>(channel.begin(), channel.begin() + expectedStart.size()),
            expectedStart);

  // gliss:100;240 bends from the centre up to 100 over 240 ticks and stays there;
  // glissstop brings the centre back.
  std::vector<TWritten> bends(channel.begin() + expectedStart.size(), channel.end());
  ASSERT_EQ(bends.size(), 37u);
  for (size_t i = 0; i < 36; ++i) {
    EXPECT_EQ(bends[i].Status, 0xE0);
    EXPECT_EQ(bends[i].Data2, 65 + i) << i;
    EXPECT_GE(bends[i].Tick, 2400u);
    EXPECT_LE(bends[i].Tick, 2640u);
  }
  EXPECT_EQ(bends[35].Tick, 2640u);
  EXPECT_EQ(bends[36], (TWritten{3360, 0xE0, 0, 64, 0}));

  // play, stop and continue drive the player of the file's track; sinkop shifts the
  // notes and sinkopstop puts them back; rton and rtoff switch the timing spread.
  const auto& s = run.States;
  EXPECT_FALSE(s[3839].Playing);
  EXPECT_TRUE(s[3840].Playing);
  EXPECT_FALSE(s[4320].Playing);
  EXPECT_TRUE(s[4800].Playing);
  EXPECT_EQ(s[5279].PositionShift, 0);
  EXPECT_EQ(s[5280].PositionShift, 120);
  EXPECT_EQ(s[5760].PositionShift, 0);
  EXPECT_EQ(s[6239].PositionRnd, 0);
  EXPECT_EQ(s[6240].PositionRnd, 20);
  EXPECT_EQ(s[6720].PositionRnd, 0);
  EXPECT_TRUE(song[1].Runtime->ActiveBlocks.empty()) << "every block ends";
}

}  // namespace
