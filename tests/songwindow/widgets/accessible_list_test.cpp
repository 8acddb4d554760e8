#include "songwindow/widgets/accessible_list.h"

#include <gtest/gtest.h>

#include <QAccessibleActionInterface>
#include <QApplication>
#include <QListWidget>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "tests/songwindow/view/offscreen_application.h"

namespace {

class AccessibleListTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window_);
    for (QListWidget*& list : lists_) {
      list = new QListWidget(&window_);
      layout->addWidget(list);
    }
    lists_[0]->addItems({"[нет]", "pan", "swing"});
    lists_[0]->setCurrentRow(1);
    lists_[1]->addItems({"27 - High Q"});
    lists_[1]->setCurrentRow(0);
    window_.show();
    QApplication::setActiveWindow(&window_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }
  static QAccessibleInterface* Of(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); }

  QWidget window_;
  std::array<QListWidget*, 2> lists_{};
};

// Of two lists each with a current item, only the focused list's item is focused; both
// current items are the lists' choices, selected.
TEST_F(AccessibleListTest, OnlyTheFocusedListsCurrentItemIsFocused) {
  lists_[1]->setFocus();
  ASSERT_TRUE(lists_[1]->hasFocus());
  QAccessibleInterface* first = Of(lists_[0]);
  QAccessibleInterface* second = Of(lists_[1]);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->role(), QAccessible::List);
  ASSERT_EQ(first->childCount(), 3);
  EXPECT_EQ(first->child(1)->text(QAccessible::Name), "pan");
  EXPECT_EQ(first->child(1)->role(), QAccessible::ListItem);
  EXPECT_FALSE(first->child(1)->state().focused);
  EXPECT_TRUE(first->child(1)->state().selected);
  EXPECT_FALSE(first->child(0)->state().selected);
  EXPECT_TRUE(second->child(0)->state().focused);
  EXPECT_TRUE(second->child(0)->state().selected);
  EXPECT_EQ(second->focusChild(), second->child(0));
  EXPECT_EQ(first->focusChild(), nullptr);
  // The same item answers every time, and knows its place.
  EXPECT_EQ(first->child(2), first->child(2));
  EXPECT_EQ(first->indexOfChild(first->child(2)), 2);
  EXPECT_EQ(first->child(2)->parent(), first);
  lists_[0]->setFocus();
  EXPECT_TRUE(first->child(1)->state().focused);
  EXPECT_FALSE(second->child(0)->state().focused);
}

// An item taken out of the list is no longer valid; the list counts what it holds.
TEST_F(AccessibleListTest, ARemovedItemIsInvalid) {
  QAccessibleInterface* list = Of(lists_[0]);
  QAccessibleInterface* last = list->child(2);
  delete lists_[0]->takeItem(2);
  EXPECT_EQ(list->childCount(), 2);
  EXPECT_FALSE(last->isValid());
  EXPECT_EQ(list->child(2), nullptr);
}

// A page tab is focused only while its bar has the keyboard (the wizard's list has it).
TEST_F(AccessibleListTest, ThePageTabIsFocusedOnlyWithTheKeyboard) {
  auto* bar = new QTabBar(&window_);
  window_.layout()->addWidget(bar);
  bar->addTab("&Speed");
  bar->addTab("Step");
  bar->setCurrentIndex(1);
  bar->show();
  lists_[0]->setFocus();
  ASSERT_TRUE(lists_[0]->hasFocus());
  QAccessibleInterface* tabs = Of(bar);
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->role(), QAccessible::PageTabList);
  ASSERT_EQ(tabs->childCount(), 2);
  EXPECT_EQ(tabs->child(0)->text(QAccessible::Name), "Speed");
  EXPECT_EQ(tabs->child(1)->role(), QAccessible::PageTab);
  EXPECT_FALSE(tabs->child(1)->state().focused);
  EXPECT_TRUE(tabs->child(1)->state().selected);
  EXPECT_FALSE(tabs->child(0)->state().selected);
  bar->setFocus();
  EXPECT_TRUE(tabs->child(1)->state().focused);
  tabs->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(bar->currentIndex(), 0);
}

// A tab widget's pages are a plain pane, not a "layered pane" said before every field.
TEST_F(AccessibleListTest, ATabWidgetsPagesAreAPlainPane) {
  auto* tabs = new QTabWidget(&window_);
  window_.layout()->addWidget(tabs);
  tabs->addTab(new QListWidget, "one");
  tabs->show();
  auto* pages = tabs->findChild<QStackedWidget*>();
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(Of(pages)->role(), QAccessible::Pane);
}

}  // namespace
