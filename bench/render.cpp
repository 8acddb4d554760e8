// Render speed in export mode: a song of 16 music tracks and 300 measures in 4/4 at 120
// beats a minute (600 seconds of music), each track with a handler whose "keys" body sets
// the velocity and length of every key, prepared, compiled, rendered and written as a MIDI
// file (argument 1; argument 0: the same song without the "keys" handlers). The counter
// x_realtime is seconds of music per second of work.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/song.h"
#include "platform/codec1251.h"
#include "playback/transport.h"
#include "settings/program_dir.h"
#include "settings/settings.h"

namespace {

constexpr int kTracks = 16;
constexpr int kMeasures = 300;
constexpr double kMusicSeconds = kMeasures * 4 * 60.0 / 120.0;

// One measure per pattern entry, all quarter and eighth notes in octave 4 or 3.
const char* const kPatterns[] = {"!PSNQ", "!TOwP", "!NQTO", "!deghPS", "LPSNQ", "LTOwP"};

// withKeys: the reference song; without, the same notes with only an instrument line.
std::vector<std::string> SongText(bool withKeys) {
  std::vector<std::string> data = {"", "", "1 1 0 1 1 1 1", "C", "Vd4m", "tempo 120"};
  for (int t = 1; t <= kTracks; ++t) {
    std::vector<std::string> program = {"instrument " + std::to_string(t * 5)};
    if (withKeys) {
      program.insert(program.begin(), {"keys", "keyon keyname in 70+keynumber",
                                       "keylength keyname in 400", "endkeys"});
    }
    data.push_back(std::to_string(kMeasures) + " " + std::to_string(program.size()) + " " +
                   std::to_string(t) + " 1 1 1 1");
    data.push_back("T" + std::to_string(t));
    for (int m = 0; m < kMeasures; ++m) {
      data.push_back((m == 0 ? std::string("Vd4") : std::string()) + kPatterns[(m + t) % 6]);
    }
    data.insert(data.end(), program.begin(), program.end());
  }
  return data;
}

void BM_ExportSong(benchmark::State& state) {
  SetupProgramDir();
  SignalProgress = false;
  GModeRealPlaying = false;
  const std::string out = ProgramDir + "Resources/temp/bench_render.mid";
  const std::vector<std::string> text = SongText(state.range(0) != 0);
  for (auto _ : state) {
    state.PauseTiming();
    TVelto song;
    song.WindowNumber = 1;
    song.Data = text;
    std::string label;
    song.Convert(label);
    song.CurrentTrack = song.HeadTreck->Next;
    state.ResumeTiming();
    std::string error;
    if (!Transport().Export(song, out, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.counters["x_realtime"] = benchmark::Counter(
      kMusicSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  std::filesystem::remove(out);
}
BENCHMARK(BM_ExportSong)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
