#include "songwindow/widgets/menu_bar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QTest>

#include "tests/songwindow/view/offscreen_application.h"

namespace {

class MenuBarTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    bar_ = new TMenuBar(&window_);
    window_.setMenuBar(bar_);
    bar_->addMenu("File")->addAction("Open");
    field_ = new QLineEdit(&window_);
    window_.setCentralWidget(field_);
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    field_->setFocus();
  }
  // The key as the accessibility bridge delivers it again: sent by the program, no time.
  void Copy(QEvent::Type type) {
    QKeyEvent copy(type, Qt::Key_Alt, type == QEvent::KeyRelease ? Qt::NoModifier : Qt::AltModifier);
    QCoreApplication::sendEvent(type == QEvent::ShortcutOverride ? static_cast<QObject*>(field_)
                                                                 : window_.windowHandle(),
                               &copy);
  }

  QMainWindow window_;
  TMenuBar* bar_ = nullptr;
  QLineEdit* field_ = nullptr;
};

// Alt let go puts the keyboard on the menu bar; the bridge's copy of the same key, arriving
// after it, leaves it there.
TEST_F(MenuBarTest, AltLetGoOnceWithItsCopyPutsTheKeyboardOnTheMenuBar) {
  QTest::keyPress(field_, Qt::Key_Alt, Qt::AltModifier);
  QTest::keyRelease(field_, Qt::Key_Alt);
  ASSERT_NE(bar_->activeAction(), nullptr) << "Alt alone reaches the menu bar";
  for (QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease}) {
    Copy(type);
  }
  EXPECT_NE(bar_->activeAction(), nullptr);
}

}  // namespace
