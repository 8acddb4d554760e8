#include "songwindow/view/song_window_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <vector>

#include "songwindow/controller/braille_editor.h"
#include "songwindow/parts/key_codes.h"
#include "songwindow/widgets/accessible_text.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

// The text events the screen reader would get from the Braille editor.
struct TTextEvent {
  QAccessible::Event Kind;
  int Position;
  QString Removed;
  QString Inserted;
  int Caret;
  bool operator==(const TTextEvent&) const = default;
};

std::vector<TTextEvent> gEvents;

void Keep(QAccessibleEvent* event) {
  switch (event->type()) {
    case QAccessible::TextUpdated: {
      auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
      gEvents.push_back({e->type(), e->changePosition(), e->textRemoved(), e->textInserted(), e->cursorPosition()});
      break;
    }
    case QAccessible::TextRemoved: {
      auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
      gEvents.push_back({e->type(), e->changePosition(), e->textRemoved(), {}, e->cursorPosition()});
      break;
    }
    case QAccessible::TextInserted: {
      auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
      gEvents.push_back({e->type(), e->changePosition(), {}, e->textInserted(), e->cursorPosition()});
      break;
    }
    case QAccessible::TextCaretMoved:
      gEvents.push_back({event->type(), -1, {}, {}, static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition()});
      break;
    default:
      break;
  }
}

// Two tracks: the melody "Vd4!NNQT" over the bass "Vd4Ly".
const std::vector<std::string> kSong = {"1 0 0 1 0 0 0", "Общее", "Vd4m",
                                        "1 0 1 1 0 0 0", "Мелодия", "Vd4!NNQT",
                                        "1 0 2 1 0 0 0", "Бас", "Vd4Ly"};

class SongWindowViewTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    // The window speaks and signals into logs, never to the desktop's speech.
    setenv("VELTO_SPEECH_LOG", "/dev/null", 1);
    setenv("VELTO_SIGNAL_LOG", "/dev/null", 1);
    gEvents.clear();
    SetTextEventSink(&Keep);
  }
  void TearDown() override { SetTextEventSink(nullptr); }
};

// Each key's change of the line reaches the screen reader once the key is handled: the
// cell Backspace took; a track's line in place of another inserted whole with its caret,
// the old line never told removed (a reader that never hears the command's key would take
// it for its last Backspace's and speak it); a command's change that takes cells away is
// told as the line it leaves.
TEST_F(SongWindowViewTest, TheBrailleEditorTellsOfWhatTheProgramChanged) {
  TSongWindowView view(nullptr, 7, "qem");
  TSongWindow& c = view.Controller();
  LoadSongText(c, kSong);
  ASSERT_NE(c.CurrentTrack, nullptr);
  c.ShowTreck(smSilent);  // the song opens on its last track
  QApplication::processEvents();
  ASSERT_EQ(view.NotesEdit1()->text(), "Vd4Ly");
  gEvents.clear();
  c.PriorTreck();
  ASSERT_EQ(view.NotesEdit1()->text(), "Vd4!NNQT");
  QApplication::processEvents();
  EXPECT_EQ(gEvents, (std::vector<TTextEvent>{{QAccessible::TextInserted, 0, {}, "Vd4!NNQT", 0}}));
  gEvents.clear();
  view.SetNotesCaret(8, 8);
  c.Editor().KeyDown(vkBack, {});
  c.Editor().KeyPress(8);
  c.Editor().KeyUp(vkBack, {});
  ASSERT_EQ(view.NotesEdit1()->text(), "Vd4!NNQ");
  EXPECT_TRUE(gEvents.empty());  // not before the key is handled
  QApplication::processEvents();
  EXPECT_EQ(gEvents, (std::vector<TTextEvent>{{QAccessible::TextRemoved, 7, "T", {}, 7}}));
  gEvents.clear();
  c.NextTreck();
  ASSERT_EQ(view.NotesEdit1()->text(), "Vd4Ly");
  QApplication::processEvents();
  EXPECT_EQ(gEvents, (std::vector<TTextEvent>{{QAccessible::TextInserted, 0, {}, "Vd4Ly", 0}}));
  // A cell typed, then taken back by the Text menu's undo (Ctrl+Z, a shortcut).
  view.SetNotesCaret(5, 5);
  c.Editor().KeyDown('N', {});
  c.Editor().KeyPress('N');
  c.Editor().KeyUp('N', {});
  ASSERT_EQ(view.NotesEdit1()->text(), "Vd4LyN");
  QApplication::processEvents();
  gEvents.clear();
  QAction* undo = nullptr;
  for (QMenu* menu : view.Menus()) {
    undo = undo != nullptr ? undo : menu->findChild<QAction*>("UndoText");
  }
  ASSERT_NE(undo, nullptr);
  undo->trigger();
  ASSERT_EQ(view.NotesEdit1()->text(), "Vd4Ly");
  QApplication::processEvents();
  EXPECT_EQ(gEvents, (std::vector<TTextEvent>{{QAccessible::TextInserted, 0, {}, "Vd4Ly", 5}}));
}

// A selection whose anchor lay past the end of a line that got shorter ends at its end.
TEST_F(SongWindowViewTest, TheSelectionAnchorIsKeptWithinTheLine) {
  TSongWindowView view(nullptr, 9, "qem");
  view.SetNotesText("Vd4Ly!NNQT");
  view.SetNotesCaret(1, 9);
  view.SetNotesText("Vd4Ly");
  view.SetNotesCaret(1, 9);
  EXPECT_EQ(view.NotesCaret(), 1);
  EXPECT_EQ(view.NotesAnchor(), 5);
  EXPECT_EQ(view.NotesEdit1()->selectedText(), "d4Ly");
}

// A window whose close was accepted is going away: the main window says nothing of it.
TEST_F(SongWindowViewTest, AnAcceptedCloseMarksTheWindowClosing) {
  TSongWindowView view(nullptr, 8, "qem");
  view.Controller().NewSong();
  view.Controller().ShowTreck(smSilent);
  view.show();
  EXPECT_FALSE(view.Closing());
  EXPECT_TRUE(view.close());
  EXPECT_TRUE(view.Closing());
}

// A window taken down while its Braille editor has the focus: the focus Qt moves out of the
// editors then never reaches the window's own watch of the focus.
TEST_F(SongWindowViewTest, AWindowGoesWithTheFocusInItsBrailleEditor) {
  auto view = std::make_unique<TSongWindowView>(nullptr, 10, "qem");
  view->Controller().NewSong();
  view->Controller().ShowTreck(smSilent);
  view->show();
  view->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  view->RestoreFocus();
  ASSERT_TRUE(view->NotesEdit1()->hasFocus());
  view.reset();  // the sanitizer's check of the dynamic type fails on a watch left connected
  EXPECT_EQ(QApplication::focusWidget(), nullptr);
}

}  // namespace
