// The accessible interface of the program's lists (QListWidget). An item is focused only
// while its list has the keyboard and the item is the current one; the current item of a
// focused list is also selected. Reaching a list, and a key that leaves its current item
// where it was (Up on the first of one), tell the screen reader the current item again.
#pragma once

#include <QAccessible>

class QListWidget;

// The item's state as the screen reader gets it.
QAccessible::State ListItemState(const QListWidget& list, int row);

// Installs the factory of the lists' interface and the watcher of their focus and keys.
// Call after the QApplication is made and before any list is made.
void InstallAccessibleLists();
