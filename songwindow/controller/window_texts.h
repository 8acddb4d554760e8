// The captions of the song window: its two editor labels, its actions and its menu items,
// each by language text with a built-in Russian text.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TSongWindow;
// A command of the song window: the controller's method an action runs.
using TWindowCommand = void (TSongWindow::*)();

// One row of the window's action table: the component it names, its language text, the
// built-in text (UTF-8, already ending in Suffix), what follows the language text, the
// action's key ("Ctrl+Down" as menus write it; "" none) and its command (nullptr: not
// built yet, the action stays disabled). Menu items and labels have neither key nor
// command.
struct TCaptionRow {
  const char* Component;
  int Id;
  const char* BuiltIn;
  const char* Suffix;
  const char* Shortcut = "";
  TWindowCommand Run = nullptr;
};

// The two editor labels (ProgrammText, NotesEditText), in the order they are set.
std::span<const TCaptionRow> LabelCaptionRows();
// The action table: the actions and menu items, in the order their captions are set.
std::span<const TCaptionRow> ActionCaptionRows();
// The row of an action or menu item; nullptr when the table has none.
const TCaptionRow* ActionRow(std::string_view component);

// One menu of the window: its name, the menu it hangs in (nullptr: the menu bar) and its
// actions in order; a submenu follows the actions of the menu it hangs in.
struct TMenuLayout {
  const char* Name;
  const char* Parent;
  std::vector<const char*> Actions;
};

// The window's menus, each after the menu it hangs in.
const std::vector<TMenuLayout>& WindowMenuLayout();

// The caption of a row: the language text followed by the suffix, else the built-in text
// (code page 1251).
std::string CaptionOf(const TCaptionRow& row);

// The language text of id without its accelerator mark "&", else the built-in text
// (code page 1251): for speech and the status panels, which share ids with menu items.
std::string Word(int id, std::string_view builtInUtf8);

// What the view shows of an action or menu item.
struct TActionState {
  std::string Caption;  // code page 1251; "&" marks the accelerator
  bool Enabled = true;
  bool Visible = true;
  bool Checked = false;
};

using TActionStates = std::map<std::string, TActionState, std::less<>>;
