// The player on the steady clock, sending to a recorder: how late each send is, how
// soon a stop silences and ends the thread, and what waiting costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/midi_devices/midi_recorder.h"
#include "midi/midi_event_writer.h"
#include "playback/midi_ports.h"
#include "playback/player.h"
#include "render/track_runtime.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t kTpm = 1920;

// A control track and one music track, linked; both lists opened with a name.
struct TBenchSong {
  TTreck control;
  TTreck music;
  TBenchSong() {
    control.Next = &music;
    music.Prev = &control;
    music.Channel = 1;
    WriteTrackName("control", RuntimeOf(control), 0, kTpm);
    WriteTrackName("music", RuntimeOf(music), 0, kTpm);
  }
  void Finish(uint32_t tick) {
    for (TTreck* track : {&control, &music}) {
      WriteEndOfTrack(RuntimeOf(*track), tick, kTpm);
      RuntimeOf(*track).Events.MarkComplete();
    }
  }
};

// The recorder on the steady clock as port 0.
std::shared_ptr<TMidiRecorderBackend> OpenRecorder() {
  auto recorder = std::make_shared<TMidiRecorderBackend>(
      SteadyClock(), std::vector<TRecorderPortOptions>{{"bench"}});
  SetPlaybackClock(nullptr);
  SetMidiBackends({recorder});
  GMidiOutDeviceList.clear();
  GLastMidiOut = 0;
  OpenMidiOuts(0);
  return recorder;
}

void CloseRecorder() {
  CloseMidiOut(0);
  SetMidiBackends({});
  GMidiOutDeviceList.clear();
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const auto i = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
  return values[i];
}

// 10,000 note events one tick apart at 240 quarters a minute (about 0.52 ms apart).
void BM_SendLateness(benchmark::State& state) {
  constexpr int kEvents = 10000;
  constexpr double kMsPerTick = 250.0 / 480.0;
  TBenchSong song;
  WriteTempo(RuntimeOf(song.control), 0, kTpm, 240);
  for (uint32_t tick = 0; tick < kEvents; tick += 2) {
    WriteNoteOn(60 + static_cast<int>(tick / 2 % 24), 81, 1, RuntimeOf(song.music), tick, kTpm);
    WriteNoteOff(60 + static_cast<int>(tick / 2 % 24), 81, 1, RuntimeOf(song.music), tick + 1, kTpm);
  }
  song.Finish(kEvents);
  auto recorder = OpenRecorder();
  GPriorityPlaying = 2;  // "highest", the playing priority the settings start with
  std::vector<double> lateness_us;
  for (auto _ : state) {
    recorder->Recording(0)->Clear();
    recorder->Recording(0)->Reserve(kEvents + 1000);
    PreparePlayback(&song.control, 2, kTpm);
    GPlayerThread.Start(&song.control);
    GPlayerThread.Join();
    int tick = 0;
    for (const auto& m : recorder->Recording(0)->ShortMessages()) {
      const int kind = m.Bytes[0] & 0xF0;
      if (kind == 0x80 || kind == 0x90) {
        lateness_us.push_back((m.TimeMs - (GPlayer.StartTime + tick * kMsPerTick)) * 1000.0);
        ++tick;
      }
    }
  }
  CloseRecorder();
  state.counters["events"] = static_cast<double>(lateness_us.size());
  state.counters["late_p50_us"] = Percentile(lateness_us, 0.50);
  state.counters["late_p99_us"] = Percentile(lateness_us, 0.99);
  state.counters["late_max_us"] = Percentile(lateness_us, 1.0);
}
BENCHMARK(BM_SendLateness)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A stop that comes while the player waits: time until the channels are silenced and
// until the thread has ended (which includes the 50 ms before the device reset).
void BM_StopLatency(benchmark::State& state) {
  TBenchSong song;
  for (uint32_t k = 0; k < 100; ++k) {  // a note every 100 ms
    WriteNoteOn(60, 81, 1, RuntimeOf(song.music), k * 96, kTpm);
    WriteNoteOff(60, 81, 1, RuntimeOf(song.music), k * 96 + 48, kTpm);
  }
  song.Finish(100 * 96);
  auto recorder = OpenRecorder();
  std::vector<double> silence_ms;
  std::vector<double> join_ms;
  for (auto _ : state) {
    recorder->Recording(0)->Clear();
    PreparePlayback(&song.control, 2, kTpm);
    GPlayerThread.Start(&song.control);
    std::this_thread::sleep_for(std::chrono::milliseconds(130));
    const double requested = SteadyClock().NowMs();
    GPlayerThread.StopAndJoin();
    join_ms.push_back(SteadyClock().NowMs() - requested);
    for (const auto& m : recorder->Recording(0)->ShortMessages()) {
      if (m.TimeMs >= requested && m.Bytes.size() == 3 && m.Bytes[1] == 120) {
        silence_ms.push_back(m.TimeMs - requested);
        break;
      }
    }
  }
  CloseRecorder();
  state.counters["silence_p50_ms"] = Percentile(silence_ms, 0.5);
  state.counters["silence_max_ms"] = Percentile(silence_ms, 1.0);
  state.counters["join_max_ms"] = Percentile(join_ms, 1.0);
}
BENCHMARK(BM_StopLatency)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU the process spends while the player waits 2 s for its next event.
void BM_CpuWhileWaiting(benchmark::State& state) {
  TBenchSong song;
  WriteNoteOn(60, 81, 1, RuntimeOf(song.music), 0, kTpm);
  WriteNoteOff(60, 81, 1, RuntimeOf(song.music), 480 * 120, kTpm);  // a minute later
  song.Finish(480 * 120);
  OpenRecorder();
  double cpu_ms = 0;
  double wall_ms = 0;
  for (auto _ : state) {
    PreparePlayback(&song.control, 2, kTpm);
    GPlayerThread.Start(&song.control);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double cpu_start = ProcessCpuMs();
    const double wall_start = SteadyClock().NowMs();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    cpu_ms += ProcessCpuMs() - cpu_start;
    wall_ms += SteadyClock().NowMs() - wall_start;
    GPlayerThread.StopAndJoin();
  }
  CloseRecorder();
  state.counters["cpu_percent"] = 100.0 * cpu_ms / wall_ms;
  state.counters["cpu_ms_per_s"] = 1000.0 * cpu_ms / wall_ms;
}
BENCHMARK(BM_CpuWhileWaiting)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
