#include "pluginhost/plugin_controls.h"

#include <algorithm>
#include <iterator>

#include "plugin/velto_plugin.h"

namespace {

static_assert(static_cast<int32_t>(TControlKind::ComboBox) == VELTO_TCOMBOBOX &&
              static_cast<int32_t>(TControlKind::Label) == VELTO_TLABEL &&
              static_cast<int32_t>(TControlKind::SpinEdit) == VELTO_TSPINEDIT &&
              static_cast<int32_t>(TControlKind::ListView) == VELTO_TLISTVIEW &&
              static_cast<int32_t>(TControlKind::ListBox) == VELTO_TLISTBOX &&
              static_cast<int32_t>(TControlKind::Button) == VELTO_TBUTTON &&
              static_cast<int32_t>(TControlKind::RichEdit) == VELTO_TRICHEDIT &&
              static_cast<int32_t>(TControlKind::Edit) == VELTO_TEDIT &&
              static_cast<int32_t>(TControlKind::ScrollBar) == VELTO_TSCROLLBAR &&
              static_cast<int32_t>(TControlKind::RadioButton) == VELTO_TRADIOBUTTON &&
              static_cast<int32_t>(TControlKind::CheckBox) == VELTO_TCHECKBOX,
              "the control kinds are numbered as the plug-in header numbers them");

constexpr uint32_t kFocusAndKeys = ceEnter | ceExit | ceKeyDown | ceKeyUp;

struct TControlRow {
  const char* ClassName;  // lower case
  TControlKind Kind;
  bool SharesPopup;
  uint32_t Events;
};

constexpr TControlRow kControls[] = {
    {"tcombobox", TControlKind::ComboBox, true, ceClick | ceChange | kFocusAndKeys},
    {"tlabel", TControlKind::Label, false, ceClick},
    {"tspinedit", TControlKind::SpinEdit, true, ceClick | ceChange | kFocusAndKeys},
    {"tlistview", TControlKind::ListView, true, ceClick | kFocusAndKeys | ceItemEdited},
    {"tlistbox", TControlKind::ListBox, true, ceClick | kFocusAndKeys},
    {"tbutton", TControlKind::Button, false, ceClick | kFocusAndKeys},
    {"trichedit", TControlKind::RichEdit, true, ceClick | ceChange | kFocusAndKeys},
    {"tedit", TControlKind::Edit, true, ceClick | ceChange | kFocusAndKeys},
    {"tscrollbar", TControlKind::ScrollBar, true, ceClick | ceChange | kFocusAndKeys},
    {"tradiobutton", TControlKind::RadioButton, false, ceClick | kFocusAndKeys},
    {"tcheckbox", TControlKind::CheckBox, false, ceClick | kFocusAndKeys},
};

const TControlRow* RowOf(TControlKind kind) {
  const auto found = std::find_if(std::begin(kControls), std::end(kControls),
                                  [kind](const TControlRow& row) { return row.Kind == kind; });
  return found != std::end(kControls) ? found : nullptr;
}

bool EqualIgnoringLatinCase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != lower[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<TControlKind> ControlKindOf(std::string_view className) {
  for (const TControlRow& row : kControls) {
    if (EqualIgnoringLatinCase(className, row.ClassName)) {
      return row.Kind;
    }
  }
  return std::nullopt;
}

bool SharesPopupMenu(TControlKind kind) {
  const TControlRow* row = RowOf(kind);
  return row != nullptr && row->SharesPopup;
}

bool Forwards(TControlKind kind, TControlEvent event) {
  const TControlRow* row = RowOf(kind);
  return row != nullptr && (row->Events & event) != 0;
}

std::vector<VeltoControl> MakePluginControls(const std::vector<std::string>& classNames) {
  std::vector<VeltoControl> controls;
  for (const std::string& name : classNames) {
    if (const std::optional<TControlKind> kind = ControlKindOf(name)) {
      VeltoControl control;
      control.Kind = *kind;
      control.Number = static_cast<int32_t>(controls.size()) + 1;
      controls.push_back(std::move(control));
    }
  }
  return controls;
}
