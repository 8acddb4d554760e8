// Ticks per second of the handler executor: a track whose handler is a keys body with
// conditions over three sounding voices (one a chord), alone and as 16 such tracks.
#include <benchmark/benchmark.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"
#include "handler/handler_normalizer.h"
#include "notation/note_record.h"
#include "handler/handler_compiler.h"
#include "render/handler_executor.h"
#include "handler/handler_names.h"
#include "render/render_globals.h"
#include "render/track_runtime.h"

namespace {

const std::vector<std::string> kHandler = {
    "Variable Accent",
    "Keys",
    "  If KeyPressed Then",
    "    If KeyNumber == 1 Then",
    "      KeyOn KeyName In 100",
    "    Else If KeyName > 64 Then",
    "      KeyOn KeyName In 90 - KeyNumber * 5",
    "    Else",
    "      KeyOn KeyName In 80",
    "    EndIf",
    "  EndIf",
    "  If KeyPosition > KeyLength / 2 And ShtrihFactor < 1 Then",
    "    KeyOff KeyName In 40",
    "  EndIf",
    "EndKeys",
    "Evry 480 Do",
    "  Let Accent = Accent + 1",
    "EndEvry",
};

// A song of a control track and `count` music tracks, each with the handler compiled
// and three voices queued.
class TSong {
 public:
  explicit TSong(int count) : tracks_(static_cast<size_t>(count) + 1) {
    GErrors.Reset();
    GHandlerCompile.ScopePath.clear();
    GHandlerCompile.Strings.clear();
    ResetRenderContext();
    const std::vector<std::string> lines = NormalizeProgramLines(kHandler);
    for (size_t i = 0; i < tracks_.size(); ++i) {
      tracks_[i].Channel = static_cast<uint8_t>(i);
      if (i > 0) {
        tracks_[i].Prev = &tracks_[i - 1];
        tracks_[i - 1].Next = &tracks_[i];
        Prepare(tracks_[i], lines);
      }
    }
  }

  // Runs every music track's handler at one tick; the notes move on by one tick.
  void Tick(uint32_t position) {
    for (size_t i = 1; i < tracks_.size(); ++i) {
      TTrackRuntime& rt = RuntimeOf(tracks_[i]);
      THandlerTick tick(GRender, tracks_[i], 1920, 0, position, GErrors);
      RunHandlerStatements(rt.Program.ProgramTree, tick);
      for (TQueueEntry& e : rt.NoteQueue) {
        e.StartsNow = e.Remaining == e.Length;
        e.Remaining = e.Remaining <= 1 ? e.Length : e.Remaining - 1;
      }
    }
  }

 private:
  void Prepare(TTreck& track, const std::vector<std::string>& lines) {
    TTrackRuntime& rt = RuntimeOf(track);
    THandlerCompileInput input;
    input.Program = &rt.Program;
    GHandlerCompile.ScopePath.clear();
    DefineConstant(rt.Program.Constants, "true", 127);  // "else" is "else if true"
    CompileHandlerProgram(input, 1, lines, rt.Program.ProgramTree, "get");
    const int32_t steps[] = {1, 3, 5};
    for (uint8_t v = 0; v < 3; ++v) {
      TNoteRec* n = notes_.NewNote();
      n->Step = steps[v];
      n->Octave = 5;
      n->Value = 4;
      n->ValueKind = 1;
      if (v == 1) {
        AddInterval(n->Intervals, 5, 5, TKeySign::No, 0, false);
      }
      rt.NoteQueue.push_back(TQueueEntry{n, v, 480.0L - v * 100, 480, 0, false});
    }
  }

  std::deque<TTreck> tracks_;
  TNoteList notes_;
};

void RunTicks(benchmark::State& state, int trackCount) {
  TSong song(trackCount);
  uint32_t position = 0;
  for (auto _ : state) {
    song.Tick(position++);
  }
  if (GErrors.Code() != 0) {
    const TErrors e = GErrors.Get();
    state.SkipWithError(("the handler failed: " + std::to_string(e.Code) + " " + e.Text + " line " +
                         std::to_string(e.ModuleLine)).c_str());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["ticks/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

void BM_KeysHandlerOneTrack(benchmark::State& state) { RunTicks(state, 1); }
void BM_KeysHandler16Tracks(benchmark::State& state) { RunTicks(state, 16); }

BENCHMARK(BM_KeysHandlerOneTrack);
BENCHMARK(BM_KeysHandler16Tracks);

}  // namespace
