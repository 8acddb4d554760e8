// The conversion between Qt's key events and the virtual keys and characters of the Braille
// editor and of a plug-in's controls.
#include "songwindow/widgets/key_map.h"

#include <gtest/gtest.h>

#include "tests/songwindow/view/offscreen_application.h"

namespace {

class KeyMapTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
};

// A key is named by its place on the keyboard, whatever Shift and the layout make it type;
// the character is what it types. Events as X11 gives them, with its key codes.
TEST_F(KeyMapTest, AShiftedDigitOrSignKeepsTheCodeOfItsKey) {
  struct TCase {
    Qt::Key key;
    quint32 scanCode;
    const char* text;
    uint16_t code;
  };
  const TCase cases[] = {
      {Qt::Key_Exclam, 10, "!", '1'},       {Qt::Key_ParenRight, 19, ")", '0'},
      {Qt::Key_Semicolon, 13, ";", '4'},    // Shift+4 on a Russian layout
      {Qt::Key_Colon, 47, ":", vkOem1},     {Qt::Key_Question, 61, "?", vkOem2},
      {Qt::Key_QuoteDbl, 48, "\"", vkOem7}, {Qt::Key_Plus, 21, "+", vkOemPlus},
  };
  for (const TCase& c : cases) {
    const QKeyEvent event(QEvent::KeyPress, c.key, Qt::ShiftModifier, c.scanCode, 0, 0, c.text);
    const TEditorKey key = EditorKeyOf(event, false);
    EXPECT_EQ(key.Key, c.code) << c.text;
    EXPECT_EQ(key.Char, static_cast<char32_t>(c.text[0])) << c.text;
  }
}

// A code a plug-in hands back types what its key types with Shift on a US layout.
TEST_F(KeyMapTest, ACodeWithShiftTypesTheShiftedSignOfItsKey) {
  struct TCase {
    uint16_t code;
    const char* text;
  };
  const TCase cases[] = {{'1', "!"}, {'0', ")"}, {'9', "("}, {vkOem1, ":"},
                         {vkOem7, "\""}, {vkOemComma, "<"}, {vkOem3, "~"}};
  for (const TCase& c : cases) {
    EXPECT_EQ(QtKeyEventOf(c.code, Qt::ShiftModifier).Text.toStdString(), c.text) << c.code;
  }
}

}  // namespace
