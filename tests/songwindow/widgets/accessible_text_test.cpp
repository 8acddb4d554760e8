#include "songwindow/widgets/accessible_text.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>

#include <memory>

#include "tests/songwindow/view/offscreen_application.h"

namespace {

using B = QAccessible::TextBoundaryType;
constexpr auto kAt = TUnitPlace::At;
constexpr auto kBefore = TUnitPlace::Before;
constexpr auto kAfter = TUnitPlace::After;

struct TUnitCase {
  const char* text;
  bool multiLine;
  B boundary;
  int offset;
  TUnitPlace place;
  TTextRange want;
};

// Every boundary answers at the end of the text and past it, where Qt's own word search
// never returns.
const TUnitCase kUnitCases[] = {
    {"MMVd4!SSOO", false, B::WordBoundary, 10, kAt, {0, 10}},
    {"MMVd4!SSOO", false, B::WordBoundary, 9, kAt, {0, 10}},
    {"MMVd4!SSOO", false, B::WordBoundary, 11, kAt, {-1, -1}},
    {"MMVd4!SSOO", false, B::LineBoundary, 10, kAt, {0, 10}},
    {"MMVd4!SSOO", false, B::SentenceBoundary, 10, kAt, {0, 10}},
    {"MMVd4!SSOO", false, B::ParagraphBoundary, 3, kAt, {0, 10}},
    {"MMVd4!SSOO", false, B::NoBoundary, 0, kAt, {0, 10}},
    {"MMVd4!SSOO", false, B::CharBoundary, 10, kAt, {10, 10}},
    {"MMVd4!SSOO", false, B::CharBoundary, 10, kBefore, {9, 10}},
    {"MMVd4!SSOO", false, B::CharBoundary, 9, kAfter, {9, 9}},
    {"MMVd4!SSOO", false, B::LineBoundary, 10, kBefore, {10, 10}},
    {"MMVd4!SSOO", false, B::CharBoundary, -3, kAt, {-1, -1}},
    // Words are runs of non-blanks; the blanks between them are a unit at an offset only.
    {"ab  cd ", false, B::WordBoundary, 2, kAt, {2, 4}},
    {"ab  cd ", false, B::WordBoundary, 2, kBefore, {0, 2}},
    {"ab  cd ", false, B::WordBoundary, 2, kAfter, {4, 6}},
    {"ab  cd ", false, B::WordBoundary, 0, kBefore, {0, 0}},
    {"ab  cd ", false, B::WordBoundary, 7, kAt, {7, 7}},
    {"ab  cd ", false, B::WordBoundary, 7, kBefore, {4, 6}},
    {"ab  cd ", false, B::WordBoundary, 6, kAt, {6, 7}},
    {"ab  cd", false, B::WordBoundary, 6, kAt, {4, 6}},
    {"ab  cd", false, B::WordBoundary, 6, kAfter, {6, 6}},
    {"", false, B::WordBoundary, 0, kAt, {0, 0}},
    {"", false, B::LineBoundary, 0, kAt, {0, 0}},
    {"", false, B::CharBoundary, 1, kAt, {-1, -1}},
    // Lines of a multi-line field end with their line end; a final line end opens an
    // empty last line.
    {"tempo 92\nxx\n", true, B::LineBoundary, 8, kAt, {0, 9}},
    {"tempo 92\nxx\n", true, B::LineBoundary, 9, kAt, {9, 12}},
    {"tempo 92\nxx\n", true, B::LineBoundary, 12, kAt, {12, 12}},
    {"tempo 92\nxx\n", true, B::LineBoundary, 12, kBefore, {9, 12}},
    {"tempo 92\nxx\n", true, B::SentenceBoundary, 3, kAfter, {9, 12}},
    {"tempo 92\nxx\n", true, B::LineBoundary, 9, kAfter, {9, 9}},
    {"tempo 92\nxx", true, B::LineBoundary, 11, kAt, {9, 11}},
    {"tempo 92\nxx", true, B::WordBoundary, 8, kAt, {8, 9}},
    {"tempo 92\nxx", true, B::WordBoundary, 8, kAfter, {9, 11}},
    {"tempo 92\nxx", true, B::NoBoundary, 11, kAt, {0, 11}},
};

class FindTextUnitTest : public testing::TestWithParam<TUnitCase> {};

TEST_P(FindTextUnitTest, Answers) {
  const TUnitCase& c = GetParam();
  EXPECT_EQ(FindTextUnit(QString::fromLatin1(c.text), c.multiLine, c.boundary, c.offset, c.place), c.want)
      << c.text << " boundary " << c.boundary << " offset " << c.offset << " place "
      << static_cast<int>(c.place);
}

INSTANTIATE_TEST_SUITE_P(Units, FindTextUnitTest, testing::ValuesIn(kUnitCases));

// The interface the factory gives real widgets, on Qt's offscreen platform.
class AccessibleTextTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { application_ = &OffscreenApplication(); }
  static QAccessibleInterface* Of(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); }

  static QApplication* application_;
};

QApplication* AccessibleTextTest::application_ = nullptr;

TEST_F(AccessibleTextTest, LineEditAnswersTheWordAtItsEnd) {
  QWidget window;
  auto* label = new QLabel("Music text:", &window);
  auto* edit = new QLineEdit("MMVd4!SSOO", &window);
  label->setBuddy(edit);
  QAccessibleInterface* face = Of(edit);
  ASSERT_NE(face, nullptr);
  ASSERT_NE(face->textInterface(), nullptr);
  int start = 0;
  int end = 0;
  EXPECT_EQ(face->textInterface()->textAtOffset(10, QAccessible::WordBoundary, &start, &end), "MMVd4!SSOO");
  EXPECT_EQ(face->textInterface()->textAtOffset(-1, QAccessible::LineBoundary, &start, &end), "MMVd4!SSOO");
  EXPECT_EQ(face->role(), QAccessible::EditableText);
  EXPECT_EQ(face->text(QAccessible::Name), "Music text:");
  EXPECT_EQ(face->text(QAccessible::Value), "MMVd4!SSOO");
  EXPECT_TRUE(face->state().editable);
}

TEST_F(AccessibleTextTest, CaretAndSelectionFollowTheWidget) {
  QLineEdit edit("abc def");
  QAccessibleTextInterface* text = Of(&edit)->textInterface();
  text->setCursorPosition(4);
  EXPECT_EQ(edit.cursorPosition(), 4);
  EXPECT_EQ(text->selectionCount(), 0);
  text->setSelection(0, 1, 3);
  EXPECT_EQ(edit.selectedText(), "bc");
  int start = 0;
  int end = 0;
  text->selection(0, &start, &end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(1, 3));
  text->removeSelection(0);
  EXPECT_FALSE(edit.hasSelectedText());
  text->setCursorPosition(99);
  EXPECT_EQ(text->cursorPosition(), 7);
}

TEST_F(AccessibleTextTest, EditingGoesThroughTheWidgetAndNeverIntoAReadOnlyField) {
  QLineEdit edit("abc def");
  int edited = 0;
  QObject::connect(&edit, &QLineEdit::textEdited, [&edited] { ++edited; });
  QAccessibleEditableTextInterface* editable = Of(&edit)->editableTextInterface();
  ASSERT_NE(editable, nullptr);
  editable->replaceText(4, 7, "xy");
  EXPECT_EQ(edit.text(), "abc xy");
  editable->deleteText(0, 4);
  EXPECT_EQ(edit.text(), "xy");
  editable->insertText(2, "z");
  EXPECT_EQ(edit.text(), "xyz");
  EXPECT_EQ(edited, 3);
  edit.setReadOnly(true);
  editable->insertText(0, "no");
  editable->deleteText(0, 3);
  EXPECT_EQ(edit.text(), "xyz");
  EXPECT_TRUE(Of(&edit)->state().readOnly);
  EXPECT_FALSE(Of(&edit)->state().editable);
}

TEST_F(AccessibleTextTest, PasswordShowsOnlyStars) {
  QLineEdit edit("secret word");
  edit.setEchoMode(QLineEdit::Password);
  QAccessibleInterface* face = Of(&edit);
  int start = 0;
  int end = 0;
  EXPECT_EQ(face->textInterface()->text(0, -1), QString(11, QLatin1Char('*')));
  EXPECT_EQ(face->textInterface()->textAtOffset(3, QAccessible::WordBoundary, &start, &end),
            QString(11, QLatin1Char('*')));
  EXPECT_FALSE(face->text(QAccessible::Value).contains("secret"));
  EXPECT_TRUE(face->state().passwordEdit);
}

TEST_F(AccessibleTextTest, PlainTextEditAnswersByTextLine) {
  QPlainTextEdit edit;
  edit.setPlainText("tempo 92\ninstrument 73");
  QAccessibleInterface* face = Of(&edit);
  ASSERT_NE(face->textInterface(), nullptr);
  int start = 0;
  int end = 0;
  EXPECT_EQ(face->textInterface()->textAtOffset(22, QAccessible::LineBoundary, &start, &end), "instrument 73");
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(9, 22));
  EXPECT_EQ(face->textInterface()->textBeforeOffset(22, QAccessible::LineBoundary, &start, &end), "tempo 92\n");
  EXPECT_EQ(face->textInterface()->textAtOffset(22, QAccessible::WordBoundary, &start, &end), "73");
  EXPECT_TRUE(face->state().multiLine);
  face->editableTextInterface()->replaceText(6, 8, "90");
  EXPECT_EQ(edit.toPlainText(), "tempo 90\ninstrument 73");
  face->textInterface()->setCursorPosition(3);
  EXPECT_EQ(edit.textCursor().position(), 3);
}

TEST_F(AccessibleTextTest, SpinBoxAnswersItsTextAndSteps) {
  QSpinBox box;
  box.setRange(0, 127);
  box.setValue(64);
  QAccessibleInterface* face = Of(&box);
  ASSERT_NE(face->textInterface(), nullptr);
  ASSERT_NE(face->valueInterface(), nullptr);
  int start = 0;
  int end = 0;
  EXPECT_EQ(face->role(), QAccessible::SpinBox);
  EXPECT_EQ(face->textInterface()->textAtOffset(2, QAccessible::WordBoundary, &start, &end), "64");
  EXPECT_EQ(face->valueInterface()->currentValue().toInt(), 64);
  EXPECT_EQ(face->valueInterface()->maximumValue().toInt(), 127);
  face->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
  EXPECT_EQ(box.value(), 65);
  face->valueInterface()->setCurrentValue(3);
  EXPECT_EQ(face->text(QAccessible::Value), "3");
}

// A combo box that is not editable reads as its choice (Orca takes a combo box's value
// from its text), keeps its list of choices and its label, and is never edited through
// the text; an editable one is left to Qt (its line edit is the text).
TEST_F(AccessibleTextTest, ComboBoxReadsAsItsChoice) {
  QWidget window;
  auto* label = new QLabel("Типы файлов:", &window);
  auto* box = new QComboBox(&window);
  label->setBuddy(box);
  box->addItems({"Сонг (.QEM) (*.Qem)", "MIDI файл (.MID) (*.mid)"});
  QAccessibleInterface* face = Of(box);
  ASSERT_NE(face->textInterface(), nullptr);
  EXPECT_EQ(face->role(), QAccessible::ComboBox);
  EXPECT_EQ(face->textInterface()->text(0, -1), "Сонг (.QEM) (*.Qem)");
  EXPECT_EQ(face->text(QAccessible::Name), "Сонг (.QEM) (*.Qem)");
  EXPECT_TRUE(face->state().expandable);
  ASSERT_EQ(face->childCount(), 1);
  EXPECT_EQ(face->child(0)->object(), box->view());
  EXPECT_EQ(face->indexOfChild(face->child(0)), 0);
  const auto labels = face->relations(QAccessible::Label);
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels.front().first->object(), label);
  box->setCurrentIndex(1);
  EXPECT_EQ(face->textInterface()->text(0, -1), "MIDI файл (.MID) (*.mid)");
  EXPECT_EQ(face->textInterface()->characterCount(), 24);
  face->editableTextInterface()->insertText(0, "x");
  EXPECT_EQ(box->currentText(), "MIDI файл (.MID) (*.mid)");
  QComboBox editable;
  editable.setEditable(true);
  editable.addItem("tempo");
  EXPECT_EQ(Of(&editable)->textInterface(), nullptr);
}

}  // namespace

namespace {

struct TChangeCase {
  const char* before;
  const char* after;
  TTextChange want;
};

const TChangeCase kChangeCases[] = {
    {"Vd4!NNQT", "Vd4!NNQ", {7, 8, ""}},      // Backspace at the end
    {"Vd4!NNQ", "Vd4!NNQT", {7, 7, "T"}},     // a cell typed at the end
    {"!PSNQ", "!PcSNQ", {2, 2, "c"}},         // typed inside
    {"PcSNQ", "SNQ", {0, 2, ""}},             // a token taken at the start
    {"Vd4!NNQ", "Vd4Ly", {3, 7, "Ly"}},       // another line: only what differs
    {"NN", "NNN", {2, 2, "N"}},               // repeated cells: the change at the end
    {"", "Vd4", {0, 0, "Vd4"}},
    {"Vd4", "", {0, 3, ""}},
    {"same", "same", {4, 4, ""}},
};

class FindTextChangeTest : public testing::TestWithParam<TChangeCase> {};

TEST_P(FindTextChangeTest, OnlyWhatDiffers) {
  const TChangeCase& c = GetParam();
  EXPECT_EQ(FindTextChange(QString::fromLatin1(c.before), QString::fromLatin1(c.after)), c.want)
      << c.before << " -> " << c.after;
}

INSTANTIATE_TEST_SUITE_P(Changes, FindTextChangeTest, testing::ValuesIn(kChangeCases),
                         [](const testing::TestParamInfo<TChangeCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

// The events that reach the screen reader, as (kind, position, removed, inserted, caret).
struct TSeen {
  QAccessible::Event Kind;
  int Position;
  QString Removed;
  QString Inserted;
  int Caret;
  bool operator==(const TSeen&) const = default;
};

std::vector<TSeen> gSeen;

void Record(QAccessibleEvent* event) {
  TSeen seen{event->type(), -1, {}, {}, -1};
  if (event->type() == QAccessible::TextUpdated) {
    auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
    seen = {e->type(), e->changePosition(), e->textRemoved(), e->textInserted(), e->cursorPosition()};
  } else if (event->type() == QAccessible::TextRemoved) {
    auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
    seen = {e->type(), e->changePosition(), e->textRemoved(), {}, e->cursorPosition()};
  } else if (event->type() == QAccessible::TextInserted) {
    auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
    seen = {e->type(), e->changePosition(), {}, e->textInserted(), e->cursorPosition()};
  } else if (event->type() == QAccessible::TextCaretMoved) {
    seen.Caret = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
  } else if (event->type() != QAccessible::TextSelectionChanged) {
    return;
  }
  gSeen.push_back(seen);
}

class ProgramChangeTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    gSeen.clear();
    SetTextEventSink(&Record);
  }
  void TearDown() override { SetTextEventSink(nullptr); }
  // A field with the focus, as the Braille editor has it while the user works.
  static void Focus(QLineEdit& edit) {
    edit.show();
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    edit.setFocus();
    ASSERT_TRUE(edit.hasFocus());
  }
};

// Qt's own setText tells of the whole line deleted and inserted: a screen reader takes the
// old line for what Backspace removed. Announced, only the cell goes.
TEST_F(ProgramChangeTest, ABackspaceTellsOfTheOneCellRemoved) {
  QLineEdit edit;
  AnnounceTextChange(&edit, {"Vd4!NNQT", 8, 0, 0}, {"Vd4!NNQ", 7, 0, 0}, TChangeCause::Edit);
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextRemoved, 7, "T", {}, 7}}));
  gSeen.clear();
  AnnounceTextChange(&edit, {"m", 1, 0, 0}, {"", 0, 0, 0}, TChangeCause::Edit);
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextRemoved, 0, "m", {}, 0}}));
}

// A line of another place is the new line inserted whole, with the caret where the
// program put it, and nothing told removed (the reader would speak the old line as the
// last Backspace's); an empty line is a selection event (a reader drops a caret move to
// where it saw the caret last, and would keep the old line), a caret event in a field
// without the focus; a caret moved alone is one caret event.
TEST_F(ProgramChangeTest, AnotherPlacesLineIsInsertedWholeWithNothingRemoved) {
  QLineEdit other;
  AnnounceTextChange(&other, {"Vd4Ly", 3, 0, 0}, {"", 0, 0, 0}, TChangeCause::NewLine);
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextCaretMoved, -1, {}, {}, 0}}));
  gSeen.clear();
  QLineEdit edit;
  Focus(edit);
  AnnounceTextChange(&edit, {"Vd4!NNQ", 7, 0, 0}, {"Vd4Ly", 0, 0, 0}, TChangeCause::NewLine);
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextInserted, 0, {}, "Vd4Ly", 0}}));
  gSeen.clear();
  AnnounceTextChange(&edit, {"Vd4Ly", 0, 0, 0}, {"Vd4Ly", 3, 0, 0}, TChangeCause::NewLine);
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextCaretMoved, -1, {}, {}, 3}}));
  gSeen.clear();
  AnnounceTextChange(&edit, {"Vd4Ly", 3, 0, 0}, {"", 0, 0, 0}, TChangeCause::NewLine);
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextSelectionChanged, -1, {}, {}, -1}}));
  gSeen.clear();
  AnnounceTextChange(&edit, {"Vd4Ly", 0, 0, 0}, {"", 0, 0, 0}, TChangeCause::NewLine);
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextSelectionChanged, -1, {}, {}, -1}}));
  gSeen.clear();
  AnnounceTextChange(&edit, {"Vd4Ly", 3, 0, 0}, {"Vd4Ly", 3, 0, 0}, TChangeCause::NewLine);
  EXPECT_TRUE(gSeen.empty());
}

// A command's change (undo, paste by a shortcut the reader never hears) removes nothing in
// the reader's eyes; cells only added are told as they are.
struct TCommandCase {
  const char* Before;
  int CaretBefore;
  const char* After;
  int CaretAfter;
  TSeen Want;
};

class CommandChangeTest : public ProgramChangeTest, public testing::WithParamInterface<TCommandCase> {};

TEST_P(CommandChangeTest, NothingToldRemoved) {
  const TCommandCase& c = GetParam();
  QLineEdit edit;
  Focus(edit);
  AnnounceTextChange(&edit, {c.Before, c.CaretBefore, 0, 0}, {c.After, c.CaretAfter, 0, 0},
                     TChangeCause::Command);
  EXPECT_EQ(gSeen, std::vector<TSeen>{c.Want});
}

const TCommandCase kCommandCases[] = {
    // Undo of a typed cell.
    {"Vd4!NNQT", 8, "Vd4!NNQ", 0, {QAccessible::TextInserted, 0, {}, "Vd4!NNQ", 0}},
    // Undo of an insertion that replaced cells.
    {"Vd4!QQ", 6, "Vd4!NNQ", 0, {QAccessible::TextInserted, 0, {}, "Vd4!NNQ", 0}},
    // A paste at the end.
    {"Vd4!NNQ", 7, "Vd4!NNQQTQT", 11, {QAccessible::TextInserted, 7, {}, "QTQT", 11}},
    // The line emptied.
    {"m", 1, "", 0, {QAccessible::TextSelectionChanged, -1, {}, {}, -1}},
};
INSTANTIATE_TEST_SUITE_P(Changes, CommandChangeTest, testing::ValuesIn(kCommandCases));

// A dialog's field filled by the program: only the changed cell, the caret at the end.
TEST_F(ProgramChangeTest, AFieldFilledByTheProgramTellsOfTheCellsChanged) {
  QLineEdit edit;
  edit.setText("1000");
  SetFieldText(edit, "1200");
  EXPECT_EQ(edit.text(), "1200");
  EXPECT_EQ(gSeen, (std::vector<TSeen>{{QAccessible::TextUpdated, 1, "0", "2", 4}}));
  gSeen.clear();
  SetFieldText(edit, "1200");
  EXPECT_TRUE(gSeen.empty());
}

}  // namespace
