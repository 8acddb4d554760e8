// The accessible interface of the program's lists (QListWidget) and tab bars (QTabBar).
// An item or tab is focused only while its owner has the keyboard and it is the current
// one; the current item is also selected. A tab widget's page stack is a plain pane. Reaching a list, and a key that leaves its current item
// where it was (Up on the first of one), tell the screen reader the current item again.
#pragma once

#include <QAccessible>

class QListWidget;
class QTabBar;

// The item's and the tab's state as the screen reader gets it.
QAccessible::State ListItemState(const QListWidget& list, int row);
QAccessible::State TabState(const QTabBar& bar, int index);

// Installs the factory of the lists' interface and the watcher of their focus and keys.
// Call after the QApplication is made and before any list is made.
void InstallAccessibleLists();
