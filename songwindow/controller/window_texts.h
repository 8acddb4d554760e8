// The captions of the song window: its two editor labels, its actions and its menu items,
// each by language text with a built-in Russian text.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One caption: the component it names, its language text, the built-in text (UTF-8,
// already ending in Suffix) and what follows the language text.
struct TCaptionRow {
  const char* Component;
  int Id;
  const char* BuiltIn;
  const char* Suffix;
};

// The two editor labels (ProgrammText, NotesEditText), in the order they are set.
std::span<const TCaptionRow> LabelCaptionRows();
// The actions and menu items, in the order they are set.
std::span<const TCaptionRow> ActionCaptionRows();

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
