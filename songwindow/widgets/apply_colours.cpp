#include "songwindow/widgets/apply_colours.h"

#include <QAbstractSpinBox>
#include <QColor>
#include <QComboBox>
#include <QPalette>
#include <QWidget>

#include <cstring>

#include "platform/ini_file.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

struct TKindName {
  const char* ClassName;
  TColourKind Kind;
};

constexpr TKindName kKinds[] = {
    {"QLineEdit", ckEditor},      {"QTextEdit", ckEditor},        {"QPlainTextEdit", ckEditor},
    {"QLabel", ckLabel},          {"QListWidget", ckListBox},     {"QListView", ckListView},
    {"QTreeView", ckListView},    {"QTreeWidget", ckListView},    {"QComboBox", ckComboBox},
    {"QRadioButton", ckRadioButton}, {"QCheckBox", ckCheckBox},
};

QColor ToQt(const TColour& colour) {
  return QColor(colour.Red, colour.Green, colour.Blue);
}

// Background and text of a widget: the fill roles of its kind.
void Paint(QWidget& widget, TColourKind kind, const TColourPair& pair) {
  QPalette palette = widget.palette();
  const QColor background = ToQt(pair.Background);
  const QColor text = ToQt(pair.Text);
  if (kind == ckEditor || kind == ckListBox || kind == ckListView || kind == ckComboBox) {
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
  }
  palette.setColor(QPalette::Window, background);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Button, background);
  palette.setColor(QPalette::ButtonText, text);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

// True for a widget that a control of `window` is made of (the line edit of a spin box or
// of a combo box): it is no control of the window and keeps its control's colours.
bool IsPartOfControl(const QWidget& widget, const QWidget& window) {
  for (const QWidget* owner = widget.parentWidget(); owner != nullptr && owner != &window;
       owner = owner->parentWidget()) {
    if (qobject_cast<const QAbstractSpinBox*>(owner) != nullptr ||
        qobject_cast<const QComboBox*>(owner) != nullptr) {
      return true;
    }
  }
  return false;
}

}  // namespace

void ApplyColours(QWidget& window, const TColourScheme& scheme) {
  Paint(window, ckForm, scheme[ckForm]);
  for (QWidget* child : window.findChildren<QWidget*>()) {
    if (IsPartOfControl(*child, window)) {
      continue;
    }
    const char* name = child->metaObject()->className();
    for (const TKindName& kind : kKinds) {
      if (std::strcmp(name, kind.ClassName) == 0) {
        Paint(*child, kind.Kind, scheme[kind.Kind]);
        break;
      }
    }
  }
}

void ApplyColours(QWidget& window) {
  TIniFile ini;
  ini.Load(ProgramDir + kSettingsFileName);
  ApplyColours(window, ReadColourScheme(ini));
}
