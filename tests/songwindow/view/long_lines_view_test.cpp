// Song lines longer than a QLineEdit keeps by default (32,767 characters) in the real
// widgets on Qt's offscreen platform: nothing is cut, so nothing cut is written back.
#include <gtest/gtest.h>

#include <QTest>

#include <cstdlib>
#include <memory>
#include <string>

#include "feedback/message_box.h"
#include "model/song_file.h"
#include "platform/atomic_file.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/track_dialogs.h"
#include "songwindow/dialogs/view/track_dialogs_view.h"
#include "songwindow/parts/dialog_results.h"
#include "songwindow/view/song_window_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

// 40,000 cells: a C quarter note and 39,999 D eighths.
const std::string kLongMeasure = "!" + std::string(39999, 'S');

// The melody's header holds the caret column (`caret`).
std::string SongBytes(const std::string& melodyName, const std::string& measure2, int caret = 0) {
  return "1 0 0 1 0 0 0\r\nCommon\r\nm\r\n2 0 1 1 " + std::to_string(caret) + " 0 0\r\n" + melodyName + "\r\n" + kLongMeasure +
         "\r\n" + measure2 + "\r\n";
}

class LongLinesViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    setenv("VELTO_SPEECH_LOG", "/dev/null", 1);
    setenv("VELTO_SIGNAL_LOG", "/dev/null", 1);
    boxes_ = std::make_shared<TScriptedMessageBoxes>(std::vector<int>{mbCancel});
    SetMessageBoxes(boxes_);
    song_ = home_.Dir().Path() + "long.qem";
    ASSERT_TRUE(WriteFileAtomically(song_, SongBytes("Melody", "!SSOO")));
  }
  void TearDown() override { SetMessageBoxes(nullptr); }

  // The song opened in the window as the main window opens it, on measure 1.
  void Open(TSongWindowView& view) {
    TSongWindow& c = view.Controller();
    std::string error;
    ASSERT_TRUE(LoadSongFile(c, song_, "", &error)) << error;
    c.RememberSongFile(true);
    c.CurrentTrack = c.HeadTreck->Next;
    c.CurrentMeasure = 1;
    c.ShowTreck(smSilent);
  }

  TScopedProgramDir home_;
  std::shared_ptr<TScriptedMessageBoxes> boxes_;
  std::string song_;
};

TEST_F(LongLinesViewTest, AnUntouchedLongMeasureIsShownWholeAndClosesWithoutAQuestion) {
  TSongWindowView view(nullptr, 5, "qem");
  Open(view);
  EXPECT_EQ(view.NotesEdit1()->text().size(), 40000);
  view.Controller().NextTackt();
  EXPECT_EQ(view.NotesEdit1()->text(), "!SSOO");
  EXPECT_EQ(view.Controller().CurrentTrack->MusicStrings.at(0).size(), 40000u);
  EXPECT_TRUE(view.Controller().Ending(true));
  EXPECT_TRUE(boxes_->Shown().empty()) << "asked: " << U(boxes_->Shown().front().Text);
  EXPECT_EQ(ReadFileBytes(song_).value_or(""), SongBytes("Melody", "!SSOO"));
}

TEST_F(LongLinesViewTest, AnEditOfAnotherMeasureSavesTheLongOneWhole) {
  TSongWindowView view(nullptr, 5, "qem");
  Open(view);
  view.Controller().NextTackt();
  view.NotesEdit1()->setFocus();
  view.NotesEdit1()->setCursorPosition(5);
  QTest::keyClicks(view.NotesEdit1(), "Q");
  EXPECT_EQ(view.NotesEdit1()->text(), "!SSOOQ");
  view.Controller().CommitEditors();
  std::string error;
  ASSERT_TRUE(SaveSongFile(view.Controller(), song_, "", &error)) << error;
  EXPECT_EQ(ReadFileBytes(song_).value_or(""), SongBytes("Melody", "!SSOOQ", 6));
}

TEST_F(LongLinesViewTest, TheLongMeasureTakesTypingUpToTheLineLimit) {
  TSongWindowView view(nullptr, 5, "qem");
  Open(view);
  QLineEdit* edit = view.NotesEdit1();
  edit->setFocus();
  edit->setCursorPosition(1);
  QTest::keyClicks(edit, "Q");  // beyond 32,767 characters
  EXPECT_EQ(edit->text().size(), 40001);
  view.Controller().CommitEditors();
  EXPECT_EQ(view.Controller().CurrentTrack->MusicStrings.at(0), "!Q" + kLongMeasure.substr(1));
}

TEST_F(LongLinesViewTest, ALongTrackNameIsShownWholeAndKeptOnOk) {
  const std::string name(40000, 'N');
  ASSERT_TRUE(WriteFileAtomically(song_, SongBytes(name, "!SSOO")));
  TSongWindowView view(nullptr, 5, "qem");
  Open(view);
  TTrackPropertiesDialog dialog(view.Controller());
  TTrackPropertiesView properties(dialog, nullptr);
  properties.show();
  EXPECT_EQ(properties.NameEdit()->text().size(), 40000);
  QTest::keyClick(properties.NameEdit(), Qt::Key_Return);
  EXPECT_EQ(properties.result(), QDialog::Accepted);
  EXPECT_EQ(view.Controller().CurrentTrack->Caption, name);
}

}  // namespace
