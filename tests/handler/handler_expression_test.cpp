#include "handler/handler_expression.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/handler_test_support.h"

namespace {

// The tree written back with brackets around every operator, to show grouping.
std::string Shape(const TExpressionNode* node) {
  static const char* const kOps[] = {"+", "-", "*", "/", " or ", " and ", "==",
                                     "<", ">", "<=", ">=", "<>", " mod "};
  if (node == nullptr) {
    return "nil";
  }
  switch (node->Kind) {
    case ekOperator: {
      // A run's operands group to the right, as nested operators would.
      std::string right = Shape(node->More.empty() ? node->Right.get() : node->More.back().Operand.get());
      for (size_t i = node->More.size(); i-- > 0;) {
        const TExpressionNode* operand = i == 0 ? node->Right.get() : node->More[i - 1].Operand.get();
        right = "(" + Shape(operand) + kOps[node->More[i].Op] + right + ")";
      }
      return "(" + Shape(node->Left.get()) + kOps[node->Op] + right + ")";
    }
    case ekNumber: {
      std::string s = std::to_string(static_cast<double>(node->Value));
      s.erase(s.find_last_not_of('0') + 1);
      if (s.back() == '.') {
        s.pop_back();
      }
      return s;
    }
    case ekVariable: return node->Variable->Name;
    case ekArrayElement: return node->Array->Name + "[" + Shape(node->Left.get()) + "]";
    default:
      return "#" + std::to_string(node->Kind) + (node->Left ? "(" + Shape(node->Left.get()) + ")" : "");
  }
}

// Answers every query with its kind, remembers the arguments, and gives block
// arguments from a table.
class FakeQueries : public THandlerQueries {
 public:
  long double Query(THandlerExprKind kind, const long double* argument) override {
    asked.push_back({kind, argument != nullptr ? *argument : -1});
    return kind;
  }
  const TExpressionNode* BlockArgument(int64_t n) override {
    auto it = arguments.find(n);
    return it == arguments.end() ? nullptr : it->second.get();
  }
  std::vector<std::pair<int, long double>> asked;
  std::map<int64_t, PExpression> arguments;
};

class HandlerExpressionTest : public HandlerGlobalsTest {
 protected:
  void SetUp() override {
    HandlerGlobalsTest::SetUp();
    GHandlerCompile.ScopePath = {"get"};
    x = DefineVariable(program.Variables, "x", 0);
    DefineVariable(program.Variables, "y", 4);
    a = DefineArray(program.Arrays, "a", 0);
    a->Values[2] = 8;
    DefineConstant(program.Constants, "c", 5);
  }

  PExpression Parse(const std::string& text) {
    uses = 0;
    return ParseExpression(text, uses, program, GErrors);
  }

  long double Value(const std::string& text) {
    PExpression tree = Parse(text);
    EXPECT_EQ(GErrors.Code(), 0) << text << ": " << GErrors.Get().Text;
    THandlerEvaluation at{&queries, 5000, 960};
    return EvaluateExpression(tree.get(), at, GErrors);
  }

  THandlerProgram program;
  PPeremennay x = nullptr;
  PMassiv a = nullptr;
  FakeQueries queries;
  uint8_t uses = 0;
};

struct ShapeCase {
  const char* text;
  const char* shape;
};

class ExpressionShapeTest : public HandlerExpressionTest,
                            public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(ExpressionShapeTest, GroupsAsTheLevelsSay) {
  PExpression tree = Parse(GetParam().text);
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  EXPECT_EQ(Shape(tree.get()), GetParam().shape) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Grouping, ExpressionShapeTest,
    ::testing::Values(ShapeCase{"10-4-3", "(10-(4-3))"}, ShapeCase{"8/4/2", "(8/(4/2))"},
                      ShapeCase{"2*3+1", "((2*3)+1)"}, ShapeCase{"10-4+3", "((10-4)+3)"},
                      ShapeCase{"8*4/2", "((8*4)/2)"},
                      ShapeCase{"x or y and c", "(x or (y and 5))"},
                      ShapeCase{"x and y or c", "((x and y) or 5)"},
                      ShapeCase{"(1+2)*3", "((1+2)*3)"}, ShapeCase{"((5))", "5"},
                      ShapeCase{"-x", "(0-x)"}, ShapeCase{"+x", "(0+x)"},
                      ShapeCase{"x<=y==1", "((x<=y)==1)"}, ShapeCase{"x<>y", "(x<>y)"},
                      ShapeCase{"x>=y", "(x>=y)"}, ShapeCase{"x<y+1", "(x<(y+1))"},
                      ShapeCase{"7 mod 3*2", "((7 mod 3)*2)"},
                      ShapeCase{"a[x+1]*2", "(a[(x+1)]*2)"},
                      ShapeCase{"sin (x)+1", "(#4(x)+1)"}, ShapeCase{"c*2", "(5*2)"},
                      ShapeCase{"get.x", "x"}, ShapeCase{"1,5", "1.5"},
                      // Runs of operators, signed tails read as "0" and the tail.
                      ShapeCase{"1+2-3*4/x", "(1+(2-((3*4)/x)))"},
                      ShapeCase{"1+-2+-3", "(1+((0-2)+(0-3)))"}, ShapeCase{"x--y", "(x-(0-y))"},
                      ShapeCase{"1-2-(3-4)-5", "(1-(2-((3-4)-5)))"},
                      ShapeCase{"x or y or c and 1", "(x or (y or (5 and 1)))"}));

struct ValueCase {
  const char* text;
  long double value;
};

class ExpressionValueTest : public HandlerExpressionTest,
                            public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ExpressionValueTest, Evaluates) {
  x->Value = 3;
  EXPECT_EQ(Value(GetParam().text), GetParam().value) << GetParam().text;
  EXPECT_EQ(GErrors.Code(), 0) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExpressionValueTest,
    ::testing::Values(
        ValueCase{"10-4-3", 9}, ValueCase{"8/4/2", 4}, ValueCase{"2+3*4", 14},
        ValueCase{"1,5+1", 2.5L}, ValueCase{"0-1,25", -1.25L}, ValueCase{"x*y", 12},
        ValueCase{"a[2]", 8}, ValueCase{"a[130]", 8}, ValueCase{"a[0-2]", 8},
        // Truth tests round halves to even.
        ValueCase{"0,5 and 1", 0}, ValueCase{"1,5 and 1", 127}, ValueCase{"2,5 and 1", 127},
        ValueCase{"0,4 or 0", 0}, ValueCase{"0,6 or 0", 127}, ValueCase{"0-1 or 0", 0},
        ValueCase{"round 2,5", 2}, ValueCase{"round 3,5", 4}, ValueCase{"7,5 mod 2", 0},
        ValueCase{"6,5 mod 4", 2}, ValueCase{"(0-7) mod 3", -1}, ValueCase{"0-7 mod 3", -1},
        // Equality to three decimals.
        ValueCase{"1,0004==1", 127}, ValueCase{"1,001==1", 0}, ValueCase{"1<>1,0004", 0},
        ValueCase{"0,1*3==0,3", 127}, ValueCase{"1<2 and 3>2", 127}, ValueCase{"2<=2", 127},
        ValueCase{"3>=4", 0}, ValueCase{"not 0", 127}, ValueCase{"not 2", 0},
        ValueCase{"int (0-2,7)", -2}, ValueCase{"abs (0-2)", 2}, ValueCase{"sqr 3", 9},
        ValueCase{"sqrt 16", 4}, ValueCase{"gtn (0-0,5)", 0}, ValueCase{"gtn (0-3)", -1},
        ValueCase{"exp 0", 1}, ValueCase{"ln 1", 0}, ValueCase{"cos 0", 1},
        ValueCase{"positionsong", 960}, ValueCase{"lengthsong", 5000},
        ValueCase{"tempo", ekTempo}, ValueCase{"mordento", ekMordento},
        ValueCase{"controller 7", ekController}, ValueCase{"keyon 60", ekKeyOn}));

TEST_F(HandlerExpressionTest, QueriesReceiveTheirArguments) {
  Value("controller 7+1");  // (controller 7)+1: operators bind looser than functions
  Value("keylength 60");
  Value("instrument");
  ASSERT_EQ(queries.asked.size(), 3u);
  EXPECT_EQ(queries.asked[0], (std::pair<int, long double>{ekController, 7}));
  EXPECT_EQ(queries.asked[1], (std::pair<int, long double>{ekKeyLength, 60}));
  EXPECT_EQ(queries.asked[2], (std::pair<int, long double>{ekInstrument, -1}));
}

TEST_F(HandlerExpressionTest, BlockParametersAreEvaluatedInPlace) {
  queries.arguments[1] = Parse("y*2");
  EXPECT_EQ(Value("parameter 1"), 8);
  EXPECT_EQ(Value("parameter 2"), 0);
  EXPECT_EQ(Value("existsparameter 1"), 127);
  EXPECT_EQ(Value("existsparameter 2"), 0);
}

// A block argument that names the argument itself ends in an error, not a crash.
TEST_F(HandlerExpressionTest, CircularParameterIsAnError) {
  queries.arguments[1] = Parse("parameter 1");
  PExpression tree = Parse("parameter 1");
  THandlerEvaluation at{&queries, 0, 0};
  EXPECT_EQ(EvaluateExpression(tree.get(), at, GErrors), 0);
  EXPECT_EQ(GErrors.Code(), kErrorNestingTooDeep);
  EXPECT_EQ(at.Depth, 0);
}

TEST_F(HandlerExpressionTest, RandomStaysBelowItsBound) {
  for (int i = 0; i < 50; ++i) {
    const long double r = Value("rnd 3");
    EXPECT_TRUE(r == 0 || r == 1 || r == 2) << r;
  }
  EXPECT_EQ(Value("rnd 0"), 0);
}

TEST_F(HandlerExpressionTest, VariablesSetTheUseFlagAndConstantsFold) {
  PExpression folded = Parse("c*2");
  EXPECT_EQ(uses, 0);
  EXPECT_EQ(folded->Left->Kind, ekNumber);
  Parse("a[x]");
  EXPECT_EQ(uses, 1);
  Parse("y+1");
  EXPECT_EQ(uses, 1);
}

TEST_F(HandlerExpressionTest, NilIsNoTreeAndNoError) {
  EXPECT_EQ(Parse("nil"), nullptr);
  EXPECT_EQ(GErrors.Code(), 0);
  THandlerEvaluation at;
  EXPECT_EQ(EvaluateExpression(nullptr, at, GErrors), 0);
  EXPECT_EQ(GErrors.Code(), 1);
}

struct DivisionCase {
  const char* text;
  const char* detail;
};

class DivisionByZeroTest : public HandlerExpressionTest,
                           public ::testing::WithParamInterface<DivisionCase> {};

TEST_P(DivisionByZeroTest, GivesZeroAndCode4) {
  x->Value = 0;
  EXPECT_EQ(Value(GetParam().text), 0);
  EXPECT_EQ(GErrors.Code(), 4);
  EXPECT_EQ(GErrors.Get().Text, GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(
    Divisors, DivisionByZeroTest,
    ::testing::Values(DivisionCase{"5/0", ""}, DivisionCase{"5 mod 0,4", ""},
                      // "переменной x!" and "массивом a!" in code page 1251
                      DivisionCase{"5/x", "\xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9 x!"},
                      DivisionCase{"5 mod x", "\xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9 x!"},
                      DivisionCase{"5/a[1]", "\xEC\xE0\xF1\xF1\xE8\xE2\xEE\xEC a!"},
                      DivisionCase{"8/2/x", "\xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9 x!"},
                      DivisionCase{"8/x/2", ""}));

struct ErrorCase {
  const char* text;
  int context;
  int code;
  const char* detail;
};

class ExpressionErrorTest : public HandlerExpressionTest,
                            public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ExpressionErrorTest, RefusesWithCodeAndText) {
  GHandlerCompile.Nesting = GetParam().context;
  EXPECT_EQ(Parse(GetParam().text), nullptr) << GetParam().text;
  EXPECT_EQ(GErrors.Code(), GetParam().code) << GetParam().text;
  EXPECT_EQ(GErrors.Get().Text, GetParam().detail) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ExpressionErrorTest,
    ::testing::Values(ErrorCase{"(1+2", 0, 3, "(1+2"}, ErrorCase{"1+2)", 0, 3, "1+2)"},
                      ErrorCase{"a[1", 0, 3, "a[1"}, ErrorCase{"foo+bar", 0, 1, "foo"},
                      ErrorCase{"1,2,3", 0, 1, "1,2,3"}, ErrorCase{"x+1,2,3", 0, 1, "1,2,3"},
                      ErrorCase{"", 0, 1, ""}, ErrorCase{"b[1]", 0, 1, "b[1]"},
                      ErrorCase{"keycount", 0, 38, "KeyCount"},
                      ErrorCase{"shtrihfactor", 1, 38, "ShtrihFactor"},
                      ErrorCase{"keypressed", 0, 38, "KeyPressed"},
                      ErrorCase{"keyposition", 1, 38, "KeyPosition"},
                      ErrorCase{"keyon", 0, 36, "KeyOn"}, ErrorCase{"keyoff", 1, 36, "KeyOff"},
                      ErrorCase{"keyname", 0, 36, "KeyName"},
                      ErrorCase{"startblock", 0, 37, "StartBlock"},
                      ErrorCase{"beginblock", 3, 37, "BeginBlock"},
                      ErrorCase{"voice", 2, 37, "Voice"}));

struct ContextCase {
  const char* text;
  int context;
  int kind;
};

class ExpressionContextTest : public HandlerExpressionTest,
                              public ::testing::WithParamInterface<ContextCase> {};

TEST_P(ExpressionContextTest, AllowsQueriesInTheirBodies) {
  GHandlerCompile.Nesting = GetParam().context;
  PExpression tree = Parse(GetParam().text);
  ASSERT_NE(tree, nullptr) << GetParam().text << ": " << GErrors.Get().Text;
  EXPECT_EQ(tree->Kind, GetParam().kind) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Contexts, ExpressionContextTest,
    ::testing::Values(ContextCase{"keycount", 3, ekKeyCount}, ContextCase{"keycount", 11, ekKeyCount},
                      ContextCase{"keyname", 3, ekKeyName}, ContextCase{"keyname", 4, ekKeyName},
                      ContextCase{"keyname", 1, ekBlockKeyName},
                      ContextCase{"startblock", 1, ekStartBlock},
                      ContextCase{"voice", 8, ekVoice}, ContextCase{"keyon", 10, ekKeyOn},
                      ContextCase{"keyon 60", 0, ekKeyOn},
                      ContextCase{"keypressed 60", 0, ekKeyPressed},
                      ContextCase{"nextlocation (fine)", 0, ekNextLocation}));

TEST_F(HandlerExpressionTest, UnknownOperandsJoinTheTextAlreadyThere) {
  GErrors.Update([](TErrors& e) { e.Text = "earlier"; });
  Parse("foo");
  EXPECT_EQ(GErrors.Get().Text, "earlier, foo");
}

TEST_F(HandlerExpressionTest, NothingIsParsedWhileAnErrorIsSet) {
  GErrors.Update([](TErrors& e) { e.Code = 7; });
  EXPECT_EQ(Parse("1+1"), nullptr);
  EXPECT_EQ(GErrors.Code(), 7);
}

TEST_F(HandlerExpressionTest, NextLocationKeepsItsLabel) {
  PExpression tree = Parse("nextlocation (fine)");
  ASSERT_EQ(GHandlerCompile.Strings.size(), 1u);
  EXPECT_EQ(GHandlerCompile.Strings[0], "fine");
  EXPECT_EQ(tree->Left->Value, 0);
}

// Nesting deep enough to exhaust the stack is refused instead; a flat run of operators
// nests no deeper than its operands, however long.
TEST_F(HandlerExpressionTest, RefusesRunawayNestingButNotALongRun) {
  const std::string deep = std::string(1500, '(') + "1" + std::string(1500, ')');
  EXPECT_EQ(Parse(deep), nullptr);
  EXPECT_EQ(GErrors.Code(), kErrorNestingTooDeep);
  GErrors.Reset();
  std::string run = "1-3";
  for (int i = 0; i < 119999; ++i) {
    run += "+1";
  }
  EXPECT_EQ(Value(run), 119997);  // "+" is looser than "-": (1-3)+1+...+1
}

}  // namespace
