#include "handler/handler_names.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/handler_test_support.h"

namespace {

class HandlerNamesTest : public HandlerGlobalsTest {
 protected:
  THandlerProgram program;

  PPeremennay DefineAt(std::vector<std::string> path, const std::string& name, long double value) {
    GHandlerCompile.ScopePath = std::move(path);
    return DefineVariable(program.Variables, name, value);
  }
};

TEST_F(HandlerNamesTest, ScopePathTextEndsEveryItemWithADot) {
  EXPECT_EQ(ScopePathText(), "");
  GHandlerCompile.ScopePath = {"get", "ritmo"};
  EXPECT_EQ(ScopePathText(), "get.ritmo.");
}

// Innermost wins; a deeper definition is invisible from outside; an explicit path
// reaches any scope.
TEST_F(HandlerNamesTest, FindsTheInnermostVisibleDefinition) {
  PPeremennay outer = DefineAt({"get"}, "x", 1);
  PPeremennay inner = DefineAt({"get", "ritmo"}, "x", 2);
  EXPECT_EQ(outer->Scope, "get.");
  EXPECT_EQ(inner->Scope, "get.ritmo.");

  GHandlerCompile.ScopePath = {"get", "ritmo"};
  EXPECT_EQ(FindVariable("x", program.Variables), inner);
  GHandlerCompile.ScopePath = {"get", "ritmo", "deeper"};
  EXPECT_EQ(FindVariable("x", program.Variables), inner);
  GHandlerCompile.ScopePath = {"get"};
  EXPECT_EQ(FindVariable("x", program.Variables), outer);
  EXPECT_EQ(FindVariable("get.ritmo.x", program.Variables), inner);
  GHandlerCompile.ScopePath = {"get", "ritmo"};
  EXPECT_EQ(FindVariable("get.x", program.Variables), outer);
  GHandlerCompile.ScopePath = {"get", "other"};
  EXPECT_EQ(FindVariable("x", program.Variables), outer);
  EXPECT_EQ(FindVariable("y", program.Variables), nullptr);
}

TEST_F(HandlerNamesTest, ShortNamesBeginningWithGetAreSearchedAsWritten) {
  PPeremennay plain = DefineAt({"get"}, "get.", 1);
  PPeremennay named = DefineAt({"get"}, "get", 2);
  GHandlerCompile.ScopePath = {"get"};
  EXPECT_EQ(FindVariable("get.", program.Variables), plain);
  EXPECT_EQ(FindVariable("get", program.Variables), named);
  EXPECT_EQ(FindVariable("get.ritmo.", program.Variables), nullptr);
}

TEST_F(HandlerNamesTest, EmptyScopeIsVisibleEverywhereAndEmptyPathSeesAll) {
  PPeremennay label = DefineAt({}, "a", 1);
  PPeremennay deep = DefineAt({"get", "b"}, "c", 2);
  GHandlerCompile.ScopePath = {"get", "x", "y"};
  EXPECT_EQ(FindVariable("a", program.Variables), label);
  EXPECT_EQ(FindVariable("c", program.Variables), nullptr);
  GHandlerCompile.ScopePath.clear();
  EXPECT_EQ(FindVariable("c", program.Variables), deep);
}

// From the empty path every entry is a candidate: longer scope first, then the
// earlier definition among equal lengths.
TEST_F(HandlerNamesTest, EqualScopeLengthsKeepDefinitionOrder) {
  PPeremennay first = DefineAt({"get", "aa"}, "x", 1);
  DefineAt({"get", "bb"}, "x", 2);
  PPeremennay longer = DefineAt({"get", "ccc"}, "x", 3);
  GHandlerCompile.ScopePath.clear();
  EXPECT_EQ(FindVariable("x", program.Variables), longer);
  GHandlerCompile.ScopePath = {"get", "bb"};
  EXPECT_EQ(FindVariable("x", program.Variables)->Value, 2);
  GHandlerCompile.ScopePath = {"get", "aa"};
  EXPECT_EQ(FindVariable("x", program.Variables), first);
}

TEST_F(HandlerNamesTest, ArraysAndConstants) {
  GHandlerCompile.ScopePath = {"get"};
  PMassiv array = DefineArray(program.Arrays, "m", 7);
  EXPECT_EQ(array->Values[0], 7);
  EXPECT_EQ(array->Values[127], 7);
  EXPECT_EQ(FindArray("m", program.Arrays), array);
  DefineConstant(program.Constants, "c", 5);
  const TConstantLookup found = FindConstant("c", program.Constants);
  EXPECT_EQ(found.Value, 5);
  EXPECT_EQ(found.Scope, "get.");
  const TConstantLookup missing = FindConstant("d", program.Constants);
  EXPECT_EQ(missing.Value, 0);
  EXPECT_EQ(missing.Scope, "-");
  EXPECT_TRUE(IsDefinedAt("c", "get.", program));
  EXPECT_TRUE(IsDefinedAt("m", "get.", program));
  EXPECT_FALSE(IsDefinedAt("c", "get.b.", program));
}

TEST_F(HandlerNamesTest, ReservedWordsAreCaseSensitiveAndSetCode15) {
  EXPECT_FALSE(IsReservedWord("Keys", GErrors));
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_FALSE(IsReservedWord("keys2", GErrors));
  for (const char* word : {"keys", "interruption", "endif", "staccatisimo", "arctan"}) {
    GErrors.Reset();
    EXPECT_TRUE(IsReservedWord(word, GErrors)) << word;
    EXPECT_EQ(GErrors.Code(), 15);
    EXPECT_EQ(GErrors.Get().Text, word);
  }
}

struct NumberCase {
  const char* text;
  bool valid;
  long double value;
};

class ParseNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumberTest, ReadsCommaDecimalsOnly) {
  long double value = -99;
  EXPECT_EQ(ParseHandlerNumber(GetParam().text, value), GetParam().valid) << GetParam().text;
  if (GetParam().valid) {
    EXPECT_EQ(value, GetParam().value);
  } else {
    EXPECT_EQ(value, -99);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ParseNumberTest,
    ::testing::Values(NumberCase{"12", true, 12}, NumberCase{"12,5", true, 12.5L},
                      NumberCase{"-3", true, -3}, NumberCase{",5", true, 0.5L},
                      NumberCase{"5,", true, 5}, NumberCase{"1,2,3", false, 0},
                      NumberCase{"-", false, 0}, NumberCase{",", false, 0},
                      NumberCase{"", false, 0}, NumberCase{"1.5", false, 0},
                      NumberCase{"--1", false, 0}, NumberCase{"1-2", false, 0},
                      NumberCase{"1e5", false, 0}));

TEST(ParseHandlerNumber, RefusesValuesBeyondRange) {
  long double value = 0;
  EXPECT_FALSE(ParseHandlerNumber(std::string(6000, '9'), value));
}

}  // namespace
