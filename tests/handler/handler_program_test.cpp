#include "handler/handler_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/handler_test_support.h"

namespace {

struct SplitCase {
  const char* input;
  bool whole;
  const char* part;
  const char* rest;
};

class SplitDottedNameTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitDottedNameTest, TakesOneComponent) {
  std::string s = GetParam().input;
  std::string part = "old";
  SplitDottedName(s, GetParam().whole, part);
  EXPECT_EQ(part, GetParam().part);
  EXPECT_EQ(s, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(Names, SplitDottedNameTest,
                         ::testing::Values(SplitCase{"a.b(c)", false, "a", "b(c)"},
                                           SplitCase{"b(c.d)", false, "b(c.d)", ""},
                                           SplitCase{"x)y", false, "x", "y"},
                                           SplitCase{"a..)b", false, "a", "b"},
                                           SplitCase{"name", true, "name", ""},
                                           SplitCase{"a.b.c", true, "c", "a.)b"},
                                           SplitCase{"a.)b", true, "b", "a"},
                                           SplitCase{"", false, "", ""}));

// A longer scope goes first; an equal scope goes after the entries already there.
TEST(ScopedList, KeepsLongestScopeFirstAndEqualScopesInDefinitionOrder) {
  TScopedList<TPeremennay> list;
  list.Insert({"x", "get.", 1});
  list.Insert({"y", "", 2});
  list.Insert({"x", "get.ritmo.", 3});
  list.Insert({"z", "get.", 4});
  list.Insert({"x", "get.", 5});
  std::vector<long double> order;
  for (const TPeremennay& v : list) {
    order.push_back(v.Value);
  }
  EXPECT_EQ(order, (std::vector<long double>{3, 1, 4, 5, 2}));
  const std::vector<TPeremennay*>* named = list.Named("x");
  ASSERT_NE(named, nullptr);
  ASSERT_EQ(named->size(), 3u);
  EXPECT_EQ((*named)[0]->Value, 3);
  EXPECT_EQ((*named)[1]->Value, 1);
  EXPECT_EQ((*named)[2]->Value, 5);
  EXPECT_EQ(list.Named("w"), nullptr);
}

TEST(HandlerProgram, AppendsInOrderAndClearsEverything) {
  THandlerProgram program;
  TProgramChain chain;
  PProgram first = AppendProgramNode(program, chain, skBreak, nullptr, nullptr, nullptr, nullptr, "get.");
  PProgram second = AppendProgramNode(program, chain, skSay, nullptr, nullptr, nullptr, nullptr, "get.b.");
  EXPECT_EQ(chain.Head, first);
  EXPECT_EQ(first->Next, second);
  EXPECT_EQ(chain.Tail, second);
  EXPECT_EQ(second->Text, "get.b.");
  program.Variables.Insert({"v", "get.", 0});
  program.Blocks.Append(TBlock{"b", "", first, {}, false});
  program.ProgramTree = chain.Head;
  program.Clear();
  EXPECT_EQ(program.ProgramTree, nullptr);
  EXPECT_EQ(program.NodeCount(), 0u);
  EXPECT_TRUE(program.Variables.empty());
  EXPECT_EQ(program.Blocks.Find("b"), nullptr);
}

TEST(BlockList, FindsTheFirstBlockOfAName) {
  TBlockList blocks;
  blocks.Append(TBlock{"a", "m1", nullptr, {}, false});
  blocks.Append(TBlock{"a", "m2", nullptr, {}, true});
  ASSERT_NE(blocks.Find("a"), nullptr);
  EXPECT_EQ(blocks.Find("a")->Module, "m1");
  EXPECT_EQ(blocks.size(), 2u);
}

class HandlerProgramSizeTest : public HandlerGlobalsTest {};

// A program of 100,000 lines (a long chain and a long body) is built and freed
// without deep recursion (a recursive free along Next would overflow the stack).
TEST_F(HandlerProgramSizeTest, FreesAHundredThousandLineProgram) {
  std::vector<std::string> lines = {"variable x"};
  lines.insert(lines.end(), 80000, "let x=x+1");
  lines.push_back("0..10");
  lines.insert(lines.end(), 19998, "let x=2");
  auto program = std::make_unique<THandlerProgram>();
  THandlerCompileInput input;
  input.Program = program.get();
  CompileHandlerProgram(input, 1, lines, program->ProgramTree, "get");
  ASSERT_EQ(GErrors.Code(), 0) << GErrors.Get().Text;
  EXPECT_EQ(lines.size(), 100000u);
  EXPECT_EQ(program->NodeCount(), 99999u);
  size_t count = 0;
  PProgram last = nullptr;
  for (PProgram node = program->ProgramTree; node != nullptr; node = node->Next) {
    ++count;
    last = node;
  }
  EXPECT_EQ(count, 80001u);
  ASSERT_EQ(last->Kind, skSegment);
  program.reset();
}

}  // namespace
