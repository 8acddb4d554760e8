#include "songwindow/dialogs/snapshot_window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "render/render_state.h"
#include "settings/lang_texts.h"
#include "songwindow/parts/key_codes.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

class TRecordingTimer : public ISnapshotTimer {
 public:
  void Start(int32_t intervalMs) override { armed = intervalMs; }
  void Stop() override { armed = 0; }
  int32_t armed = 0;
};

TPeremennay Var(const std::string& scope, const std::string& name, long double value) {
  return {name, scope, value};
}

// An interruption inside block "ritmo" of "get", with a block elsewhere and globals.
THandlerSnapshot Snapshot(uint8_t number = 5) {
  THandlerSnapshot s;
  s.Number = number;
  s.Text = "look";
  s.Scope = "get.ritmo.";
  s.Position = 1000;
  s.Variables = {Var("get.ritmo.", "x", 1), Var("get.other.", "y", 2), Var("get.", "x", 3),
                 Var("", "g", 4)};
  s.Constants = {{"c", "get.other.", 6}, {"k", "get.", 7}};
  TMassiv a{"a", "get.", {}};
  for (int i = 0; i < 128; ++i) {
    a.Values[static_cast<size_t>(i)] = i * 10;
  }
  TMassiv hidden{"h", "get.other.", {}};
  s.Arrays = {a, hidden};
  s.Blocks = {{"swing:2", 400, false}, {"half", 0, true}, {"swing:2", 900, false}};
  return s;
}

class SnapshotWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadLanguage();
    GSnapshotMemory = {};
    GSnapshotShown = {};
    SnapshotHide = false;
  }
  TRecordingSpeaker speaker;
  TRecordingTimer timer;
};

TEST_F(SnapshotWindowTest, ListsWhatIsVisibleAtTheStatement) {
  TSnapshotWindow w(Snapshot(), speaker, &timer);
  EXPECT_EQ(w.Caption, "look");
  EXPECT_EQ(w.Lists[0], (std::vector<std::string>{"get.ritmo.x", "get.x", "g", "get.k"}));
  EXPECT_EQ(w.Lists[1], (std::vector<std::string>{"get.a[0]"}));
  EXPECT_EQ(w.Lists[2], (std::vector<std::string>{"swing:2", "swing:2"})) << "no functions";
  EXPECT_EQ(U(w.ContinueCaption), "Продолжить");
  EXPECT_EQ(U(w.HideCaption), "Больше не выводить этот срез");
}

// At a statement outside any block only the variables without a scope are listed; the
// constants and arrays of every scope are.
TEST_F(SnapshotWindowTest, OutsideAnyBlockOnlyVariablesWithoutAScopeAreListed) {
  THandlerSnapshot s = Snapshot();
  s.Scope.clear();
  TSnapshotWindow w(s, speaker, &timer);
  EXPECT_EQ(w.Lists[0], (std::vector<std::string>{"g", "get.other.c", "get.k"}));
  EXPECT_EQ(w.Lists[1], (std::vector<std::string>{"get.a[0]", "get.other.h[0]"}));
}

struct TDisplayCase {
  int page;
  int32_t row;
  const char* label;
  const char* value;
};

class SnapshotDisplay : public SnapshotWindowTest,
                        public ::testing::WithParamInterface<TDisplayCase> {};

// Each entry shows its own value: an inner x, the outer x and a same-named block each.
TEST_P(SnapshotDisplay, ShowsTheSelectedEntrysOwnValue) {
  const TDisplayCase& c = GetParam();
  TSnapshotWindow w(Snapshot(), speaker, &timer);
  w.Activate();
  w.SelectPage(c.page);
  w.Select(c.row);
  EXPECT_EQ(U(w.ValueLabel), c.label);
  EXPECT_EQ(U(w.Value), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SnapshotDisplay,
    ::testing::Values(TDisplayCase{0, 0, "Значение:", "1"}, TDisplayCase{0, 1, "Значение:", "3"},
                      TDisplayCase{0, 2, "Значение:", "4"}, TDisplayCase{0, 3, "Значение:", "7"},
                      TDisplayCase{1, 0, "Значение:", "0"},
                      TDisplayCase{2, 0, "Отработано:", "600"},
                      TDisplayCase{2, 1, "Отработано:", "100"}),
    [](const auto& info) {
      return "Page" + std::to_string(info.param.page) + "Row" + std::to_string(info.param.row);
    });

TEST_F(SnapshotWindowTest, LabelsCarryOneColonWhateverTheLanguageGives) {
  const auto lng = std::filesystem::temp_directory_path() / "snapshot_labels.lng";
  {
    std::ofstream out(lng, std::ios::binary);
    out << "316=Value:\r\n320=Running for\r\n";
  }
  ASSERT_TRUE(LoadLanguageFile(lng.string()));
  TSnapshotWindow w(Snapshot(), speaker, &timer);
  w.Activate();
  EXPECT_EQ(w.ValueLabel, "Value:");
  w.SelectPage(2);
  EXPECT_EQ(w.ValueLabel, "Running for:");
  UnloadLanguage();
  std::filesystem::remove(lng);
}

struct TElementCase {
  uint8_t from;
  uint16_t key;
  uint8_t to;
};

class ArrayElementKeys : public ::testing::TestWithParam<TElementCase> {};

// The element stays within the array, wrapping at both ends.
TEST_P(ArrayElementKeys, StepWithinTheArray) {
  uint8_t element = GetParam().from;
  ASSERT_TRUE(StepElement(element, GetParam().key));
  EXPECT_EQ(element, GetParam().to);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ArrayElementKeys,
    ::testing::Values(TElementCase{0, vkPrior, 20}, TElementCase{106, vkPrior, 126},
                      TElementCase{107, vkPrior, 0}, TElementCase{110, vkPrior, 0},
                      TElementCase{127, vkPrior, 0}, TElementCase{21, vkNext, 1},
                      TElementCase{20, vkNext, 127}, TElementCase{0, vkNext, 127},
                      TElementCase{126, vkRight, 127}, TElementCase{127, vkRight, 0},
                      TElementCase{0, vkLeft, 127}, TElementCase{5, vkLeft, 4},
                      TElementCase{90, vkHome, 0}, TElementCase{3, vkEnd, 127},
                      TElementCase{200, vkRight, 1}),
    [](const auto& info) {
      return "From" + std::to_string(info.param.from) + "Key" + std::to_string(info.param.key);
    });

TEST_F(SnapshotWindowTest, ArrayKeysRebuildTheListAndShowTheElement) {
  TSnapshotWindow w(Snapshot(), speaker, &timer);
  w.Activate();
  EXPECT_FALSE(w.ArrayKey(vkLeft)) << "only on the arrays page";
  w.SelectPage(1);
  EXPECT_TRUE(w.ArrayKey(vkLeft));
  EXPECT_EQ(w.Lists[1], std::vector<std::string>{"get.a[127]"});
  EXPECT_EQ(w.Value, "1270");
  EXPECT_FALSE(w.ArrayKey(vkUp));
}

TEST_F(SnapshotWindowTest, SpeaksOnlyOnceTheKeysRest) {
  TSnapshotWindow w(Snapshot(), speaker, &timer);
  w.Activate();
  EXPECT_EQ(timer.armed, 1000);
  w.KeyDown();
  EXPECT_EQ(timer.armed, 0) << "a key silences the pending speech";
  w.Select(1);
  EXPECT_TRUE(speaker.said.empty());
  w.TimerFired();
  EXPECT_EQ(speaker.said, (std::vector<std::string>{"S Значение:", "S 3"}));
  EXPECT_EQ(timer.armed, 0);
}

TEST_F(SnapshotWindowTest, OpeningAgainRestoresPageSelectionsAndElement) {
  {
    TSnapshotWindow w(Snapshot(), speaker, &timer);
    EXPECT_FALSE(w.FocusValue());
    w.Activate();
    w.Select(3);
    w.SelectPage(1);
    w.ArrayKey(vkEnd);
    w.Hide = true;
    EXPECT_TRUE(w.Continue());
    EXPECT_TRUE(SnapshotHide);
    EXPECT_TRUE(w.Lists[0].empty());
  }
  TSnapshotWindow again(Snapshot(), speaker, &timer);
  again.Activate();
  EXPECT_TRUE(again.FocusValue());
  EXPECT_EQ(again.Page(), 1);
  EXPECT_EQ(again.Selected(0), 3);
  EXPECT_EQ(again.Lists[1], std::vector<std::string>{"get.a[127]"});
  EXPECT_EQ(again.Value, "1270");
  EXPECT_FALSE(again.Continue());
  TSnapshotWindow other(Snapshot(6), speaker, &timer);
  EXPECT_FALSE(other.FocusValue()) << "each number remembers its own";
  EXPECT_EQ(other.Page(), 0);
}

// Every play starts with no snapshot shown; the page, selections and element stay.
TEST_F(SnapshotWindowTest, ANewPlayForgetsOnlyThatItWasShown) {
  {
    TSnapshotWindow w(Snapshot(), speaker, &timer);
    w.Activate();
    w.Select(2);
    w.SelectPage(1);
    w.ArrayKey(vkRight);
    w.Continue();
  }
  PTreck first = nullptr;
  int count = 0;
  PrepareTracksForPlay(nullptr, first, count);
  TSnapshotWindow replay(Snapshot(), speaker, &timer);
  replay.Activate();
  EXPECT_FALSE(replay.FocusValue());
  EXPECT_EQ(replay.Page(), 1);
  EXPECT_EQ(replay.Selected(0), 2);
  EXPECT_EQ(replay.Element(), 1);
  EXPECT_EQ(replay.Value, "10");
}

TEST_F(SnapshotWindowTest, ARememberedEntryPastAShorterListIsNotSelected) {
  GSnapshotMemory[5].Selected = {9, 0, 9};
  THandlerSnapshot s = Snapshot();
  s.Blocks.clear();
  TSnapshotWindow w(std::move(s), speaker, &timer);
  w.Activate();
  EXPECT_EQ(w.Selected(0), 0);
  EXPECT_EQ(w.Selected(2), -1);
  w.SelectPage(2);
  EXPECT_EQ(w.Value, "");
}

}  // namespace
