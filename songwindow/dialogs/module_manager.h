// The module manager without widgets: the module files in three lists (free, attached to
// all tracks, attached to the current track), moved between them by single keys, edited,
// described, renamed, deleted; closing writes the "module" lines of the programs. And the
// module name dialog that asks for a module's new name.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TSongWindow;

// Kept for the whole run: the caption over the free list (empty at start) and the
// remembered selection of each list (1-based, 0 = none yet).
extern std::string FreeListLabel;
extern int32_t FreeListPos;
extern int32_t CommonListPos;
extern int32_t TrackListPos;
// The name handed to and from the module name dialog (code page 1251).
extern std::string ModuleNameBuffer;

enum TModuleList : int { mlFree = 0, mlCommon = 1, mlTrack = 2, mlNone = 3 };

// An action of the lists' shared context menu.
struct TModuleAction {
  std::string Name;     // InCommon, InTreck, InFree, HelpModule, Editing, NewName, NewModule, CloseWindow
  std::string Caption;  // code page 1251
  bool Visible = true;
};

class TModuleManagerDialog {
 public:
  explicit TModuleManagerDialog(TSongWindow& window);

  std::string Caption;
  std::array<std::string, 3> Labels;              // over the free, all-tracks and track lists
  std::array<std::vector<std::string>, 3> Lists;  // module names (code page 1251)
  std::array<int32_t, 3> Selected{-1, -1, -1};    // row of each list, -1 = none
  bool TrackListEnabled = true;
  TModuleList Focus = mlNone;
  std::vector<TModuleAction> Actions;  // in the context menu's order

  const TModuleAction& Action(const std::string& name) const;
  bool Offered(const std::string& name) const { return Action(name).Visible; }

  // Reads the programs' module lines and the folder's modules into the lists.
  void Initialing();
  // A list gets the focus: the actions it offers and its remembered selection.
  void Enter(TModuleList list);
  // A click or an arrow key chose a row of the focused list.
  void Select(TModuleList list, int32_t row);
  // Any key pressed in the free list: the usage hint over it goes for the rest of the run.
  void FreeListKey();

  // The keys; each does nothing when its action is not offered.
  void InCommon();    // Home: to the all-tracks list
  void InTreck();     // End: to the track list
  void InFree();      // Delete: to the free list, or in the free list delete the module's files
  void Editing();     // Enter: the module in the module editor
  void HelpModule();  // F1: the module's description
  void NewName();     // Space: rename a free module
  void NewModule();   // Ctrl+N: write a new module
  // Esc, Alt+F4, closing by the frame: the module lines written into the programs.
  void Close();

 private:
  TModuleAction& ActionRef(const std::string& name);
  std::string SelectedName() const;
  void Move(TModuleList target);
  int32_t& Remembered(TModuleList list);
  void ShowFreeLabel();
  // A module renamed from old (normalised) to typed: the lines naming it follow it.
  void Renamed(const std::string& old, const std::string& typed);
  // The name a program line's module (normalised) has after the renames (normalised).
  std::string NameNow(const std::string& name) const;

  TSongWindow& window_;
  bool normalTrack_ = false;
  std::vector<std::string> commonModules_;  // names in the control track's module lines
  std::vector<std::string> trackModules_;   // names in the current track's module lines
  // Every module listed since the dialog opened (normalised): closing rewrites their lines.
  std::vector<std::string> listed_;
  // A module's name in the programs (normalised) -> its name after the renames (as typed).
  std::map<std::string, std::string> renamed_;
};

// The module name dialog: one field, Enter takes it, Esc leaves the buffer empty.
class TModuleNameDialog {
 public:
  TModuleNameDialog();

  std::string Caption;
  std::string Name;  // code page 1251: the buffer as the dialog opened (the buffer is emptied)

  // Enter with the field's text (UTF-8): it goes to ModuleNameBuffer; false (nothing taken)
  // when a character does not fit code page 1251.
  bool Ok(const std::string& utf8);
};
