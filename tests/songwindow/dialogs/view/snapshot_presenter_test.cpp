// The snapshot presenter on Qt's offscreen platform: a render thread asks through the
// program's broker, the window thread shows the window, and closing or Stop answers it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <future>

#include "render/render_globals.h"
#include "render/snapshot_broker.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/view/snapshot_presenter.h"
#include "songwindow/dialogs/view/snapshot_window_view.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

class SnapshotPresenterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    RenderRun().Stop = false;
  }
  void TearDown() override {
    RenderRun().Stop = false;
    GHandlerInterruption = nullptr;
  }

  // Asks for snapshot `number` from a thread of its own, as the render does.
  static std::future<bool> AskFromRender(uint8_t number) {
    return std::async(std::launch::async, [number] {
      THandlerSnapshot snapshot;
      snapshot.Number = number;
      snapshot.Text = "look";
      snapshot.Variables = {{"n", "", 5}};
      return SnapshotBroker().Ask(std::move(snapshot));
    });
  }
  // The snapshot window once the window thread has shown it.
  static TSnapshotWindowView* Shown() {
    TSnapshotWindowView* view = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* v = dynamic_cast<TSnapshotWindowView*>(w); v != nullptr && v->isVisible()) {
          view = v;
        }
      }
      return view != nullptr;
    }));
    return view;
  }
  static bool NoneShown() {
    return QTest::qWaitFor([] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (dynamic_cast<TSnapshotWindowView*>(w) != nullptr && w->isVisible()) {
          return false;
        }
      }
      return true;
    });
  }
};

TEST_F(SnapshotPresenterTest, ClosingTheWindowAnswersTheRender) {
  QWidget owner;
  TSnapshotPresenter presenter(&owner);
  std::future<bool> asked = AskFromRender(40);
  TSnapshotWindowView* view = Shown();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->List(0)->item(0)->text(), "n");
  view->HideBox()->setChecked(true);
  QTest::keyClick(view->List(0), Qt::Key_Escape);
  EXPECT_TRUE(asked.get());
  EXPECT_TRUE(NoneShown());
}

TEST_F(SnapshotPresenterTest, AStopClosesTheOpenWindowUnanswered) {
  QWidget owner;
  TSnapshotPresenter presenter(&owner);
  std::future<bool> asked = AskFromRender(41);
  ASSERT_NE(Shown(), nullptr);
  RenderRun().Stop = true;
  SnapshotBroker().Cancel();
  EXPECT_FALSE(asked.get());
  EXPECT_TRUE(NoneShown());
  EXPECT_FALSE(GSnapshotShown[41]) << "the user never closed it";
}

TEST_F(SnapshotPresenterTest, AnInterruptionOnTheWindowThreadGoesOnAtOnce) {
  QWidget owner;
  TSnapshotPresenter presenter(&owner);
  ASSERT_TRUE(GHandlerInterruption);
  THandlerSnapshot snapshot;
  EXPECT_FALSE(SnapshotBroker().Ask(std::move(snapshot)));
  EXPECT_TRUE(NoneShown());
}

}  // namespace
