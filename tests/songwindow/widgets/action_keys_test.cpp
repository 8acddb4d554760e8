// The keys of the window's action table against the keys the Braille editor keeps.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeySequence>

#include "songwindow/controller/window_texts.h"
#include "songwindow/widgets/key_map.h"

namespace {

// Key events need the application's keyboard device.
class ActionKeys : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QGuiApplication::instance() == nullptr) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      static int argc = 1;
      static char name[] = "songwindow_view_tests";
      static char* argv[] = {name, nullptr};
      application_ = new QGuiApplication(argc, argv);
    }
  }
  static void TearDownTestSuite() {
    delete application_;
    application_ = nullptr;
  }
  static QGuiApplication* application_;
};

QGuiApplication* ActionKeys::application_ = nullptr;

QKeyEvent PressOf(const QKeyCombination& combination) {
  return QKeyEvent(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
}

// Every key of the table parses as one key and reaches the window from the Braille editor.
TEST_F(ActionKeys, NoRowTakesAKeyOfTheBrailleEditor) {
  for (const TCaptionRow& row : ActionCaptionRows()) {
    if (*row.Shortcut == '\0') {
      continue;
    }
    SCOPED_TRACE(row.Component);
    const QKeySequence keys(QString::fromLatin1(row.Shortcut));
    ASSERT_EQ(keys.count(), 1);
    ASSERT_NE(keys[0].key(), Qt::Key_unknown);
    EXPECT_FALSE(EditorClaimsKey(PressOf(keys[0]))) << row.Shortcut;
  }
}

// The editor's own keys stay the editor's.
TEST_F(ActionKeys, TheBrailleEditorKeepsItsKeys) {
  const QKeyCombination kept[] = {
      Qt::Key_Space, Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_PageDown,
      Qt::Key_Return, Qt::Key_Backspace, Qt::SHIFT | Qt::Key_A, Qt::SHIFT | Qt::Key_Left,
      Qt::SHIFT | Qt::Key_Home, Qt::CTRL | Qt::Key_Left, Qt::CTRL | Qt::Key_Right,
      Qt::CTRL | Qt::Key_Backspace};
  for (const QKeyCombination& combination : kept) {
    EXPECT_TRUE(EditorClaimsKey(PressOf(combination))) << QKeySequence(combination).toString().toStdString();
  }
}

}  // namespace
