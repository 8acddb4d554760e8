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

TEST(NoteList, OwnsItsNotesAndKeepsThemInPlace) {
  auto list = std::make_shared<TNoteList>();
  TNoteRec* first = list->NewNote();
  first->Step = 1;
  for (int i = 0; i < 1000; ++i) {
    list->NewNote();
  }
  EXPECT_EQ(first->Step, 1);  // earlier notes do not move
  EXPECT_EQ(first->Tuplet, 1);
  EXPECT_EQ(first->Transposition, kNoTransposition);
  EXPECT_EQ(first->Articulation, TShtrih::NonLegato);
  EXPECT_EQ(list->Size(), 1001u);
  FreeNoteList(list);
  EXPECT_EQ(list, nullptr);
}

}  // namespace
