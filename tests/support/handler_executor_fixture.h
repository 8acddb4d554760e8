// A two-track song (control track and one music track on channel 1) whose music track
// runs a compiled handler text tick by tick.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handler/handler_normalizer.h"
#include "render/handler_executor.h"
#include "handler/handler_names.h"
#include "render/render_globals.h"
#include "render/track_runtime.h"
#include "tests/support/handler_test_support.h"

class HandlerExecutorTest : public HandlerGlobalsTest {
 protected:
  void SetUp() override {
    HandlerGlobalsTest::SetUp();
    ResetRenderContext();
    RenderRun().Stop = false;
    GHandlerInterruption = nullptr;
    control.Channel = 0;
    music.Channel = 1;
    control.Next = &music;
    music.Prev = &control;
  }
  void TearDown() override {
    RenderRun().Stop = false;
    GHandlerInterruption = nullptr;
    HandlerGlobalsTest::TearDown();
  }

  TTrackRuntime& Runtime() { return RuntimeOf(music); }
  THandlerProgram& Program() { return Runtime().Program; }

  // Compiles the lines (normalised) as the music track's text; the compile must succeed.
  void Compile(const std::vector<std::string>& source) {
    if (Program().Constants.empty()) {
      DefineConstant(Program().Constants, "true", 127);
      DefineConstant(Program().Constants, "false", 0);
    }
    lines_ = NormalizeProgramLines(source);
    THandlerCompileInput input;
    input.Program = &Program();
    CompileHandlerProgram(input, 1, lines_, Program().ProgramTree, "get");
    ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text << " line " << GErrors.Get().ModuleLine;
  }

  // Runs the main program at one tick; the tick's jump target goes to lastJump.
  bool RunAt(uint32_t position) {
    THandlerTick tick(GRender, music, 1920, 100000, position, GErrors);
    tick.StatementBudget = statementBudget;
    const bool result = RunHandlerStatements(Program().ProgramTree, tick);
    lastJump = tick.JumpTarget;
    return result;
  }

  // Runs the main program at every tick of first..last; stops at the first error.
  void RunTicks(uint32_t first, uint32_t last) {
    for (uint32_t t = first; t <= last && GErrors.Code() == 0; ++t) {
      RunAt(t);
    }
  }

  long double Var(const std::string& name) {
    const PPeremennay v = FindVariable("get." + name, Program().Variables);
    EXPECT_NE(v, nullptr) << name;
    return v != nullptr ? v->Value : -1;
  }
  long double Element(const std::string& name, size_t index) {
    const PMassiv a = FindArray("get." + name, Program().Arrays);
    EXPECT_NE(a, nullptr) << name;
    return a != nullptr ? a->Values[index] : -1;
  }

  TTreck control;
  TTreck music;
  uint32_t lastJump = 0;
  uint64_t statementBudget = kDefaultHandlerStatementsPerTick;

 private:
  std::vector<std::string> lines_;
};
