// Compiling a block library of 5,000 lines, as module assembly does for every track
// that uses it, and one line of a long flat sum.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "handler/handler_normalizer.h"
#include "handler/handler_compiler.h"
#include "handler/handler_names.h"
#include "handler/handler_program.h"

namespace {

// One block of 25 lines: parameters, local names, a segment with compound
// statements, key handling and note effects.
void AppendBlock(std::vector<std::string>& lines, int n) {
  const std::string id = std::to_string(n);
  lines.insert(lines.end(), {
      "Block Pattern" + id,
      "%0 velocity",
      "%1 length",
      "Variable Step" + id + " = 0",
      "Array Accent" + id + " = 64",
      "Constant Beat" + id + " = 480",
      "0..Tact-1 {every tick of the first measure}",
      "  If (Step" + id + " Mod 2) == 0 Then",
      "    Let Accent" + id + "[Step" + id + "] = Parameter 1 + 10",
      "  Else If Step" + id + " > 3 Then",
      "    Let Step" + id + " = Step" + id + " - 1",
      "  Else",
      "    Let Step" + id + " = Step" + id + " + 1",
      "  EndIf",
      "  For Step" + id + " = 1 To 3 Do",
      "    Controller 7 In 100 + Step" + id,
      "  EndFor",
      "Evry Beat" + id + " Do",
      "  Pitch 64 + Sin(PositionSong / 100) * 8",
      "EndEvry",
      "Keys 1..2",
      "  KeyOn KeyName In Accent" + id + "[KeyNumber]",
      "EndKeys",
      "Nonlegato 0,9",
      "EndBlock",
  });
}

std::vector<std::string> BlockLibrary(size_t lineCount) {
  std::vector<std::string> lines = {"Constant Tact = 1920", "Constant True = 127"};
  for (int n = 0; lines.size() < lineCount; ++n) {
    AppendBlock(lines, n);
  }
  return lines;
}

void ResetGlobals() {
  GErrors.Reset();
  ResetHandlerCompileContext();
}

void Compile(benchmark::State& state, const std::vector<std::string>& source, bool normalise) {
  const std::vector<std::string> normalised = NormalizeProgramLines(source);
  for (auto _ : state) {
    ResetGlobals();
    THandlerProgram program;
    THandlerCompileInput input;
    input.Program = &program;
    if (normalise) {
      const std::vector<std::string> lines = NormalizeProgramLines(source);
      CompileHandlerProgram(input, 1, lines, program.ProgramTree, "get");
    } else {
      CompileHandlerProgram(input, 1, normalised, program.ProgramTree, "get");
    }
    if (GErrors.Code() != 0) {
      state.SkipWithError(("compile error " + std::to_string(GErrors.Code()) + " " +
                           GErrors.Get().Text + " line " +
                           std::to_string(GErrors.Get().ModuleLine))
                              .c_str());
      break;
    }
    benchmark::DoNotOptimize(program.Blocks.size());
  }
  state.counters["lines"] = static_cast<double>(source.size());
}

void BM_CompileBlockLibrary(benchmark::State& state) { Compile(state, BlockLibrary(5000), false); }
void BM_NormalizeAndCompileBlockLibrary(benchmark::State& state) {
  Compile(state, BlockLibrary(5000), true);
}

// "let x=1+1+...+1" with state.range(0) terms.
void BM_NormalizeAndCompileLongSum(benchmark::State& state) {
  std::string sum = "let x=1";
  for (int64_t i = 1; i < state.range(0); ++i) {
    sum += "+1";
  }
  Compile(state, {"variable x", sum}, true);
}

}  // namespace

BENCHMARK(BM_CompileBlockLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NormalizeAndCompileBlockLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NormalizeAndCompileLongSum)->Arg(1000)->Arg(120000)->Unit(benchmark::kMillisecond);
