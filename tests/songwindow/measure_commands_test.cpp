#include <gtest/gtest.h>

#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "tests/songwindow/command_rig.h"

namespace {

using namespace songwindowtest;

using TLines = std::vector<std::string>;

class MeasureCommandsTest : public CommandTest {
 protected:
  // The music lines of the four tracks.
  std::vector<TLines> Song() const {
    std::vector<TLines> song;
    for (int n = 0; n < 4; ++n) {
      song.push_back(Track(n)->MusicStrings);
    }
    return song;
  }
};

TEST_F(MeasureCommandsTest, DeleteVoiceTakesOneVoiceOutOfEveryMeasure) {
  struct TCase {
    TLines lines;
    uint16_t voice;
    TLines expected;
  };
  const TCase cases[] = {
      {{"a()b()c", "d"}, 1, {"b()c", ""}},
      {{"a()b()c", "d"}, 2, {"a()c", "d"}},
      {{"a()b()c", "d"}, 3, {"a()b", "d"}},
      {{"a()b()c", "d"}, 4, {"a()b()c", "d"}},
  };
  for (const TCase& c : cases) {
    Track(1)->MusicStrings = c.lines;
    Track(1)->Voice = c.voice;
    GoTo(1, 1);
    rig_.questions.answers = {mbOk};
    window_.DeleteVoice();
    EXPECT_EQ(Track(1)->MusicStrings, c.expected) << c.voice;
    EXPECT_EQ(Track(1)->Voice, c.voice);
    EXPECT_EQ(UndoLabel(), "Удаление голоса");
    EXPECT_EQ(rig_.questions.asked,
              TLines{"0 Вы уверены, что хотите удалить голос " + std::to_string(c.voice) + "?"});
    ASSERT_FALSE(rig_.speaker.said.empty());
    EXPECT_EQ(rig_.speaker.said[0], "I Голос " + std::to_string(c.voice));
  }
  const int32_t count = UndoCount();
  GoTo(1, 1);
  rig_.questions.answers = {mbCancel};
  window_.DeleteVoice();
  EXPECT_EQ(UndoCount(), count);
  EXPECT_EQ(Track(1)->MusicStrings, (TLines{"a()b()c", "d"}));
}

// Clearing and deleting ranges: the undo label, the place and what each track keeps.
TEST_F(MeasureCommandsTest, ClearAndDeleteWorkOnTheMeasuresThatExist) {
  struct TCase {
    const char* name;
    bool clear;  // else delete
    uint16_t choice, from, to;
    std::vector<TLines> song;
    int32_t measure;  // CurrentMeasure after, from 3
  };
  const TCase cases[] = {
      {"clear the voice", true, 1, 1, 3, {{"Vd4m"}, {"a()m()c", "d", "e"}, {"x", "y"}, {"z"}}, 1},
      {"clear the track, past its end", true, 2, 2, 9, {{"Vd4m"}, {"a()b()c", "", ""}, {"x", "y"}, {"z"}}, 3},
      {"clear every track", true, 3, 2, 2, {{"Vd4m"}, {"a()b()c", "", "e"}, {"x", ""}, {"z"}}, 3},
      {"delete one measure", false, 1, 2, 2, {{"Vd4m"}, {"a()b()c", "e"}, {"x"}, {"z"}}, 2},
      {"delete past the end", false, 1, 2, 100, {{"Vd4m"}, {"a()b()c"}, {"x"}, {"z"}}, 1},
      {"delete every measure", false, 1, 1, 3, {{"m"}, {"m"}, {"m"}, {"m"}}, 1},
  };
  for (const TCase& c : cases) {
    SetUp();
    GoTo(1, 3);
    uint16_t mode = 0;
    rig_.windowDialogs.answers[TWindowDialog::MeasureRange] = [&c, &mode] {
      mode = RangeDialogMode;
      RangeVoiceChoice = c.choice, RangeFrom = c.from, RangeTo = c.to;
    };
    c.clear ? window_.ClearTackt() : window_.DeleteTackt();
    EXPECT_EQ(mode, c.clear ? 1 : 2) << c.name;
    EXPECT_EQ(Song(), c.song) << c.name;
    EXPECT_EQ(window_.CurrentMeasure, c.measure) << c.name;
    EXPECT_EQ(UndoLabel(), c.clear ? "Очистку" : "Удаление тактов") << c.name;
    ASSERT_FALSE(rig_.speaker.said.empty()) << c.name;
    EXPECT_EQ(rig_.speaker.said[0], "I Такт " + std::to_string(c.measure)) << c.name;
    EXPECT_TRUE(rig_.signaller.kinds.empty()) << c.name;
    TearDown();
  }
}

// A range that runs backwards or holds no measure is refused with a spoken reason, rather
// than run backwards or padding tracks with empty measures; a cancelled dialog does nothing.
// No undo step either way.
TEST_F(MeasureCommandsTest, RefusedAndCancelledRangesChangeNothing) {
  struct TCase {
    const char* name;
    bool answered;
    uint16_t choice, from, to;
    const char* said;  // nullptr: nothing
  };
  const TCase cases[] = {
      {"backwards", true, 2, 3, 2, "I Первый такт 3 больше последнего 2: ничего не изменено"},
      {"past every measure", true, 3, 7, 9, "I Тактов с 7 по 9 нет: ничего не изменено"},
      {"cancelled", false, 0, 0, 0, nullptr},
  };
  for (const TCase& c : cases) {
    for (int command = 0; command < 3; ++command) {
      GoTo(1, 1);
      rig_.editors.notes_focused = true;
      rig_.windowDialogs.answers.clear();
      if (c.answered) {
        AnswerRange(c.choice, c.from, c.to);
      }
      MeasureClipboardKind = 0;
      const std::vector<TLines> before = Song();
      const int32_t count = UndoCount();
      if (command == 0) {
        window_.ClearTackt();
      } else if (command == 1) {
        window_.DeleteTackt();
      } else {
        EXPECT_TRUE(window_.CopyData());
      }
      EXPECT_EQ(Song(), before) << c.name << command;
      EXPECT_EQ(UndoCount(), count) << c.name << command;
      EXPECT_EQ(MeasureClipboardKind, 0) << c.name << command;
      EXPECT_EQ(rig_.speaker.said, c.said ? TLines{c.said} : TLines{}) << c.name << command;
      EXPECT_EQ(rig_.signaller.kinds, c.said ? std::vector<uint8_t>{sError} : std::vector<uint8_t>{})
          << c.name << command;
    }
  }
}

// The three kinds of the measure clipboard, copied and pasted.
TEST_F(MeasureCommandsTest, MeasureClipboardsOfTheThreeKinds) {
  struct TCase {
    const char* name;
    uint16_t choice, from, to;  // copied from Piano (voice 2)
    uint8_t kind;
    int pasteTrack;
    int32_t pasteMeasure;
    std::vector<TLines> song;  // after the paste
  };
  const TCase cases[] = {
      // Voice 2 of measures 1..3 ("b" and two empty voices) as voice 1 of Bass from measure 2.
      {"voices", 1, 1, 3, 1, 3, 2, {{"Vd4m"}, {"a()b()c", "d", "e"}, {"x", "y"}, {"z", "b"}}},
      // Two whole measures at measure 5 of a one-measure track: 2..4 padded with "m".
      {"measures", 2, 1, 2, 2, 3, 5, {{"Vd4m"}, {"a()b()c", "d", "e"}, {"x", "y"}, {"z", "m", "m", "m", "a()b()c", "d"}}},
      // Measures 2..3 of every track, each pasted into its own track at measure 1.
      {"every track", 3, 2, 3, 3, 2, 1, {{"Vd4m"}, {"d", "e", "e"}, {"y", "y"}, {"z"}}},
  };
  for (const TCase& c : cases) {
    SetUp();
    GoTo(1, 1);
    rig_.editors.notes_focused = true;
    uint16_t mode = 0;
    rig_.windowDialogs.answers[TWindowDialog::MeasureRange] = [&c, &mode] {
      mode = RangeDialogMode;
      RangeVoiceChoice = c.choice, RangeFrom = c.from, RangeTo = c.to;
    };
    const int32_t count = UndoCount();
    ASSERT_TRUE(window_.CopyData()) << c.name;
    EXPECT_EQ(mode, 3) << c.name;
    EXPECT_EQ(MeasureClipboardKind, c.kind) << c.name;
    EXPECT_EQ(UndoCount(), count) << c.name;
    ASSERT_FALSE(rig_.speaker.said.empty()) << c.name;
    EXPECT_EQ(rig_.speaker.said[0], "I Такт 1") << c.name;
    GoTo(c.pasteTrack, c.pasteMeasure);
    rig_.editors.notes_focused = true;
    const PTreck current = window_.CurrentTrack;
    ASSERT_TRUE(window_.PasteData()) << c.name;
    EXPECT_EQ(Song(), c.song) << c.name;
    EXPECT_EQ(window_.CurrentTrack, current) << c.name;
    EXPECT_EQ(window_.CurrentMeasure, c.pasteMeasure) << c.name;
    EXPECT_EQ(UndoLabel(), "Вставку нотного текста") << c.name;
    ASSERT_FALSE(rig_.speaker.said.empty()) << c.name;
    EXPECT_EQ(rig_.speaker.said[0], "I Такт " + std::to_string(c.pasteMeasure)) << c.name;
    TearDown();
  }
}

TEST_F(MeasureCommandsTest, TheVoiceClipboardHoldsEmptyVoicesOfExistingMeasures) {
  rig_.editors.notes_focused = true;
  AnswerRange(1, 1, 9);
  ASSERT_TRUE(window_.CopyData());
  EXPECT_EQ(MeasureClipboard, (TLines{"b", "", ""}));
  AnswerRange(3, 3, 9);
  ASSERT_TRUE(window_.CopyData());
  ASSERT_EQ(SongMeasureClipboard.size(), 4u);
  EXPECT_EQ(SongMeasureClipboard[1].MusicStrings, TLines{"e"});
  EXPECT_TRUE(SongMeasureClipboard[2].MusicStrings.empty());
  EXPECT_EQ(SongMeasureClipboard[2].Channel, 10);
}

// Away from the Braille editor the two commands are the view's (the program editor's own
// copy and paste); with nothing copied a paste beeps.
TEST_F(MeasureCommandsTest, CopyAndPasteNeedTheBrailleEditorAndSomethingCopied) {
  rig_.editors.notes_focused = false;
  AnswerRange(2, 1, 1);
  EXPECT_FALSE(window_.CopyData());
  EXPECT_FALSE(window_.PasteData());
  EXPECT_TRUE(rig_.windowDialogs.shown.empty());
  EXPECT_EQ(MeasureClipboardKind, 0);
  rig_.editors.notes_focused = true;
  EXPECT_TRUE(window_.PasteData());
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(UndoCount(), 0);
}

// What was typed is committed before the range dialog opens and is in the undo snapshot;
// undoing the deletion gives it back.
TEST_F(MeasureCommandsTest, TypedTextIsCommittedAndTheDeletionUndone) {
  rig_.editors.notes = "q";
  AnswerRange(1, 1, 1);
  window_.DeleteTackt();
  EXPECT_EQ(Track(1)->MusicStrings, (TLines{"d", "e"}));
  RestoreNewest();
  EXPECT_EQ(Track(1)->MusicStrings, (TLines{"a()q()c", "d", "e"}));
  EXPECT_EQ(Track(2)->MusicStrings, (TLines{"x", "y"}));
}

}  // namespace
