// Tick semantics of the handler executor: loops, conditions, time blocks, break,
// blocks and their arguments, stop requests.
#include "render/handler_executor.h"

#include <gtest/gtest.h>

#include <thread>

#include "handler/handler_expression.h"
#include "platform/codec1251.h"
#include "tests/support/handler_executor_fixture.h"

namespace {

struct TicksCase {
  std::string header;  // the evry or time-block header line
  std::string end;     // its closing line ("" for a time block)
  std::vector<uint32_t> ticks;
};

class TicksTest : public HandlerExecutorTest, public ::testing::WithParamInterface<TicksCase> {};

// The ticks of 0..1300 on which the body runs.
TEST_P(TicksTest, BodyRunsOnTheseTicks) {
  std::vector<std::string> source = {"variable n", GetParam().header, "let n=n+1"};
  if (!GetParam().end.empty()) {
    source.push_back(GetParam().end);
  }
  Compile(source);
  std::vector<uint32_t> fired;
  for (uint32_t t = 0; t <= 1300; ++t) {
    const long double before = Var("n");
    RunAt(t);
    ASSERT_EQ(GErrors.Code(), 0) << t;
    if (Var("n") != before) {
      fired.push_back(t);
    }
  }
  EXPECT_EQ(fired, GetParam().ticks);
}

std::vector<uint32_t> Range(uint32_t first, uint32_t last) {
  std::vector<uint32_t> r;
  for (uint32_t t = first; t <= last; ++t) {
    r.push_back(t);
  }
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Evry, TicksTest,
    ::testing::Values(TicksCase{"evry 480 do", "endevry", {0, 480, 960}},
                      TicksCase{"evry 480 offset 120 do", "endevry", {120, 600, 1080}},
                      // Position - offset a negative multiple of the period also fires.
                      TicksCase{"evry 480 offset 600 do", "endevry", {120, 600, 1080}},
                      TicksCase{"evry 1000,4 do", "endevry", {0, 1000}},
                      TicksCase{"evry -5 do", "endevry", {}}));

INSTANTIATE_TEST_SUITE_P(TimeBlocks, TicksTest,
                         ::testing::Values(TicksCase{"100..110", "", Range(100, 110)},
                                           TicksCase{"300", "", {300}},
                                           TicksCase{"1299..5000", "", {1299, 1300}}));

TEST_F(HandlerExecutorTest, EvryWithPeriodZeroStopsWithError4AtTheFirstTick) {
  Compile({"variable n", "evry 0 do", "let n=1", "endevry"});
  RunAt(0);
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 4);
  EXPECT_EQ(e.Text, Utf8ToCp1251("в параметрах оператора Evry!").Text);
  EXPECT_EQ(Var("n"), 0);
}

// A random period is evaluated once: it either runs or reports 4, never divides by 0.
TEST_F(HandlerExecutorTest, EvryEvaluatesARandomPeriodOnce) {
  Compile({"variable n", "evry rnd 2 do", "let n=n+1", "endevry"});
  GHandlerRandom.seed(7);
  int errors = 0;
  for (uint32_t t = 0; t < 200; ++t) {
    RunAt(t);
    if (GErrors.Code() != 0) {
      EXPECT_EQ(GErrors.Code(), 4);
      GErrors.Reset();
      ++errors;
    }
  }
  EXPECT_GT(errors, 0);
  EXPECT_EQ(Var("n") + errors, 200);
}

TEST_F(HandlerExecutorTest, ForEvaluatesItsBoundsOnce) {
  Compile({"variable n", "variable i", "variable hi=3", "for i=1 to hi do", "let hi=10",
           "let n=n+1", "endfor"});
  RunAt(0);
  EXPECT_EQ(Var("n"), 3);
  EXPECT_EQ(Var("i"), 3);
}

TEST_F(HandlerExecutorTest, ForAtTheLargestBoundEnds) {
  // The last bound saturates at the largest whole number: two rounds, then the end.
  Compile({"variable n", "variable i", "variable big", "let big=9223372036854775806",
           "for i=big to big*10 do", "let n=n+1", "endfor"});
  RunAt(0);
  EXPECT_EQ(Var("n"), 2);
}

struct BreakCase {
  std::vector<std::string> source;
  bool result;      // what the main program answers
  long double n;    // the counter's value afterwards
  long double after;
};

class BreakTest : public HandlerExecutorTest, public ::testing::WithParamInterface<BreakCase> {};

TEST_P(BreakTest, Propagation) {
  std::vector<std::string> source = {"variable n", "variable after", "variable i"};
  source.insert(source.end(), GetParam().source.begin(), GetParam().source.end());
  Compile(source);
  EXPECT_EQ(RunAt(0), GetParam().result);
  EXPECT_EQ(Var("n"), GetParam().n);
  EXPECT_EQ(Var("after"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BreakTest,
    ::testing::Values(
        // In an if in a for: ends the loop and the rest of the list; the list answers true.
        BreakCase{{"for i=1 to 5 do", "let n=n+1", "if i==2 then", "break", "endif", "endfor",
                   "let after=1"},
                  true, 2, 0},
        BreakCase{{"while 1 do", "let n=n+1", "break", "endwhile", "let after=1"}, true, 1, 0},
        // At the top level and from an evry body or a time block: the list answers false.
        BreakCase{{"let n=1", "break", "let after=1"}, false, 1, 0},
        BreakCase{{"evry 1 do", "let n=1", "break", "endevry", "let after=1"}, false, 1, 0},
        BreakCase{{"0", "let n=1", "break"}, false, 1, 0},
        // At the top of a performed block: ends only the block.
        BreakCase{{"block b", "let n=n+1", "break", "let n=100", "endblock", "perform b",
                   "let after=1"},
                  true, 1, 1}));

struct IfCase {
  long double x;
  long double y;
};

class IfChainTest : public HandlerExecutorTest, public ::testing::WithParamInterface<IfCase> {};

TEST_P(IfChainTest, ExactlyOneBranchRuns) {
  Compile({"variable x", "variable y", "if x==1 then", "let y=y+1", "else if x==2 then",
           "let y=y+2", "else", "let y=y+3", "endif"});
  FindVariable("get.x", Program().Variables)->Value = GetParam().x;
  RunAt(0);
  EXPECT_EQ(Var("y"), GetParam().y);
}

INSTANTIATE_TEST_SUITE_P(Branches, IfChainTest,
                         ::testing::Values(IfCase{1, 1}, IfCase{2, 2}, IfCase{3, 3}));

// A true condition whose branch is empty still skips the else branch.
TEST_F(HandlerExecutorTest, EmptyTrueBranchDoesNotFallIntoElse) {
  Compile({"variable x", "if 1 then", "else", "let x=5", "endif", "let x=x+1"});
  RunAt(0);
  EXPECT_EQ(Var("x"), 1);
}

TEST_F(HandlerExecutorTest, WhileRoundsItsConditionIfDoesNot) {
  Compile({"variable c=0,4", "variable w", "variable f", "while c do", "let w=w+1",
           "let c=0", "endwhile", "if 0,4 then", "let f=1", "endif"});
  RunAt(0);
  EXPECT_EQ(Var("w"), 0);
  EXPECT_EQ(Var("f"), 1);
  FindVariable("get.c", Program().Variables)->Value = 0.6L;
  RunAt(1);
  EXPECT_EQ(Var("w"), 1);
}

// ---- Blocks and their arguments ----------------------------------------------------

TEST_F(HandlerExecutorTest, ArgumentsAreEvaluatedWhereTheCallerWroteThem) {
  Compile({"variable x", "variable y", "block inner", "let x=parameter 1", "endblock",
           "block outer", "perform inner parameter 1+1", "let y=parameter 1", "endblock",
           "perform outer 5"});
  RunAt(0);
  EXPECT_EQ(Var("x"), 6);
  EXPECT_EQ(Var("y"), 5);  // the caller keeps its own arguments
}

TEST_F(HandlerExecutorTest, ParametersAreGoneAfterThePerform) {
  Compile({"variable x", "variable y", "variable z", "block b", "let x=existsparameter 1",
           "endblock", "perform b 3", "let y=existsparameter 1", "let z=parameter 1"});
  RunAt(0);
  EXPECT_EQ(Var("x"), 127);
  EXPECT_EQ(Var("y"), 0);
  EXPECT_EQ(Var("z"), 0);
}

// ---- Run-time errors: what, where and in which measure ----------------------------------

struct RunErrorCase {
  const char* name;
  std::vector<std::string> source;  // after "variable n", "variable i", "variable z"
  uint8_t code;
  const char* text;  // UTF-8
  uint16_t line;     // of the statement that failed, innermost first
};

void PrintTo(const RunErrorCase& c, std::ostream* os) { *os << c.name; }

class RunErrorTest : public HandlerExecutorTest,
                     public ::testing::WithParamInterface<RunErrorCase> {};

TEST_P(RunErrorTest, NamesTheTrackLineAndMeasure) {
  std::vector<std::string> source = {"variable n", "variable i", "variable z"};
  source.insert(source.end(), GetParam().source.begin(), GetParam().source.end());
  Compile(source);
  Runtime().TrackIndex = 2;
  statementBudget = 100000;
  RunAt(2 * 1920 + 7);
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, GetParam().code);
  EXPECT_EQ(e.Text, Utf8ToCp1251(GetParam().text).Text);
  EXPECT_EQ(e.Source, esHandler);
  EXPECT_EQ(e.ModuleLine, GetParam().line);
  EXPECT_EQ(e.Measure, 3u);
  EXPECT_EQ(e.Track, 2);
  EXPECT_EQ(e.RunningTrack, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, RunErrorTest,
    ::testing::Values(
        RunErrorCase{"division", {"let n=1", "let n=n/z"}, 4, "переменной z!", 5},
        RunErrorCase{"innermost statement",
                     {"for i=1 to 3 do", "if i>1 then", "let n=1/z", "endif", "endfor"},
                     4,
                     "переменной z!",
                     6},
        RunErrorCase{"inside a performed block",
                     {"block b", "let n=n+1", "", "let n=1/z", "endblock", "perform b"},
                     4,
                     "переменной z!",
                     7},
        RunErrorCase{"endless while",
                     {"while 1 do", "endwhile"},
                     kErrorEndlessHandler,
                     "больше 100000 операторов за один тик",
                     4},
        RunErrorCase{"endless for",
                     {"for i=1 to 1000000000000 do", "endfor"},
                     kErrorEndlessHandler,
                     "больше 100000 операторов за один тик",
                     4},
        // A block defined again replaces the first one's statements: it performs itself.
        RunErrorCase{"endless perform",
                     {"block b", "endblock", "block b", "let n=n+1", "perform b parameter 1",
                      "endblock", "perform b 1"},
                     kErrorPerformTooDeep,
                     "perform b",
                     8}),
    [](const ::testing::TestParamInfo<RunErrorCase>& info) {
      std::string name = info.param.name;
      std::erase(name, ' ');
      return name;
    });

// Jumping back a few times repeats music; jumping back for ever, without the song
// getting further, is an endless handler.
TEST_F(HandlerExecutorTest, EndlessJumpsBackEndAsAnError) {
  Compile({"variable n", "100", "let n=n+1", "if n<4 then", "positionsong 0", "endif", "200",
           "positionsong 190"});
  uint32_t position = 0;
  uint32_t jumpsAt200 = 0;
  for (int steps = 0; steps < 100000 && GErrors.Code() == 0; ++steps) {
    RunAt(position);
    jumpsAt200 += position == 200 && lastJump != position ? 1 : 0;
    position = lastJump != position ? lastJump : position + 1;
  }
  EXPECT_EQ(Var("n"), 4);
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, kErrorEndlessHandler);
  EXPECT_EQ(e.ModuleLine, 8);
  EXPECT_EQ(jumpsAt200, kMaxBackwardJumps + 1);
}

// The deepest program the compiler takes runs on a thread's stack, also with a block as
// deep performed at its bottom; blocks performing each other deeper still stop at the
// run-time bound with an error.
TEST_F(HandlerExecutorTest, DeepestProgramsRunAndDeeperPerformsStop) {
  const int deepest = kMaxHandlerNesting - 2;  // nested in a block body at the top level
  const std::string sum = "let i=i" + [] {
    std::string s;
    for (int k = 0; k < kMaxHandlerNesting - 1; ++k) {
      s += "+1";
    }
    return s;
  }();
  auto nested = [&](const std::vector<std::string>& bottom) {
    std::vector<std::string> lines(static_cast<size_t>(deepest), "for n=1 to 1 do");
    lines.insert(lines.end(), bottom.begin(), bottom.end());
    lines.insert(lines.end(), static_cast<size_t>(deepest), "endfor");
    return lines;
  };
  std::vector<std::string> source = {"variable i", "variable n", "block c"};
  for (const auto& part : {nested({sum}), std::vector<std::string>{"endblock", "block b"},
                           nested({"perform c"}), std::vector<std::string>{"endblock", "block a"},
                           nested({"perform b"}), std::vector<std::string>{"endblock"},
                           nested({"if i<1 then", "perform c", "else", "perform a", "endif"})}) {
    source.insert(source.end(), part.begin(), part.end());
  }
  Compile(source);
  std::thread([&] { RunAt(0); }).join();
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  EXPECT_EQ(Var("i"), kMaxHandlerNesting - 1);
  std::thread([&] { RunAt(1); }).join();
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, kErrorNestingTooDeep);
  EXPECT_EQ(e.Text,
            Utf8ToCp1251("не больше 1999 вложенных операторов вместе с блоками perform").Text);
}

TEST_F(HandlerExecutorTest, RunningBlockReadsItsFrameAndEndsWithBreak) {
  Compile({"variable s", "variable b", "variable k", "variable v", "variable p", "block run",
           "let s=startblock", "let b=beginblock", "let k=keyname", "let v=voice",
           "let p=parameter 2", "if positionsong>=10 then", "break", "endif", "endblock"});
  const PBlock run = FindBlockByName("run", Program().Blocks);
  ASSERT_NE(run, nullptr);
  std::vector<PExpression> args;
  uint8_t uses = 0;
  args.push_back(ParseExpression("1", uses, Program(), GErrors));
  args.push_back(ParseExpression("2*3", uses, Program(), GErrors));
  const TBlockFrame frame{&args, 4, 9, 62, 1};
  THandlerTick tick(GRender, music, 1920, 0, 5, GErrors);
  EXPECT_TRUE(RunHandlerBlock(frame, run->Tree, tick));
  EXPECT_EQ(Var("s"), 4);
  EXPECT_EQ(Var("b"), 9);
  EXPECT_EQ(Var("k"), 62);
  EXPECT_EQ(Var("v"), 1);  // voice list 1 is the track's first voice
  EXPECT_EQ(Var("p"), 6);
  THandlerTick later(GRender, music, 1920, 0, 10, GErrors);
  EXPECT_FALSE(RunHandlerBlock(frame, run->Tree, later));
}

// ---- Stop requests -------------------------------------------------------------------

struct StopCase {
  std::vector<std::string> source;
};

class StopTest : public HandlerExecutorTest, public ::testing::WithParamInterface<StopCase> {};

// The loop asks for a snapshot every round; the fifth request stops the render.
TEST_P(StopTest, LoopsEndOnAStopRequest) {
  std::vector<std::string> source = {"variable n", "variable i", "variable after"};
  source.insert(source.end(), GetParam().source.begin(), GetParam().source.end());
  source.push_back("let after=1");
  Compile(source);
  int calls = 0;
  GHandlerInterruption = [&](uint8_t, const std::string&, const TTreck&, uint32_t) {
    if (++calls == 5) {
      RenderRun().Stop = true;
    }
    return false;
  };
  EXPECT_TRUE(RunAt(0));
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(Var("after"), 0);
  EXPECT_EQ(GErrors.Code(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, StopTest,
    ::testing::Values(StopCase{{"while 1 do", "interruption n", "endwhile"}},
                      StopCase{{"for i=1 to 100000000000000 do", "interruption n", "endfor"}},
                      StopCase{{"block b", "endblock", "block b", "interruption n",
                                "perform b", "endblock", "perform b"}}));

TEST_F(HandlerExecutorTest, InterruptionShowsItsNumberAndScopeUntilSwitchedOff) {
  Compile({"variable n", "interruption first", "interruption second"});
  std::vector<std::pair<int, std::string>> shown;
  GHandlerInterruption = [&](uint8_t number, const std::string& scope, const TTreck&, uint32_t) {
    shown.emplace_back(number, scope);
    return number == 1;  // the second never again
  };
  RunAt(0);
  RunAt(1);
  EXPECT_EQ(shown, (std::vector<std::pair<int, std::string>>{
                       {0, "get."}, {1, "get."}, {0, "get."}}));
}

TEST_F(HandlerExecutorTest, WithoutACallbackInterruptionGoesOnAtOnce) {
  Compile({"variable n", "interruption look", "let n=1"});
  RunAt(0);
  EXPECT_EQ(Var("n"), 1);
}

TEST_F(HandlerExecutorTest, AnErrorEndsEveryEnclosingList) {
  Compile({"variable n", "variable m", "variable z", "for n=1 to 5 do", "if 1 then",
           "let m=n/z", "endif", "endfor", "let z=7"});
  RunAt(0);
  EXPECT_EQ(GErrors.Code(), 4);
  EXPECT_EQ(Var("z"), 0);
  EXPECT_EQ(Var("n"), 1);
}

}  // namespace
