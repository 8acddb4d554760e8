// The controls a format plug-in puts on a song window, as records without widgets: the
// plug-in fills them through the accessors of plugin/velto_plugin.h, the view mirrors them
// into widgets and writes the user's changes back before the events go to the plug-in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TVelto;

// The control kinds, numbered as control_kind answers them (VELTO_TCOMBOBOX ... of
// plugin/velto_plugin.h, which this header leaves out: it declares the entry points with C
// linkage, and only the plug-in host needs them).
enum class TControlKind : int32_t {
  ComboBox = 1,
  Label = 2,
  SpinEdit = 3,
  ListView = 4,
  ListBox = 5,
  Button = 6,
  RichEdit = 7,
  Edit = 8,
  ScrollBar = 9,
  RadioButton = 10,
  CheckBox = 11,
};

// Events a control forwards to the plug-in (bits).
enum TControlEvent : uint32_t {
  ceClick = 1,
  ceChange = 2,
  ceEnter = 4,
  ceExit = 8,
  ceKeyDown = 16,
  ceKeyUp = 32,
  ceItemEdited = 64,
};

// The kind a class name asks for (any case), nothing for a name the program does not know.
std::optional<TControlKind> ControlKindOf(std::string_view className);
// Whether controls of a kind share the window's popup menu.
bool SharesPopupMenu(TControlKind kind);
// Whether a control of a kind forwards an event.
bool Forwards(TControlKind kind, TControlEvent event);

// One control. Texts are code page 1251.
struct VeltoControl {
  TControlKind Kind = TControlKind::Label;
  int32_t Number = 0;  // 1..255, also the control's tag
  int32_t Left = 10;
  int32_t Top = 10;
  int32_t Width = 10;
  int32_t Height = 10;
  bool Visible = true;
  bool Enabled = true;
  std::string Name;  // what a screen reader says for it
  std::string Text;  // caption or content
  std::vector<std::string> Items;
  int32_t ItemIndex = -1;  // the chosen item, -1 = none
  bool Checked = false;
  int32_t Minimum = 0;
  int32_t Maximum = 100;
  int32_t Position = 0;
};
using TPluginControl = VeltoControl;

// A song window as its format plug-in sees it.
struct VeltoWindow {
  TVelto* Song = nullptr;              // borrowed: the window's song
  std::vector<VeltoControl> Controls;  // control n is Controls[n - 1]; made once
};

// Makes one control per class name the program knows, numbered from 1 in list order.
std::vector<VeltoControl> MakePluginControls(const std::vector<std::string>& classNames);
