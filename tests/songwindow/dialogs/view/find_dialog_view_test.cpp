// The find and replace dialog as widgets on Qt's offscreen platform: keys typed into the
// real fields, the results in the find globals.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/view/find_dialog_view.h"
#include "songwindow/parts/find_replace.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

class FindDialogViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    FindText.clear();
    ReplaceText.clear();
    FindInHandler = false;
  }
  static void Open(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  static QString NameOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(FindDialogViewTest, EnterInABoxConfirmsWithTheTypedTextsAndBoxes) {
  ReplaceText = W("прежнее");
  FindDialogMode = 2;
  TFindDialog dialog(window_);
  TFindDialogView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(view.windowTitle(), "Замена в нотном тексте трека");
  EXPECT_TRUE(view.isModal());
  EXPECT_EQ(NameOf(view.WhatEdit()), "Заменить");
  EXPECT_EQ(NameOf(view.WithEdit()), "На");
  EXPECT_EQ(view.WithEdit()->text(), "прежнее");
  EXPECT_TRUE(view.CaseBox()->isChecked());
  view.WhatEdit()->insert(QString::fromUtf8("Фа"));  // keyClicks types ASCII only
  QTest::keyClick(view.WhatEdit(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), view.WithEdit());
  view.WithEdit()->clear();
  QTest::keyClicks(view.WithEdit(), "b");
  QTest::keyClick(view.WithEdit(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), view.CaseBox());
  QTest::keyClick(view.CaseBox(), Qt::Key_Space);  // unchecked
  QTest::keyClick(view.CaseBox(), Qt::Key_Tab);
  QTest::keyClick(view.VoiceBox(), Qt::Key_Space);
  QTest::keyClick(view.VoiceBox(), Qt::Key_Return);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(FindDialogMode, 1);
  EXPECT_EQ(U(FindText), "Фа");
  EXPECT_EQ(ReplaceText, "b");
  EXPECT_FALSE(FindCaseSensitive);
  EXPECT_TRUE(FindVoiceOnly);
}

TEST_F(FindDialogViewTest, FindModeHidesTheReplacementAndEscOrTheFrameCancels) {
  for (const bool byFrame : {false, true}) {
    FindText = "old";
    ReplaceText = "kept";
    FindDialogMode = 1;
    TFindDialog dialog(window_);
    TFindDialogView view(dialog, nullptr);
    Open(view);
    EXPECT_FALSE(view.WithEdit()->isVisible());
    EXPECT_EQ(view.WhatEdit()->text(), "old");
    EXPECT_EQ(view.OkButton()->text(), "Найти");
    QTest::keyClicks(view.WhatEdit(), "new");  // the old text was selected
    if (byFrame) {
      view.close();
    } else {
      QTest::keyClick(view.WhatEdit(), Qt::Key_Escape);
    }
    EXPECT_EQ(view.result(), QDialog::Rejected) << byFrame;
    EXPECT_EQ(FindDialogMode, 0) << byFrame;
    EXPECT_EQ(FindText, "new") << byFrame;
    EXPECT_EQ(ReplaceText, "kept") << byFrame;
  }
}

TEST_F(FindDialogViewTest, ATextOutsideTheCodePageKeepsTheDialogOpen) {
  FindDialogMode = 1;
  FindInHandler = true;
  TFindDialog dialog(window_);
  TFindDialogView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(view.VoiceBox()->text(), "Слово целиком");
  EXPECT_FALSE(view.CaseBox()->isChecked());
  view.WhatEdit()->setText(QString::fromUtf8("\xE2\x98\x83"));
  QTest::keyClick(view.WhatEdit(), Qt::Key_Return);
  EXPECT_TRUE(view.isVisible());
  EXPECT_EQ(FindDialogMode, 0);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
}

}  // namespace
