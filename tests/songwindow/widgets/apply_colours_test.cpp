#include "songwindow/widgets/apply_colours.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include "platform/ini_file.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

// The field colour each edit of a window ends with: an edit's own, or the control's that
// it is a part of.
TEST(ApplyColours, OnlyEditsOfTheirOwnTakeTheEditorColours) {
  OffscreenApplication();
  QWidget window;
  auto* edit = new QLineEdit(&window);
  auto* spin = new QSpinBox(&window);
  auto* combo = new QComboBox(&window);
  combo->setEditable(true);
  const QColor own = spin->findChild<QLineEdit*>()->palette().color(QPalette::Base);
  ApplyColours(window, ReadColourScheme(TIniFile()));
  const struct {
    const char* what;
    QLineEdit* edit;
    QColor base;
  } cases[] = {
      {"an edit", edit, QColor(1, 0, 0)},
      {"a spin box's edit", spin->findChild<QLineEdit*>(), own},
      {"a combo box's edit", combo->lineEdit(), QColor(0, 0, 128)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.edit->palette().color(QPalette::Base), c.base) << c.what;
  }
}

}  // namespace
