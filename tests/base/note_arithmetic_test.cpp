#include "base/note_arithmetic.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct KeyCase {
  int32_t step;
  TKeySign accidental;
  int32_t octave;
  int32_t key;
};

TEST(MidiKeyOf, KeysClampedToMidiRange) {
  const KeyCase cases[] = {
      {1, TKeySign::No, 5, 60},          {1, TKeySign::Natural, 5, 60},   {7, TKeySign::DoubleSharp, 10, 127},
      {1, TKeySign::DoubleFlat, 0, 0},   {0, TKeySign::Sharp, 5, 0},      {8, TKeySign::No, 5, 0},
      {6, TKeySign::No, 4, 57},          {4, TKeySign::Sharp, 5, 66},     {2, TKeySign::Flat, 5, 61},
      {7, TKeySign::No, 4, 59},          {3, TKeySign::DoubleFlat, 5, 62}, {5, TKeySign::No, 2, 31},
      {1, TKeySign::No, -3, 0},          {1, TKeySign::No, 1000000, 127},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(MidiKeyOf(c.step, c.accidental, c.octave), c.key)
        << "step " << c.step << " octave " << c.octave;
  }
}

struct DurationCase {
  uint8_t kind, value, dots, tuplet;
  long double ticks;
  const char* fraction;
};

TEST(NoteDuration, DotsTupletsAndSmallValues) {
  const DurationCase cases[] = {
      {1, 4, 0, 1, 480, "1/4"},    {1, 4, 1, 1, 720, "3/8"},  {1, 4, 2, 1, 840, "7/16"},
      {1, 8, 0, 3, 160, "1/12"},   {2, 1, 0, 1, 120, "1/16"}, {1, 1, 0, 1, 1920, "1/1"},
      {2, 8, 0, 1, 15, "1/128"},   {1, 2, 1, 3, 960, "1/2"},  {0, 4, 0, 1, 30, "1/64"},
      {1, 4, 0, 5, 192, "1/10"},   {1, 0, 0, 1, 0, "0/1"},    {1, 3, 0, 1, 0, "0/1"},
      {2, 16, 2, 3, 0, "0/1"},
  };
  for (const DurationCase& c : cases) {
    EXPECT_NEAR(static_cast<double>(NoteDuration(c.kind, c.value, c.dots, c.tuplet, 1920)),
                static_cast<double>(c.ticks), 1e-9)
        << int(c.kind) << " " << int(c.value) << " " << int(c.dots) << " " << int(c.tuplet);
    EXPECT_EQ(NoteFraction(c.kind, c.value, c.dots, c.tuplet).ToString(), c.fraction);
  }
}

TEST(NoteFraction, TwelveTripletEighthsFillAWholeExactly) {
  TRational sum(0);
  for (int i = 0; i < 12; ++i) {
    sum += NoteFraction(1, 8, 0, 3);
  }
  EXPECT_EQ(sum, TRational(1));
}

TEST(NoteFraction, ManyDotsStayFiniteAndBelowDouble) {
  TRational many = NoteFraction(1, 1, 255, 1);
  ASSERT_TRUE(many.Valid());
  EXPECT_LT(many, TRational(2));
  EXPECT_GT(many, NoteFraction(1, 1, 8, 1));
}

TEST(Rational, OverflowBecomesInvalidAndStaysSo) {
  TRational big(int64_t{1} << 62, 1);
  TRational sum = big + big;
  EXPECT_FALSE(sum.Valid());
  EXPECT_FALSE((sum - big).Valid());
  EXPECT_FALSE(sum == sum);
  EXPECT_EQ(TRational(6, -8).ToString(), "-3/4");
  EXPECT_FALSE(TRational(1, 0).Valid());
  EXPECT_FALSE((TRational(1) / TRational(0)).Valid());
}

TEST(ClassifyText, CharacterClasses) {
  const std::pair<std::string, uint8_t> cases[] = {
      {"12,5", 2}, {"-3", 2},  {"a-3", 7}, {"tempo", 1}, {"a b", 9}, {"", 0},
      {"3-", 6},   {"x.y", 1}, {"\xC0\xE1\xA8", 1},      {"a1", 3},  {"(", 4},
  };
  for (const auto& [text, bits] : cases) {
    EXPECT_EQ(ClassifyText(text), bits) << text;
  }
}

TEST(HexDigitValue, DigitsAndOthers) {
  const std::pair<char, uint8_t> cases[] = {{'0', 0}, {'9', 9}, {'A', 10}, {'f', 15}, {'g', 0}, {' ', 0}};
  for (const auto& [c, v] : cases) {
    EXPECT_EQ(HexDigitValue(c), v) << c;
  }
}

}  // namespace
