#include "notation/value_resolution.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "base/note_arithmetic.h"

namespace {

TValueCell Free(uint8_t value, uint8_t dots = 0, uint8_t tuplet = 1) {
  return {0, value, dots, tuplet};
}

// The search as the notation defines it: every candidate path expanded, none merged. (The
// translation tests check the named cases end to end.)
struct TBrute {
  const std::vector<TValueCell>& cells;
  TRational length;
  int plain = 0;
  int grouped = 0;
  bool tooLong = false;
  std::vector<TValueChoice> path;
  std::vector<TValueChoice> lastPlain;
  std::vector<TValueChoice> lastGrouped;

  void Walk(size_t i, TRational sum, TValueChoice previous, bool groupedSoFar) {
    if (i == cells.size()) {
      if (sum == length) {
        (groupedSoFar ? grouped : plain)++;
        (groupedSoFar ? lastGrouped : lastPlain) = path;
      }
      return;
    }
    const TValueCell& c = cells[i];
    auto child = [&](TValueChoice choice, bool g) {
      TRational next = sum + NoteFraction(choice.Kind, choice.Value, c.Dots, c.Tuplet);
      if (next > length) {
        tooLong = true;
        return;
      }
      path.push_back(choice);
      Walk(i + 1, next, choice, g);
      path.pop_back();
    };
    for (uint8_t kind = 1; kind <= 2; ++kind) {
      if (c.FixedKind == 0 || c.FixedKind == kind) {
        child({kind, c.Value}, groupedSoFar);
      }
    }
    if (c.Value == 8 && (c.FixedKind == 0 || c.FixedKind == previous.Kind) && i > 0 && previous.Value != 8) {
      child(previous, true);
    }
  }
};

TEST(SearchMeasureValues, AgreesWithTheFullSearch) {
  std::mt19937 random(4242);
  const uint8_t values[] = {1, 2, 4, 8};
  int unique = 0;
  for (int round = 0; round < 3000; ++round) {
    // Cells from an intended reading, with grouped eighth cells now and then.
    size_t n = 1 + random() % 7;
    std::vector<TValueCell> cells;
    TRational sum(0);
    TValueChoice previous;
    for (size_t i = 0; i < n; ++i) {
      TValueChoice choice{static_cast<uint8_t>(1 + random() % 2), values[random() % 4]};
      TValueCell cell{0, choice.Value, static_cast<uint8_t>(random() % 6 == 0), static_cast<uint8_t>(random() % 8 == 0 ? 3 : 1)};
      if (i > 0 && previous.Value != 8 && random() % 3 == 0) {
        choice = previous;
        cell.Value = 8;
      }
      if (random() % 5 == 0) {
        cell.FixedKind = choice.Kind;
      }
      sum += NoteFraction(choice.Kind, choice.Value, cell.Dots, cell.Tuplet);
      cells.push_back(cell);
      previous = choice;
    }
    TRational length = random() % 4 == 0 ? TRational(1 + random() % 8, 8) : sum;
    TBrute brute{cells, length, 0, 0, false, {}, {}, {}};
    brute.Walk(0, TRational(0), {}, false);
    bool plainDecides = brute.plain >= 1 && (brute.plain == 1 || brute.grouped != 1);
    int count = plainDecides ? brute.plain : brute.grouped;
    uint8_t code = count == 0 ? (brute.tooLong ? 2 : 3) : (count > 1 ? 4 : 0);
    TValueSearch r = SearchMeasureValues(cells, length);
    ASSERT_EQ(r.Code, code) << round;
    if (code == 0) {
      ++unique;
      EXPECT_EQ(r.Choices, plainDecides ? brute.lastPlain : brute.lastGrouped) << round;
    }
  }
  EXPECT_GT(unique, 500);
}

TEST(GapRests, LargestFirstInWholeNotes) {
  auto encode = [](TRational gap) { return EncodeSolution(GapRests(gap)); };
  EXPECT_EQ(encode(TRational(1, 2)), "ln");
  EXPECT_EQ(encode(TRational(5, 8)), "lnld");
  EXPECT_EQ(encode(TRational(3)), "lylyly");
  EXPECT_EQ(encode(TRational(1, 16)), "sy");
  EXPECT_EQ(encode(TRational(3, 128)), "sPsd");
  EXPECT_EQ(encode(TRational(0)), "");
}

TEST(ExcessText, TermsOfTheMeasureLength) {
  EXPECT_EQ(ExcessText(TRational(1, 4), TRational(1)), "1/4");
  EXPECT_EQ(ExcessText(TRational(3, 8), TRational(3, 4)), "1/2");
  EXPECT_EQ(ExcessText(TRational(15, 16), TRational(3, 4)), "1/1 + 1/4");
  EXPECT_EQ(ExcessText(TRational(3, 2), TRational(1, 2)), "3/1");
}

TEST(RhythmKey, FixedKindsTupletsAndDots) {
  EXPECT_EQ(RhythmKey(3, 4, {{1, 4, 0, 1}, {0, 8, 0, 3}, {2, 8, 1, 1}}), "0.75:lPr3dsd.");
  EXPECT_EQ(RhythmKey(4, 4, {Free(4), Free(4), Free(4, 0, 5)}), "1:PPr5P");
  EXPECT_EQ(RhythmKey(6, 8, {Free(2, 1)}), "0.75:n.");
}

TEST(DecodeSolution, ChecksEverything) {
  const std::vector<TValueCell> cells = {Free(4), Free(1), Free(8), {1, 4, 0, 1}};
  const TRational length = TRational(1, 4) + TRational(1, 16) + TRational(1, 16) + TRational(1, 4);
  std::vector<TValueChoice> choices;
  const std::pair<const char*, bool> cases[] = {
      {"lPsysylP", true},   // grouped eighth takes the value before it
      {"lPsysy", false},    // short
      {"lPsysylPlP", false},  // long
      {"lPsyldlP", false},  // wrong sum
      {"lPsysx lP", false}, // bad letter
      {"lPsyqylP", false},  // bad kind letter
      {"lPsysysP", false},  // against a fixed kind
      {"lPsnsnlP", false},  // a value the cell cannot take
  };
  for (const auto& [solution, ok] : cases) {
    EXPECT_EQ(DecodeSolution(solution, cells, length, choices), ok) << solution;
  }
  ASSERT_TRUE(DecodeSolution("lPsysylP", cells, length, choices));
  EXPECT_EQ(EncodeSolution(choices), "lPsysylP");
}

}  // namespace
