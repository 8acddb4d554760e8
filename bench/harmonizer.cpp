// Time per harmonized chord of a 64-chord progression, and the time the search takes to
// give up on an impossible one.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "harmony/harmonizer.h"
#include "settings/program_dir.h"
#include "settings/settings.h"

namespace {

THarmonyRules InstalledRules() {
  ProgramDir = ChooseProgramDir();
  THarmonyRules rules;
  if (!LoadHarmonyRules(HarmonyRulesPath(), rules)) {
    throw std::runtime_error("no harmony rules at " + HarmonyRulesPath());
  }
  return rules;
}

THarmonyNote Quarter(const std::string& text, int32_t step, int32_t octave) {
  THarmonyNote n;
  n.Written = {step, octave, TKeySign::No};
  n.WholeNotes = 0.25L;
  n.Text = text;
  return n;
}

// Eight times T S D T VI S D T in C major, the melody in the soprano.
std::vector<THarmonyNote> Progression() {
  struct Chord {
    const char* text;
    int32_t step;
    int32_t octave;
  };
  static const Chord kLoop[8] = {{"t53", 3, 6}, {"s53", 1, 6}, {"d53", 7, 5}, {"t53", 1, 6},
                                 {"vi53", 3, 6}, {"s53", 4, 6}, {"d53", 2, 6}, {"t53", 3, 6}};
  std::vector<THarmonyNote> notes;
  for (int i = 0; i < 64; ++i) {
    const Chord& c = kLoop[i % 8];
    notes.push_back(Quarter(i == 0 ? std::string("maj ") + c.text : c.text, c.step, c.octave));
  }
  return notes;
}

void BM_Harmonize64Chords(benchmark::State& state) {
  const THarmonyRules rules = InstalledRules();
  const std::vector<THarmonyNote> notes = Progression();
  uint32_t tries = 0;
  for (auto _ : state) {
    THarmonyResult result = HarmonizeSequence(notes, rules, 1920);
    if (!result.Ok) {
      state.SkipWithError("the progression was not harmonized");
      break;
    }
    tries = result.Tries;
    benchmark::DoNotOptimize(result);
  }
  state.counters["tries"] = tries;
  state.counters["per_chord"] = benchmark::Counter(
      static_cast<double>(notes.size()), benchmark::Counter::kIsIterationInvariantRate |
                                             benchmark::Counter::kInvert);
}
BENCHMARK(BM_Harmonize64Chords)->Unit(benchmark::kMicrosecond);

// 59 free chords and a last one that cannot be placed: the whole budget is spent.
void BM_GiveUpOnAnImpossibleProgression(benchmark::State& state) {
  const THarmonyRules rules = InstalledRules();
  const char* const cycle[3] = {"t53", "s53", "d53"};
  std::vector<THarmonyNote> notes = {Quarter("maj t53", 0, 0)};
  for (int i = 1; i < 59; ++i) {
    notes.push_back(Quarter(cycle[i % 3], 0, 0));
  }
  notes.push_back(Quarter("t53", 2, 5));
  for (auto _ : state) {
    THarmonyResult result = HarmonizeSequence(notes, rules, 1920);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_GiveUpOnAnImpossibleProgression)->Unit(benchmark::kMillisecond);

}  // namespace
