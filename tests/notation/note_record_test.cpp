#include "notation/note_record.h"

#include <gtest/gtest.h>

namespace {

TEST(AddInterval, SkipsDuplicatesOnlyWhenAsked) {
  std::vector<TIntervalRec> list;
  AddInterval(list, 3, 5, TKeySign::No, 0, true);
  AddInterval(list, 3, 5, TKeySign::No, 1, true);
  AddInterval(list, 3, 5, TKeySign::Sharp, 1, true);
  AddInterval(list, 3, 5, TKeySign::No, 0, false);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Flag, 0);
  EXPECT_EQ(list[1].Accidental, TKeySign::Sharp);
  EXPECT_EQ(list[1].Flag, kIntervalTied);
  FreeIntervals(list);
  EXPECT_TRUE(list.empty());
}

}  // namespace
