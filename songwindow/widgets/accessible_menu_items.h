// Menu items as a screen reader reads them: every item answers its key binding as
// "letter;;shortcut" (its menu letter, no path, its shortcut), the form Orca reads a menu
// item's mnemonic and accelerator from. A menu is named by its title; a submenu reached
// again and the menu a submenu closes back to say their active item; a menu of the menu bar
// reached from the one open before it names its first item with its title. An open menu's
// item is told again after Qt reports the window under it active; a popup menu of its own
// that closes tells the field that has the focus again, a list with its current item.
#pragma once

class QAction;
class QMenu;
class QPoint;

// Installs the accessible interface of menu items and the watcher of menus (after the
// QApplication is made, before any menu is read). From then on every popup menu of its own
// (a context menu, the standard menu of a text field included) opens on its first item, as
// Down would reach it (a submenu stays closed), so that the screen reader says the menu as
// it opens (Qt leaves popup menus out of the window's accessible tree: the menu alone is
// never read) and the arrows walk on from there.
void InstallAccessibleMenuItems();

// Shows the popup menu at `at` (global) on its first item, as above. Returns the item
// chosen, else nullptr.
QAction* ExecOnFirstItem(QMenu& menu, const QPoint& at);
