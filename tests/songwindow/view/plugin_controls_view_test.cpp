// The widgets of a format plug-in's controls on Qt's offscreen platform, with the probe
// plug-in of tests/plugins: its keys, renames and popup shortcuts as its header promises.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <utility>

#include "songwindow/view/song_window_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"
#include "tests/support/plugin_test_support.h"

namespace {

using namespace songwindowtest;

class PluginControlsViewTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    setenv("VELTO_SPEECH_LOG", "/dev/null", 1);
    setenv("VELTO_SIGNAL_LOG", "/dev/null", 1);
    ASSERT_TRUE(plugins_.Problems.empty());
    view_ = std::make_unique<TSongWindowView>(nullptr, 9, "prb");
    LoadSongText(view_->Controller(), {"1 0 0 1 1 1 1", "Song", "Vd4m", "1 0 1 1 1 1 1", "Melody", "MM"});
    view_->Controller().ShowTreck(smSilent);
    view_->show();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
  }
  template <class Widget>
  Widget* Control(int number) {
    return view_->findChild<Widget*>(QString("PluginControl%1").arg(number));
  }
  // The probe's edit (control 1): it writes what it got there and reads its mode from it.
  std::string& Edit() { return view_->Controller().PluginControl(1)->Text; }
  QLineEdit* FocusedEdit(const std::string& mode) {
    Edit() = mode;
    view_->Mirror();
    QLineEdit* edit = Control<QLineEdit>(1);
    edit->setFocus(Qt::TabFocusReason);
    edit->setCursorPosition(static_cast<int>(mode.size()));
    return edit;
  }

  TScopedProgramDir home_;
  testsupport::TScopedPlugins plugins_{home_.Dir().Path(), {"probe"}};
  std::unique_ptr<TSongWindowView> view_;
};

TEST_F(PluginControlsViewTest, AKeyThePlugInRewritesIsHandledAsThatKey) {
  struct TCase {
    const char* mode;
    Qt::KeyboardModifiers modifiers;
    const char* text;
    int caret;
  };
  const TCase cases[] = {
      {"key 87", Qt::NoModifier, "key 87w", 7},     // Q typed as W
      {"key 87", Qt::ShiftModifier, "key 87W", 7},  // with Shift
      {"key 188", Qt::NoModifier, "key 188,", 8},   // as the comma key
      {"key 101", Qt::NoModifier, "key 1015", 8},   // as the keypad's 5
      {"key 36", Qt::NoModifier, "key 36", 0},      // as Home
      {"key 0", Qt::NoModifier, "key 0", 5},        // swallowed
  };
  for (const TCase& c : cases) {
    QLineEdit* edit = FocusedEdit(c.mode);
    const QString typed = c.modifiers == Qt::ShiftModifier ? "Q" : "q";
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, c.modifiers, typed);
    QApplication::sendEvent(edit, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, c.modifiers, typed);
    QApplication::sendEvent(edit, &release);
    EXPECT_EQ(edit->text().toStdString(), c.text) << c.mode;
    EXPECT_EQ(edit->cursorPosition(), c.caret) << c.mode;
  }
}

// F2 renames the chosen item; Enter ends the rename and the plug-in hears of it, Esc drops
// it. The rename stays inside the list: the plug-in hears the list neither left nor entered.
TEST_F(PluginControlsViewTest, EnterCommitsTheRenameOfAListItemAndEscDropsIt) {
  auto* list = Control<QListWidget>(3);
  ASSERT_NE(list, nullptr);
  struct TCase {
    Qt::Key key;
    const char* item;
    const char* heard;  // the probe's edit
  };
  const TCase cases[] = {{Qt::Key_Escape, "two", "trace down 3 113 0"},
                         {Qt::Key_Return, "three", "trace down 3 113 0 renamed 3 1 three"}};
  for (const TCase& c : cases) {
    list->setFocus(Qt::TabFocusReason);
    list->setCurrentRow(1);
    Edit() = "trace";
    QTest::keyClick(list, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, list);
    QTest::keyClicks(editor, "three");
    view_->Mirror();  // a redraw meanwhile keeps what is typed
    QTest::keyClick(editor, c.key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == list; })) << c.item;
    QApplication::processEvents();
    EXPECT_EQ(Edit(), c.heard) << c.item;
    EXPECT_EQ(view_->Controller().PluginControl(3)->Items[1], c.item);
    EXPECT_EQ(list->item(1)->text().toStdString(), c.item);
  }
}

// Qt makes the first row of a list current when the list takes the focus without one; that
// is no choice of the user's. The probe chose no item of its list.
TEST_F(PluginControlsViewTest, AListTakesTheFocusWithoutChoosingAnItem) {
  auto* list = Control<QListWidget>(3);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(view_->Controller().PluginControl(3)->ItemIndex, -1);
  Edit() = "trace";
  list->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Edit(), "trace enter 3");
  EXPECT_EQ(list->currentRow(), -1);
  EXPECT_EQ(view_->Controller().PluginControl(3)->ItemIndex, -1);
}

// The keys of a list that has the focus reach the plug-in, then the list, whose move is the
// user's choice; the Braille editor never sees them.
TEST_F(PluginControlsViewTest, KeysOnAFocusedListReachThePlugInAndTheList) {
  auto* list = Control<QListWidget>(3);
  ASSERT_NE(list, nullptr);
  const TSongWindow& window = view_->Controller();
  const auto place = std::make_pair(window.CurrentMeasure, window.CurrentTrack->Voice);
  list->setFocus(Qt::TabFocusReason);
  struct TCase {
    Qt::Key key;
    const char* heard;
    int row;
  };
  const TCase cases[] = {{Qt::Key_Down, "trace down 3 40 0 click 3 port 0", 0},
                         {Qt::Key_T, "trace down 3 84 0 click 3 port 0", 1},  // "two"
                         {Qt::Key_Up, "trace down 3 38 0 click 3 port 0", 0}};
  for (const TCase& c : cases) {
    Edit() = "trace";
    QTest::keyClick(list, c.key);
    EXPECT_EQ(Edit(), c.heard);
    EXPECT_EQ(list->currentRow(), c.row) << c.heard;
    EXPECT_EQ(view_->Controller().PluginControl(3)->ItemIndex, c.row) << c.heard;
  }
  EXPECT_TRUE(list->hasFocus());
  EXPECT_EQ(view_->NotesEdit1()->text(), "MM");
  EXPECT_EQ(std::make_pair(window.CurrentMeasure, window.CurrentTrack->Voice), place);
}

// The probe's first popup item is "Copy" on Ctrl+C, which is also the window's copy.
TEST_F(PluginControlsViewTest, APopupShortcutActsWhileItsControlHasTheFocus) {
  QLineEdit* edit = FocusedEdit("");
  ASSERT_EQ(view_->Controller().PopupItems.size(), 2u);
  QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(Edit(), "popup 0 0");
  EXPECT_EQ(edit->text().toStdString(), "popup 0 0");
}

}  // namespace
