// Render speed in export mode: songs prepared, compiled, rendered and written as MIDI
// files. The reference song has 16 music tracks of 300 measures in 4/4 at 120 beats a
// minute (600 seconds of music), each track with a "keys" handler that sets the velocity
// of every key and, when the key is pressed, its length. The counter x_realtime is
// seconds of music per second of work.
//
// BM_ExportSong/handler/tracks/measures/skipping: handler 0 none, 1 the reference "keys",
// 2 "keys" that sets the length at every tick (every key starts again at every tick:
// no tick is quiet), 3 "evry" that changes a controller on every beat; skipping 1 passes
// over quiet ticks, 0 runs every tick (the path real-time play and clock-reading
// handlers take). BM_ExportExample: when-the-saints from the examples.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/song.h"
#include "model/song_file.h"
#include "playback/transport.h"
#include "render/render_thread.h"
#include "settings/program_dir.h"
#include "settings/settings.h"

namespace {

constexpr double kSecondsPerMeasure = 4 * 60.0 / 120.0;
// when-the-saints: 16 measures, at 112 beats a minute and from measure 13 at 92.
constexpr double kSaintsSeconds = 36.15;

// One measure per pattern entry, all quarter and eighth notes in octave 4 or 3.
const char* const kPatterns[] = {"!PSNQ", "!TOwP", "!NQTO", "!deghPS", "LPSNQ", "LTOwP"};

std::vector<std::string> HandlerLines(int handler) {
  switch (handler) {
    case 1:
      return {"keys", "keyon keyname in 70+keynumber", "if keypressed then",
              "keylength keyname in 400", "endif", "endkeys"};
    case 2:
      return {"keys", "keyon keyname in 70+keynumber", "keylength keyname in 400", "endkeys"};
    case 3:
      return {"variable beat", "evry 480 do", "let beat=beat+1",
              "controller 11 in 80+(beat mod 4)*10", "endevry"};
    default:
      return {};
  }
}

std::vector<std::string> SongText(int handler, int tracks, int measures) {
  std::vector<std::string> data = {"", "", "1 1 0 1 1 1 1", "C", "Vd4m", "tempo 120"};
  for (int t = 1; t <= tracks; ++t) {
    std::vector<std::string> program = HandlerLines(handler);
    program.push_back("instrument " + std::to_string(t * 5 % 128));
    data.push_back(std::to_string(measures) + " " + std::to_string(program.size()) + " " +
                   std::to_string((t - 1) % 16 + 1) + " 1 1 1 1");
    data.push_back("T" + std::to_string(t));
    for (int m = 0; m < measures; ++m) {
      data.push_back((m == 0 ? std::string("Vd4") : std::string()) + kPatterns[(m + t) % 6]);
    }
    data.insert(data.end(), program.begin(), program.end());
  }
  return data;
}

// Exports `song` once per iteration (the song is made afresh outside the timing).
template <class MakeSong>
void ExportLoop(benchmark::State& state, MakeSong make, bool skipping, double musicSeconds) {
  SetupProgramDir();
  SignalProgress = false;
  GModeRealPlaying = false;
  GSkipQuietTicks = skipping;
  const std::string out = ProgramDir + "Resources/temp/bench_render.mid";
  for (auto _ : state) {
    state.PauseTiming();
    TVelto song;
    make(song);
    state.ResumeTiming();
    std::string error;
    if (!Transport().Export(song, out, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  GSkipQuietTicks = true;
  state.counters["x_realtime"] = benchmark::Counter(
      musicSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  std::filesystem::remove(out);
}

void BM_ExportSong(benchmark::State& state) {
  const int measures = static_cast<int>(state.range(2));
  const std::vector<std::string> text =
      SongText(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), measures);
  auto make = [&](TVelto& song) {
    song.WindowNumber = 1;
    song.Data = text;
    std::string label;
    song.Convert(label);
    song.CurrentTrack = song.HeadTreck->Next;
  };
  ExportLoop(state, make, state.range(3) != 0, measures * kSecondsPerMeasure);
}
BENCHMARK(BM_ExportSong)
    ->ArgNames({"handler", "tracks", "measures", "skipping"})
    ->Args({1, 16, 300, 1})
    ->Args({1, 16, 300, 0})
    ->Args({0, 16, 300, 1})
    ->Args({0, 16, 300, 0})
    ->Args({2, 16, 300, 1})
    ->Args({3, 16, 300, 1})
    ->Args({3, 16, 300, 0})
    ->Args({1, 64, 300, 1})
    ->Args({1, 16, 3000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ExportExample(benchmark::State& state) {
  const std::filesystem::path path =
      std::filesystem::path(VELTO_SOURCE_DIR) / "examples" / "when-the-saints.qem";
  auto make = [&](TVelto& song) {
    song.WindowNumber = 1;
    LoadSongFile(song, path, "");
    song.CurrentTrack = song.HeadTreck->Next;
  };
  ExportLoop(state, make, state.range(0) != 0, kSaintsSeconds);
}
BENCHMARK(BM_ExportExample)->ArgName("skipping")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
