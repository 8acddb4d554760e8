#include "songwindow/widgets/apply_colours.h"

#include <QColor>
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

}  // namespace

void ApplyColours(QWidget& window, const TColourScheme& scheme) {
  Paint(window, ckForm, scheme[ckForm]);
  for (QWidget* child : window.findChildren<QWidget*>()) {
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
