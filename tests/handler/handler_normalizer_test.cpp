#include "handler/handler_normalizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct NormalizeCase {
  const char* input;
  const char* expected;
};

class NormalizeHandlerLineTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeHandlerLineTest, GivesTheCanonicalLine) {
  EXPECT_EQ(NormalizeHandlerLine(GetParam().input), GetParam().expected)
      << "input: [" << GetParam().input << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NormalizeHandlerLineTest,
    ::testing::Values(
        // Pass-through, comments, blanks.
        NormalizeCase{"%anything   {not a comment}", "%anything   {not a comment}"},
        NormalizeCase{"Let X = -5 {comment}", "let x=0-5"},
        NormalizeCase{"x=1 {a} y=2", "x=1 y=2"},
        NormalizeCase{"{open comment", ""},
        NormalizeCase{"a } b { c", "a}b"},
        NormalizeCase{"a {x} {y} b", "a b"},
        NormalizeCase{"", ""},
        NormalizeCase{"     ", ""},
        NormalizeCase{"let x = 5", "let x=5"},
        NormalizeCase{"x_1 = 2", "x_1=2"},
        NormalizeCase{"a _ b", "a_b"},
        NormalizeCase{"a\t b", "a\tb"},
        // Keywords.
        NormalizeCase{"if (a) or (b) then", "if (a) or (b) then"},
        NormalizeCase{"evry(1)", "evry (1)"},
        NormalizeCase{"(a)then", "(a) then"},
        NormalizeCase{"sin(x)", "sin (x)"},
        NormalizeCase{"xsin(y)", "xsin (y)"},
        NormalizeCase{"a[1]and b", "a[1] and b"},
        NormalizeCase{"tempo-5", "tempo -5"},
        NormalizeCase{"x=tempo-5", "x=tempo-5"},
        NormalizeCase{"(a)or-1", "(a) or -1"},
        NormalizeCase{"tempo+1", "tempo +1"},
        // Unary minus.
        NormalizeCase{"if a>-1 then", "if a>-1 then"},
        NormalizeCase{"y=(-2)", "y=(0-2)"},
        NormalizeCase{"y=a[-1]", "y=a[0-1]"},
        NormalizeCase{"y = - ( - 3)", "y=0-(0-3)"},
        // Lone else.
        NormalizeCase{"   ELSE   ", "else if true then"},
        NormalizeCase{"else x", "else x"},
        NormalizeCase{"else {comment}", "else if true then"},
        // Error text.
        NormalizeCase{"error\"Value  \"", "error \"value\""},
        NormalizeCase{"Error \"A B\"", "error \"a b\""},
        // Quoted literal.
        NormalizeCase{"say 'Hello  World'", "say 'Hello  World'"},
        NormalizeCase{"x = 1 {say 'hi'}", "x=1"},
        NormalizeCase{"MIDI M = 'Song {1}.MID'", "midi m='Song {1}.MID'"},
        NormalizeCase{"Say 'A' + 'B'", "say 'A'+'b'"},
        NormalizeCase{"Say It's", "say it's"}));

// Code page 1251 capitals become small letters whatever the locale says.
TEST(NormalizeHandlerLine, LowersCodePage1251Capitals) {
  // "ПЕРЕМЕННАЯ Ёж" in code page 1251.
  const std::string upper = "\xCF\xC5\xD0\xC5\xCC\xC5\xCD\xCD\xC0\xDF \xA8\xE6";
  const std::string lower = "\xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xE0\xFF \xB8\xE6";
  EXPECT_EQ(NormalizeHandlerLine(upper), lower);
  // The other capitals of the code page (Ukrainian, Belarusian, Serbian letters).
  EXPECT_EQ(NormalizeHandlerLine("\xB2\xAF\xAA\xA5\xA1\x80\x8A"), "\xB3\xBF\xBA\xB4\xA2\x90\x9A");
  // Small Cyrillic letters and "ё" are word characters: the blank between them stays.
  EXPECT_EQ(NormalizeHandlerLine("\xB8 \xE0"), "\xB8 \xE0");
  EXPECT_EQ(NormalizeHandlerLine("\xB8 - \xE0"), "\xB8-\xE0");
}

TEST(NormalizeProgramLines, KeepsCountAndOrder) {
  const std::vector<std::string> lines = {"Let X = 1", "", "   ", "ELSE"};
  const std::vector<std::string> expected = {"let x=1", "", "", "else if true then"};
  EXPECT_EQ(NormalizeProgramLines(lines), expected);
}

}  // namespace
