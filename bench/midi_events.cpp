// Speed of the MIDI path: appending rendered events, writing and reading a file.
#include <benchmark/benchmark.h>

#include <deque>
#include <sstream>
#include <string>

#include "midi/midi_event_writer.h"
#include "midi/midi_file_reader.h"
#include "render/song_midi_file.h"
#include "render/track_runtime.h"

namespace {

constexpr uint32_t kTpm = 1920;

// Four voices of eighth notes with a controller each beat, as a handler program writes them.
void Render(TTrackRuntime& rt, int measures) {
  for (uint32_t tick = 0; tick < static_cast<uint32_t>(measures) * kTpm; tick += 240) {
    for (int voice = 0; voice < 4; ++voice) {
      WriteNoteOn(48 + voice * 7, 81, 1, rt, tick, kTpm);
    }
    if (tick % 480 == 0) {
      WriteController(11, static_cast<int>(tick / 480 % 128), 1, rt, tick, kTpm);
    }
    for (int voice = 0; voice < 4; ++voice) {
      WriteNoteOff(48 + voice * 7, 81, 1, rt, tick + 200, kTpm);
    }
  }
  WriteEndOfTrack(rt, static_cast<uint32_t>(measures) * kTpm, kTpm);
}

void BM_RenderEvents(benchmark::State& state) {
  for (auto _ : state) {
    TTrackRuntime rt;
    rt.PositionRnd = static_cast<int32_t>(state.range(1));
    Render(rt, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(rt.Events.Published());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 8 * 9);
}
BENCHMARK(BM_RenderEvents)->Args({100, 0})->Args({100, 120});

std::string SongFile(int tracks, int measures) {
  std::deque<TTreck> song(static_cast<size_t>(tracks));
  for (size_t i = 0; i < song.size(); ++i) {
    song[i].Next = i + 1 < song.size() ? &song[i + 1] : nullptr;
    Render(RuntimeOf(song[i]), measures);
  }
  std::ostringstream out;
  std::string error;
  WriteSongMidiFile(out, &song.front(), kTpm, error);
  return out.str();
}

void BM_WriteFile(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(SongFile(16, static_cast<int>(state.range(0))).size());
  }
}
BENCHMARK(BM_WriteFile)->Arg(100);

void BM_ReadFile(benchmark::State& state) {
  const std::string bytes = SongFile(16, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TMidiFile file;
    std::string error;
    ReadMidiFile({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, file, error);
    benchmark::DoNotOptimize(file.DurationSeconds);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadFile)->Arg(100);

}  // namespace
