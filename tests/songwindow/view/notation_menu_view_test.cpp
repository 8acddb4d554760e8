// The notation insert menu as a popup on Qt's offscreen platform: opened at the Braille
// editor, walked with the arrow keys, its items named for a screen reader, Enter inserts.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>

#include "settings/lang_texts.h"
#include "songwindow/view/song_window_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

QStringList Names(QMenu* menu) {
  QStringList names;
  QAccessibleInterface* popup = QAccessible::queryAccessibleInterface(menu);
  for (int i = 0; i < popup->childCount(); ++i) {
    names.append(popup->child(i)->text(QAccessible::Name));
  }
  return names;
}

TEST(NotationMenuView, ArrowsAndEnterInsertTheNamedSign) {
  OffscreenApplication();
  UnloadLanguage();
  setenv("VELTO_SPEECH_LOG", "/dev/null", 1);
  setenv("VELTO_SIGNAL_LOG", "/dev/null", 1);
  TScopedProgramDir home;
  {
    std::ofstream menu(home.Dir().Path() + "Resources/qem.zel", std::ios::binary);
    for (const char* line : {"+{1450=Ноты}", "До первой октавы, четвертная=!P", "-", "-", "{1481=Точка}=."}) {
      menu << W(line) << "\r\n";
    }
  }
  TSongWindowView songWindow(nullptr, 5, "qem");
  songWindow.Controller().NewSong();
  songWindow.Controller().ShowTreck(smSilent);
  songWindow.show();
  songWindow.NotesEdit1()->setFocus();
  QLineEdit* edit = songWindow.NotesEdit1();
  const QPoint expected = songWindow.mapToGlobal(QPoint(edit->x() + edit->width() / 3, edit->y()));
  QStringList top;
  QStringList inner;
  QPoint at;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    at = menu->pos();
    top = Names(menu);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Right);
    auto* submenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(submenu, nullptr);
    ASSERT_NE(submenu, menu);
    inner = Names(submenu);
    QTest::keyClick(submenu, Qt::Key_Return);
  });
  songWindow.Controller().QEMHelper();
  EXPECT_EQ(at, expected);
  EXPECT_EQ(top, (QStringList{"Ноты", "", "Точка"}));  // the separator has no name
  EXPECT_EQ(inner, QStringList{"До первой октавы, четвертная"});
  EXPECT_EQ(edit->text(), "!P");
  EXPECT_EQ(edit->cursorPosition(), 2);
  EXPECT_TRUE(songWindow.Controller().Modified);
  EXPECT_EQ(U(songWindow.Controller().Undo().Label()), "До первой октавы, четвертная");
  // Esc closes it and inserts nothing.
  QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape); });
  songWindow.Controller().QEMHelper();
  EXPECT_EQ(edit->text(), "!P");
}

}  // namespace
