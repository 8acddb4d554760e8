// The program window's own menus (File, Window, Settings, Help): their captions by
// language text and what each menu holds. The song window's menus stand between File and
// Window.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// A caption of the shell: a menu or action name, its language text and the built-in
// text (UTF-8; "&" marks the menu letter).
struct TShellText {
  const char* Name;
  int Id;
  const char* BuiltIn;
};

std::span<const TShellText> ShellTexts();

// The caption of a menu or action of the shell (code page 1251); empty for an unknown name.
std::string ShellCaption(std::string_view name);

// One menu: its name and its items in order, each an action, a submenu (a name that
// ShellMenus lists too) or "-" for a separator.
struct TShellMenu {
  const char* Name;
  bool InMenuBar;  // false: a submenu
  std::vector<const char*> Items;
};

// The shell's menus; those in the menu bar in its order, the song window's after the first.
const std::vector<TShellMenu>& ShellMenus();

inline constexpr const char* kMenuSeparator = "-";
