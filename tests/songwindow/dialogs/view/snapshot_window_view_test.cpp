// The snapshot window on Qt's offscreen platform: keys typed into the real lists.
#include <gtest/gtest.h>

#include <QTest>

#include <optional>

#include "render/render_state.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/view/snapshot_window_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

THandlerSnapshot Snapshot() {
  THandlerSnapshot s;
  s.Number = 9;
  s.Text = "look";
  s.Scope = "get.";
  s.Variables = {{"n", "get.", 5}};
  TMassiv a{"a", "get.", {}};
  a.Values[0] = 1;
  a.Values[20] = 21;
  a.Values[127] = 128;
  s.Arrays = {a};
  return s;
}

class SnapshotWindowViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    GSnapshotMemory = {};
    GSnapshotShown = {};
  }
  std::unique_ptr<TSnapshotWindowView> Open() {
    auto view = std::make_unique<TSnapshotWindowView>(
        Snapshot(), speaker, [this](bool hide) { answer = hide; });
    view->show();
    QApplication::setActiveWindow(view.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
    return view;
  }
  TRecordingSpeaker speaker;
  std::optional<bool> answer;
};

TEST_F(SnapshotWindowViewTest, ShowsTheVariablesWithTheirValueNamedForScreenReaders) {
  auto view = Open();
  EXPECT_EQ(view->windowTitle(), "look");
  ASSERT_EQ(view->List(0)->count(), 1);
  EXPECT_EQ(view->List(0)->item(0)->text(), "get.n");
  EXPECT_EQ(view->ValueEdit()->text(), "5");
  EXPECT_TRUE(view->ValueEdit()->isReadOnly());
  EXPECT_EQ(view->ValueLabel()->buddy(), view->ValueEdit());
  EXPECT_EQ(view->ValueEdit()->accessibleName(), QString::fromUtf8("Значение"));
  EXPECT_TRUE(view->List(0)->hasFocus());
}

// Shown again in the same play the value has the focus; a new play starts on the list of
// the page last shown.
TEST_F(SnapshotWindowViewTest, ANewPlayStartsOnTheList) {
  auto first = Open();
  first->Pages()->setCurrentIndex(1);
  QTest::keyClick(first->List(1), Qt::Key_Escape);
  ASSERT_FALSE(first->isVisible());
  auto again = Open();
  EXPECT_TRUE(again->ValueEdit()->hasFocus());
  QTest::keyClick(again->ValueEdit(), Qt::Key_Escape);
  PTreck head = nullptr;
  int count = 0;
  PrepareTracksForPlay(nullptr, head, count);
  auto replay = Open();
  EXPECT_TRUE(replay->List(1)->hasFocus());
  EXPECT_FALSE(replay->ValueEdit()->hasFocus());
}

TEST_F(SnapshotWindowViewTest, ArrayKeysInTheListStepTheElement) {
  auto view = Open();
  view->Pages()->setCurrentIndex(1);
  QListWidget* arrays = view->List(1);
  arrays->setFocus();
  QTest::keyClick(arrays, Qt::Key_PageUp);
  EXPECT_EQ(arrays->item(0)->text(), "get.a[20]");
  EXPECT_EQ(view->ValueEdit()->text(), "21");
  QTest::keyClick(arrays, Qt::Key_Home);
  QTest::keyClick(arrays, Qt::Key_Left);
  EXPECT_EQ(arrays->item(0)->text(), "get.a[127]");
  EXPECT_EQ(view->ValueEdit()->text(), "128");
  EXPECT_EQ(arrays->currentRow(), 0);
}

// From the value field, as from the lists, Ctrl+Tab and Ctrl+Shift+Tab turn the pages.
TEST_F(SnapshotWindowViewTest, CtrlTabTurnsThePagesFromTheValueField) {
  auto view = Open();
  view->ValueEdit()->setFocus();
  ASSERT_EQ(view->Pages()->currentIndex(), 0);
  QTest::keyClick(view->ValueEdit(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(view->Pages()->currentIndex(), 1);
  QTest::keyClick(view->ValueEdit(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(view->Pages()->currentIndex(), 0);
  QTest::keyClick(view->ValueEdit(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(view->Pages()->currentIndex(), 2);
  EXPECT_TRUE(view->ValueEdit()->hasFocus());
  QTest::keyClick(view->List(2), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(view->Pages()->currentIndex(), 0);
}

// Tab to the value field selects nothing: a screen reader hears no selection made and
// dropped while the user moves between the fields.
TEST_F(SnapshotWindowViewTest, TabToTheValueSelectsNothing) {
  auto view = Open();
  ASSERT_TRUE(view->List(0)->hasFocus());
  QTest::keyClick(view->List(0), Qt::Key_Tab);
  ASSERT_TRUE(view->ValueEdit()->hasFocus());
  EXPECT_FALSE(view->ValueEdit()->hasSelectedText());
  QTest::keyClick(view->ValueEdit(), Qt::Key_Backtab, Qt::ShiftModifier);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_TRUE(view->ValueEdit()->hasFocus());
  EXPECT_FALSE(view->ValueEdit()->hasSelectedText());
}

struct TCloseCase {
  const char* name;
  bool check;
  int key;  // 0: the frame
};

class SnapshotClosing : public SnapshotWindowViewTest,
                        public ::testing::WithParamInterface<TCloseCase> {};

// Esc, Enter and the frame all mean Continue, with the check box as the answer.
TEST_P(SnapshotClosing, EveryWayOutContinues) {
  auto view = Open();
  view->HideBox()->setChecked(GetParam().check);
  if (GetParam().key != 0) {
    QTest::keyClick(view->List(0), static_cast<Qt::Key>(GetParam().key));
  } else {
    view->close();
  }
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(*answer, GetParam().check);
  EXPECT_FALSE(view->isVisible());
  EXPECT_TRUE(GSnapshotShown[9]);
}

INSTANTIATE_TEST_SUITE_P(Ways, SnapshotClosing,
                         ::testing::Values(TCloseCase{"Esc", false, Qt::Key_Escape},
                                           TCloseCase{"EnterChecked", true, Qt::Key_Return},
                                           TCloseCase{"FrameChecked", true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SnapshotWindowViewTest, AWithdrawnWindowClosesWithoutAnAnswer) {
  auto view = Open();
  view->Withdraw();
  EXPECT_FALSE(view->isVisible());
  EXPECT_FALSE(answer.has_value());
}

}  // namespace
