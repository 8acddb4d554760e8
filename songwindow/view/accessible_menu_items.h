// Menu items as a screen reader reads them: every item answers its key binding as
// "letter;;shortcut" (its menu letter, no path, its shortcut), the form Orca reads a menu
// item's mnemonic and accelerator from.
#pragma once

// Installs the accessible interface of menu items (before any menu is read).
void InstallAccessibleMenuItems();
