#include "songwindow/widgets/accessible_menu_items.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "tests/songwindow/view/offscreen_application.h"

namespace {

// Qt's own menu of a text field (Undo, Redo, a separator, Cut, ...) opens on its first item
// that can be chosen, as the program's menus do: typed into, that is Undo.
TEST(AccessibleMenuItems, TheStandardMenuOfATextFieldOpensOnItsFirstItem) {
  OffscreenApplication();
  InstallAccessibleMenuItems();
  QLineEdit field;
  field.insert("12");
  field.show();
  QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(1, 1), field.mapToGlobal(QPoint(1, 1)));
  QApplication::sendEvent(&field, &menuKey);  // Qt pops its menu up and returns
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  static_cast<void>(QTest::qWaitFor([menu] { return menu->activeAction() != nullptr; }, 1000));
  EXPECT_EQ(menu->actions().indexOf(menu->activeAction()), 0);
  menu->close();
}

}  // namespace
