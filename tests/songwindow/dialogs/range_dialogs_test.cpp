#include "songwindow/dialogs/range_dialogs.h"

#include <gtest/gtest.h>

#include "settings/lang_texts.h"
#include "songwindow/parts/dialog_results.h"
#include "songwindow/parts/key_codes.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

// A song whose melody track has `measures` measures; measure 3 holds three voices.
std::vector<std::string> Song(int measures) {
  std::vector<std::string> lines = {"1 0 0 1 0 0 0", "Общее", "m",
                                    std::to_string(measures) + " 0 1 1 0 0 0", "Мелодия"};
  for (int m = 1; m <= measures; ++m) {
    lines.push_back(m == 3 ? "a()b()c" : "a");
  }
  return lines;
}

class RangeDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadLanguage();
    LoadSongText(window_, Song(12));
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    RangeDialogMode = 1;
  }
  // Makes the control track current.
  void ToControlTrack() {
    window_.CurrentTrack = window_.HeadTreck;
    window_.ShowTreck(smSilent);
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(RangeDialogsTest, StepKeysChangeTheNumberThroughTheRuleAndSpeakIt) {
  struct TCase {
    const char* start;
    uint16_t key;
    const char* want;  // the text after the key
    bool spoken;
  };
  const TCase cases[] = {
      {"8", vkPrior, "12", true},  // clamped to the 12 measures
      {"1", vkPrior, "11", true},  {"5", vkNext, "1", true},   {"12", vkNext, "2", true},
      {"5", vkUp, "6", true},      {"12", vkUp, "12", true},   {"1", vkDown, "1", true},
      {"7", vkHome, "1", true},    {"3", vkEnd, "12", true},   {"", vkUp, "1", true},
      {"5", vkLeft, "5", false},   {"5", vkRight, "5", false}, {"5", vkReturn, "5", false},
  };
  for (const TCase& c : cases) {
    TMeasureRangeDialog dialog(window_);
    dialog.From.Text = c.start;
    rig_.speaker.said.clear();
    EXPECT_EQ(dialog.From.KeyUp(c.key), c.spoken) << c.start << " key " << c.key;
    EXPECT_EQ(dialog.From.Text, c.want) << c.start << " key " << c.key;
    const std::vector<std::string> said = c.spoken ? std::vector<std::string>{std::string("I ") + c.want}
                                                   : std::vector<std::string>{};
    EXPECT_EQ(rig_.speaker.said, said) << c.start << " key " << c.key;
  }
}

TEST_F(RangeDialogsTest, TypedAndPastedTextIsRefusedUnlessItIsANumberTheFieldHolds) {
  struct TCase {
    const char* before;
    const char* typed;
    bool taken;
    const char* want;
  };
  // The go-to measure field: up to 34463, 0 and empty become 1 (selected, so typing
  // replaces it); any number above 34463 becomes 34463, never wrapped; letters are refused.
  const TCase cases[] = {
      {"4", "45", true, "45"},       {"4", "40000", true, "34463"}, {"4", "65535", true, "34463"},
      {"4", "65536", true, "34463"}, {"4", "99999", true, "34463"}, {"4", "131073", true, "34463"},
      {"4", "4a", false, "4"},
      {"4", "-3", false, "4"},       {"4", " 7", false, "4"},       {"4", "", true, "1"},
      {"4", "0", true, "1"},         {"4", "007", true, "007"},
  };
  for (const TCase& c : cases) {
    TGoToDialog dialog(window_);
    dialog.Measure.Text = c.before;
    rig_.signaller.kinds.clear();
    EXPECT_EQ(dialog.Measure.Edited(c.typed), c.taken) << c.typed;
    EXPECT_EQ(dialog.Measure.Text, c.want) << c.typed;
    EXPECT_EQ(rig_.signaller.kinds, c.taken ? std::vector<uint8_t>{} : std::vector<uint8_t>{101}) << c.typed;
    EXPECT_EQ(dialog.Measure.SelectAll, c.taken && std::string(c.typed) != c.want) << c.typed;
  }
  EXPECT_TRUE(TNumberField::Accepts(U'7'));
  EXPECT_TRUE(TNumberField::Accepts(8));
  EXPECT_FALSE(TNumberField::Accepts(U'a'));
  EXPECT_FALSE(TNumberField::Accepts(U'-'));
}

TEST_F(RangeDialogsTest, TheFirstFieldPushesTheLastOneWhichWaitsForConfirmation) {
  window_.CurrentMeasure = 3;
  TMeasureRangeDialog dialog(window_);
  EXPECT_EQ(dialog.From.Text, "3");
  EXPECT_EQ(dialog.To.Text, "3");
  ASSERT_TRUE(dialog.From.Edited("5"));
  EXPECT_EQ(dialog.To.Text, "5");  // the range never runs backwards
  // "12" typed into the last field passes through "1" without being corrected.
  ASSERT_TRUE(dialog.To.Edited("1"));
  EXPECT_EQ(dialog.To.Text, "1");
  ASSERT_TRUE(dialog.To.Edited("12"));
  EXPECT_EQ(dialog.To.Text, "12");
  ASSERT_TRUE(dialog.To.Edited("2"));
  dialog.Ok();
  EXPECT_EQ(dialog.To.Text, "5");
  EXPECT_EQ(RangeFrom, 5);
  EXPECT_EQ(RangeTo, 5);
  // Past the track's end both are clamped; the first field at once.
  TMeasureRangeDialog again(window_);
  ASSERT_TRUE(again.From.Edited("40"));
  EXPECT_EQ(again.From.Text, "12");
  ASSERT_TRUE(again.To.Edited("99"));
  again.To.Confirm();
  EXPECT_EQ(again.To.Text, "12");
}

TEST_F(RangeDialogsTest, StartsFromTheCurrentMeasureClampedToTheTrack) {
  window_.CurrentMeasure = 30;
  TMeasureRangeDialog dialog(window_);
  EXPECT_EQ(dialog.From.Text, "12");
  EXPECT_EQ(dialog.To.Text, "12");
}

TEST_F(RangeDialogsTest, CaptionsAndVoicesFollowTheMode) {
  struct TCase {
    uint16_t mode;
    const char* caption;
    const char* ok;
    std::vector<std::string> voices;
  };
  const std::vector<std::string> voices = {"Голос 1", "Все голоса трека", "Все треки"};
  const TCase cases[] = {
      {1, "Очисттка", "Очистить", voices},
      {2, "Удаление", "Удалить", {}},
      {3, "Копирование", "Копировать", voices},
  };
  for (const TCase& c : cases) {
    RangeDialogMode = c.mode;
    TMeasureRangeDialog dialog(window_);
    EXPECT_EQ(U(dialog.Caption), c.caption);
    EXPECT_EQ(U(dialog.OkCaption), c.ok);
    EXPECT_EQ(U(dialog.FromLabel), "С такта:");
    EXPECT_EQ(U(dialog.ToLabel), "по:");
    EXPECT_EQ(U(dialog.CancelCaption), "Отмена");
    std::vector<std::string> got;
    for (const std::string& v : dialog.Voices) {
      got.push_back(U(v));
    }
    EXPECT_EQ(got, c.voices) << c.mode;
  }
  ASSERT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/English.lng"));
  RangeDialogMode = 1;
  TMeasureRangeDialog english(window_);
  EXPECT_EQ(english.Caption, "Clearing");
  EXPECT_EQ(english.ToLabel, "to:");
  EXPECT_EQ(english.Voices.front(), "Voice 1");
  UnloadLanguage();
}

TEST_F(RangeDialogsTest, OkAndCancelHandBackTheRange) {
  struct TCase {
    uint16_t mode;
    bool ok;
    int32_t voice;  // the entry chosen
    uint16_t choice, from;
  };
  const TCase cases[] = {
      {1, true, 1, 2, 4}, {3, true, 2, 3, 4}, {2, true, 2, 1, 4},  // delete: the current voice
      {1, false, 1, 0, 0}, {2, false, 0, 0, 0},
  };
  for (const TCase& c : cases) {
    RangeDialogMode = c.mode;
    RangeVoiceChoice = 9;
    RangeFrom = 9;
    TMeasureRangeDialog dialog(window_);
    EXPECT_EQ(RangeVoiceChoice, 0);
    dialog.From.Edited("4");
    dialog.To.Edited("6");
    dialog.Voice = c.voice;
    c.ok ? dialog.Ok() : dialog.Cancel();
    EXPECT_EQ(RangeVoiceChoice, c.choice) << c.mode << c.ok;
    EXPECT_EQ(RangeFrom, c.from) << c.mode << c.ok;
    if (c.ok) {
      EXPECT_EQ(RangeTo, 6);
    }
  }
}

TEST_F(RangeDialogsTest, GoToVoiceFieldKnowsTheMeasureAndTheControlTrack) {
  TGoToDialog dialog(window_);
  EXPECT_EQ(U(dialog.Caption), "Перейти...");
  EXPECT_EQ(U(dialog.MeasureLabel), "Номер такта:");
  EXPECT_EQ(U(dialog.VoiceLabel), "Номер голоса:");
  EXPECT_EQ(GoToConfirmed, 0);
  EXPECT_FALSE(dialog.Voice.ReadOnly);
  dialog.Measure.Edited("3");
  dialog.Voice.KeyUp(vkEnd);
  EXPECT_EQ(dialog.Voice.Text, "3");  // "a()b()c"
  dialog.Measure.Edited("20");  // beyond the track's last line
  dialog.Voice.KeyUp(vkEnd);
  EXPECT_EQ(dialog.Voice.Text, "1");
  dialog.Measure.KeyUp(vkEnd);
  EXPECT_EQ(dialog.Measure.Text, "12");
  dialog.Voice.Edited("51");
  EXPECT_EQ(dialog.Voice.Text, "50");
  dialog.Ok();
  EXPECT_EQ(GoToConfirmed, 1);
  EXPECT_EQ(GoToMeasure, 12);
  EXPECT_EQ(GoToVoice, 50);

  ToControlTrack();
  TGoToDialog control(window_);
  EXPECT_EQ(GoToConfirmed, 0);
  EXPECT_TRUE(control.Voice.ReadOnly);
  EXPECT_FALSE(control.Voice.Edited("2"));
  control.Voice.KeyUp(vkUp);
  EXPECT_EQ(control.Voice.Text, "1");
  control.Cancel();
  EXPECT_EQ(GoToConfirmed, 0);
}

}  // namespace
