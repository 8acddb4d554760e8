// The Edit menu's select all, copy, paste, clear and undo of the editor with the focus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feedback/signals.h"
#include "songwindow/controller/window_texts.h"
#include "tests/songwindow/command_rig.h"

namespace songwindowtest {
namespace {

class EditLineClipboardTest : public CommandTest {
 protected:
  // The Braille editor shows `line` (code page 1251 = ASCII here) with the caret at
  // `caret` and the selection's other end at `anchor`, focused.
  void Line(const std::string& line, uint16_t caret, uint16_t anchor) {
    rig_.editors.notes = line;
    rig_.editors.caret = caret;
    rig_.editors.anchor = anchor;
    rig_.editors.notes_focused = true;
    rig_.editors.program_focused = false;
  }
  void FocusProgram() {
    rig_.editors.notes_focused = false;
    rig_.editors.program_focused = true;
  }
  void Forget() {
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
  }
};

// Each row has its key and its command, so the Text menu offers it and its key reaches it.
TEST(EditLineClipboardRows, EveryRowHasItsKeyAndCommand) {
  struct TRowCase {
    const char* name;
    const char* key;
    TWindowCommand run;
  };
  const TRowCase cases[] = {
      {"SelectAll", "Ctrl+A", &TSongWindow::SelectAll},
      {"CopyInKey", "Ctrl+C", &TSongWindow::CopyInKey},
      {"PasteFromKey", "Ctrl+V", &TSongWindow::PasteFromKey},
      {"UndoText", "Ctrl+Z", &TSongWindow::UndoText},
      {"Delete", "", &TSongWindow::DeleteSelection},
  };
  for (const TRowCase& c : cases) {
    const TCaptionRow* row = ActionRow(c.name);
    ASSERT_NE(row, nullptr) << c.name;
    EXPECT_STREQ(row->Shortcut, c.key) << c.name;
    EXPECT_TRUE(row->Run == c.run) << c.name;
  }
  // One key, one thing: no other row takes these keys.
  for (const TCaptionRow& row : ActionCaptionRows()) {
    for (const TRowCase& c : cases) {
      if (*c.key != '\0' && std::string(row.Shortcut) == c.key) {
        EXPECT_STREQ(row.Component, c.name);
      }
    }
  }
}

TEST_F(EditLineClipboardTest, CopyPutsTheSelectedCellsOnTheClipboardAndSaysThem) {
  GoTo(1, 2);
  Line("!PSN", 4, 2);
  window_.CopyInKey();
  EXPECT_EQ(rig_.clipboard.text, "SN");
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Скопировано: SN"});
  EXPECT_EQ(rig_.editors.notes, "!PSN");  // copying changes nothing
}

TEST_F(EditLineClipboardTest, CopyOfNothingIsSaidAndLeavesTheClipboard) {
  GoTo(1, 2);
  rig_.clipboard.text = "kept";
  Line("!PSN", 2, 2);
  window_.CopyInKey();
  EXPECT_EQ(rig_.clipboard.text, "kept");
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Ничего не выделено: в буфер ничего не скопировано"});
}

TEST_F(EditLineClipboardTest, SelectAllSelectsTheLineAndSaysIt) {
  GoTo(1, 2);
  Line("!PSN", 1, 1);
  window_.SelectAll();
  EXPECT_EQ(rig_.editors.anchor, 0);
  EXPECT_EQ(rig_.editors.caret, 4);
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Выделено: !PSN"});
  Forget();
  Line("", 0, 0);
  window_.SelectAll();
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Нечего выделять: текст пуст"});
}

TEST_F(EditLineClipboardTest, PasteIsOneUndoStepThatUndoTakesBack) {
  GoTo(1, 2);
  Line("!P", 2, 2);
  rig_.clipboard.text = "SN";
  const int32_t count = UndoCount();
  window_.PasteFromKey();
  EXPECT_EQ(rig_.editors.notes, "!PSN");
  EXPECT_EQ(Track(1)->MusicStrings[1], "d()!PSN");  // voice 2 of the measure
  // Said as a copy is: the screen reader never hears the command's key.
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Вставлено: SN"});
  EXPECT_EQ(UndoCount(), count + 1);
  EXPECT_EQ(UndoLabel(), "вставку из буфера");
  window_.UndoLast();
  EXPECT_EQ(Track(1)->MusicStrings[1], "d()!P");
}

// What is said is what went in: a line end and a tab are no cells of the line.
TEST_F(EditLineClipboardTest, PasteSaysTheCellsItInserted) {
  GoTo(1, 2);
  Line("m", 1, 1);
  rig_.clipboard.text = "QT\r\nQ\tT";
  window_.PasteFromKey();
  EXPECT_EQ(rig_.editors.notes, "QTQT");
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Вставлено: QTQT"});
}

TEST_F(EditLineClipboardTest, PasteOfAnEmptyClipboardIsSaid) {
  GoTo(1, 2);
  Line("!P", 2, 2);
  const int32_t count = UndoCount();
  window_.PasteFromKey();
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(UndoCount(), count);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Буфер обмена пуст"});
}

TEST_F(EditLineClipboardTest, UndoTextTakesBackTheLastChangeOfTheLineAndPutsItBack) {
  GoTo(1, 2);
  Line("!P", 2, 2);
  rig_.clipboard.text = "SN";
  window_.PasteFromKey();
  ASSERT_EQ(rig_.editors.notes, "!PSN");
  Forget();
  window_.UndoText();
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(rig_.editors.caret, 2);
  EXPECT_EQ(Track(1)->MusicStrings[1], "d()!P");
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I !P"});
  window_.UndoText();  // the edit control's undo undoes itself
  EXPECT_EQ(rig_.editors.notes, "!PSN");
  EXPECT_EQ(Track(1)->MusicStrings[1], "d()!PSN");  // voice 2 of the measure
}

TEST_F(EditLineClipboardTest, UndoTextWithoutAChangeOfThisLineIsRefused) {
  GoTo(1, 2);
  Line("!P", 2, 2);
  window_.UndoText();
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Нечего отменять"});
  // A change in another measure is not this line's.
  rig_.clipboard.text = "SN";
  window_.PasteFromKey();
  GoTo(1, 3);
  Line("e", 1, 1);
  window_.UndoText();
  EXPECT_EQ(rig_.editors.notes, "e");
  EXPECT_EQ(Track(1)->MusicStrings[2], "e");
}

TEST_F(EditLineClipboardTest, DeleteClearsTheSelectionAsOneUndoStep) {
  GoTo(1, 2);
  Line("!PSN", 2, 4);
  window_.DeleteSelection();
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(UndoLabel(), "очистку выделения");
  Forget();
  const int32_t count = UndoCount();
  Line("!P", 1, 1);
  window_.DeleteSelection();
  EXPECT_EQ(rig_.editors.notes, "!P");
  EXPECT_EQ(UndoCount(), count);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
}

// In the program editor the commands act on its own text; paste and delete take the
// undo labels of the Edit menu.
TEST_F(EditLineClipboardTest, TheProgramEditorWithTheFocusIsTheOneActedOn) {
  GoTo(1, 2);
  rig_.editors.program = {"midiout 1", "let a=1"};
  rig_.editors.notes = "!P";
  FocusProgram();
  window_.SelectAll();
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Выделено: midiout 1\nlet a=1"});
  rig_.editors.selection_from = 10;
  rig_.editors.selection_to = 17;
  window_.CopyInKey();
  EXPECT_EQ(rig_.clipboard.text, "let a=1");
  window_.PasteFromKey();
  EXPECT_EQ(rig_.speaker.said.back(), "I Вставлено: let a=1");
  window_.DeleteSelection();
  const std::vector<std::pair<std::string, std::string>> replaced = {
      {"let a=1", W("вставку из буфера")}, {"", W("очистку выделения")}};
  EXPECT_EQ(rig_.editors.replaced, replaced);
  EXPECT_EQ(rig_.editors.notes, "!P");  // the Braille line is left alone
  rig_.editors.program_undo = std::vector<std::string>{"midiout 1"};
  window_.UndoText();
  EXPECT_EQ(rig_.editors.program, std::vector<std::string>{"midiout 1"});
  EXPECT_TRUE(window_.Modified);
  Forget();
  window_.UndoText();
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
}

}  // namespace
}  // namespace songwindowtest
