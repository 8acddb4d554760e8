#include "harmony/harmony_records.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseChordLine, ReadsNamePositionAndDegrees) {
  std::vector<TChords> list;
  ParseChordLine(list, "t7m", "1357");
  ParseChordLine(list, "d6c", "3151");
  ParseChordLine(list, "sb", "1513");
  ParseChordLine(list, "su", "1135");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Name, "t7");
  EXPECT_EQ(list[0].Position, kPositionMixed);
  EXPECT_EQ(list[0].Degrees, (std::array<uint8_t, 4>{1, 3, 5, 7}));
  EXPECT_EQ(list[1].Position, kPositionClosely);
  EXPECT_EQ(list[1].Degrees, (std::array<uint8_t, 4>{3, 1, 5, 1}));
  EXPECT_EQ(list[2].Name, "s");
  EXPECT_EQ(list[2].Position, kPositionBroadly);
  EXPECT_EQ(list[3].Position, kPositionUnknown);
}

TEST(ParseChordLine, MalformedEntriesAppendANamelessRecord) {
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"tx", "1357"}, {"t", "1357"}, {"tc", "135"}, {"tc", "13570"}, {"tc", "1358"}, {"", ""}}) {
    std::vector<TChords> list;
    ParseChordLine(list, key, value);
    ASSERT_EQ(list.size(), 1u) << key << "=" << value;
    EXPECT_EQ(list[0].Name, "") << key << "=" << value;
  }
}

TEST(ParseChordLine, UsesTheLettersInForce) {
  const char saved = PositionClosely;
  PositionClosely = 'e';
  std::vector<TChords> list;
  ParseChordLine(list, "te", "1351");
  ParseChordLine(list, "tc", "1351");
  PositionClosely = saved;
  EXPECT_EQ(list[0].Name, "t");
  EXPECT_EQ(list[0].Position, kPositionClosely);
  EXPECT_EQ(list[1].Name, "");
}

TEST(ParseStepLine, ReadsDegreeAndAlteration) {
  struct Case {
    std::string value;
    int32_t degree;
    int32_t alteration;
  };
  for (const Case& c : {Case{"6-3", 6, -3}, Case{"4+1", 4, 1}, Case{"5", 5, 0}, Case{"4+0", 4, 0},
                        Case{"4-0", 4, 0}, Case{"2+8", 2, 0}, Case{"9", 9, 0}, Case{"", 0, 0},
                        Case{"x-2", 0, 0}, Case{"-2", 0, -2}, Case{"5-12", 5, 0}}) {
    std::vector<TSteps> list;
    ParseStepLine(list, "dd", c.value);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "dd");
    EXPECT_EQ(list[0].Degree, c.degree) << c.value;
    EXPECT_EQ(list[0].Alteration, c.alteration) << c.value;
  }
}

TEST(ParseLadLine, ReadsKindAndAlterations) {
  std::vector<TLads> list;
  ParseLadLine(list, "moll", "minor -3 -6 -7");
  ParseLadLine(list, "dur", "major");
  ParseLadLine(list, "lyd", "other ++4");
  ParseLadLine(list, "mix", "+-7 8 +2");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Kind, 1);
  EXPECT_EQ(list[0].Alterations, (std::array<int32_t, 7>{0, 0, -1, 0, 0, -1, -1}));
  EXPECT_EQ(list[1].Kind, 0);
  EXPECT_EQ(list[1].Alterations, (std::array<int32_t, 7>{}));
  EXPECT_EQ(list[2].Kind, 2);
  EXPECT_EQ(list[2].Alterations[3], 2);
  EXPECT_EQ(list[3].Alterations[6], 0);  // "+-" cancel out
  EXPECT_EQ(list[3].Alterations[1], 1);  // the "8" is skipped
}

}  // namespace
