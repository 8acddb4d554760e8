// Speed of value resolution and of translating a long track.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "notation/braille_translation.h"
#include "notation/value_resolution.h"

namespace {

// 32 eighth cells, each a large or a small value: 2^32 readings to weigh.
void BM_ResolveThirtyTwoEighthCells(benchmark::State& state) {
  std::vector<TValueCell> cells(32, TValueCell{0, 8, 0, 1});
  for (auto _ : state) {
    TValueSearch r = SearchMeasureValues(cells, TRational(1));
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_ResolveThirtyTwoEighthCells)->Unit(benchmark::kMicrosecond);

// Two groups of a quarter and four sixteenths written the grouped way (a sixteenth cell
// and three eighth cells) in 4/4: a measure that resolves one way only.
void BM_ResolveGroupedSixteenths(benchmark::State& state) {
  std::vector<TValueCell> cells;
  for (int group = 0; group < 2; ++group) {
    cells.push_back({0, 4, 0, 1});
    cells.push_back({0, 1, 0, 1});
    for (int i = 0; i < 3; ++i) {
      cells.push_back({0, 8, 0, 1});
    }
  }
  for (auto _ : state) {
    TValueSearch r = SearchMeasureValues(cells, TRational(1));
    if (r.Code != 0) {
      state.SkipWithError("no single reading");
      break;
    }
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_ResolveGroupedSixteenths)->Unit(benchmark::kMicrosecond);

// A track of 1000 measures of four voices.
std::vector<std::string> LongTrack() {
  std::vector<std::string> lines;
  const std::string voices[] = {"PSNQ", "TOwP", "yAc", "defghijd"};
  for (int m = 0; m < 1000; ++m) {
    std::string line = m == 0 ? "Vd4!" : "";
    line += voices[0] + "()" + (m == 0 ? "!" : "") + voices[1] + "()" + (m == 0 ? "L" : "") + voices[2] + "()" +
            (m == 0 ? "K" : "") + voices[3];
    lines.push_back(line);
  }
  return lines;
}

void TranslateLongTrack(benchmark::State& state, bool withCache) {
  const std::vector<std::string> lines = LongTrack();
  TErrorRecord errors;
  for (auto _ : state) {
    TMeasureCache cache;
    TTranslateOptions options;
    options.Cache = withCache ? &cache : nullptr;
    auto list = TranslateBrailleText(lines, 1, errors, options);
    if (!list) {
      state.SkipWithError("translation failed");
    }
    benchmark::DoNotOptimize(list);
  }
}

void BM_TranslateThousandMeasuresFourVoices(benchmark::State& state) {
  TranslateLongTrack(state, true);
}
BENCHMARK(BM_TranslateThousandMeasuresFourVoices)->Unit(benchmark::kMillisecond);

void BM_TranslateThousandMeasuresFourVoicesNoCache(benchmark::State& state) {
  TranslateLongTrack(state, false);
}
BENCHMARK(BM_TranslateThousandMeasuresFourVoicesNoCache)->Unit(benchmark::kMillisecond);

}  // namespace
