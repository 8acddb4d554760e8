#include "songwindow/widgets/window_activation.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include "tests/songwindow/view/offscreen_application.h"

namespace {

class WindowActivationTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window_);
    field_ = new QLineEdit(&window_);
    layout->addWidget(field_);
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    field_->setFocus();
    ASSERT_TRUE(field_->hasFocus());
  }
  // The desktop gave the window the keyboard, but Qt let the activation pass (as it does
  // while a popup of its own is still up): no window is active.
  void ActivationDropped() {
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QGuiApplication::focusWindow(), window_.windowHandle());
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    ASSERT_FALSE(field_->hasFocus());
  }

  QWidget window_;
  QLineEdit* field_ = nullptr;
};

// The window the desktop gave the keyboard becomes Qt's active window again, and its field
// takes the keys.
TEST_F(WindowActivationTest, TheWindowHoldingTheKeyboardIsActiveAgainWithItsField) {
  ActivationDropped();
  KeepWindowActive(*field_);
  EXPECT_EQ(QApplication::activeWindow(), &window_);
  EXPECT_TRUE(field_->hasFocus());
}

// While a popup menu is up the keyboard is the menu's: nothing is activated under it.
TEST_F(WindowActivationTest, NothingWhileAPopupIsUp) {
  ActivationDropped();
  QMenu menu;
  menu.addAction("item");
  menu.popup(QPoint(0, 0));
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  KeepWindowActive(window_);
  EXPECT_NE(QApplication::activeWindow(), &window_);
  menu.hide();
}

}  // namespace
