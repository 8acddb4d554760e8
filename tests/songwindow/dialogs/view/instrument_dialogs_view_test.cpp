// The instruments dialog and the drum table as widgets on Qt's offscreen platform: keys
// typed into the real list and fields, the previews in a recording port.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/view/instrument_dialogs_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

class InstrumentDialogsViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    Reset();
    LoadSongText(window_, {"1 0 0 1 0 0 0", "Общее", "m", "1 1 1 1 0 0 0", "Мелодия", "a", "b", "1 0 10 1 0 0 0",
                           "Drums", "x"});
    window_.CurrentTrack = window_.HeadTreck->Next;
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
    rig_.preview.sent.clear();
  }
  void TearDown() override { Reset(); }
  static void Reset() {
    LastInstrumentItem = 0, LastBank = 0, InstrumentListLabel.clear(), AuditionKey = 0, AuditionCountdown = 0;
    LastDrumKit = 0, LastDrumElement = 0, DrumListLabel.clear(), DrumAuditionKey = 0;
  }
  static void Open(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  static QString NameOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(InstrumentDialogsViewTest, ArrowsAuditionSpacePlaysAndEnterInserts) {
  TDialogTimer timer;
  TInstrumentsDialog dialog(window_, timer);
  TInstrumentsView view(dialog, timer, nullptr);
  Open(view);
  EXPECT_EQ(AuditionKey, 60);  // activated
  EXPECT_EQ(NameOf(view.List()), "Инструменты (Space - воспроизвести, Enter - вставить в обработчик)");
  EXPECT_EQ(NameOf(view.BankEdit()), "Номер банка");
  QTest::keyClick(view.List(), Qt::Key_Down);
  QTest::keyClick(view.List(), Qt::Key_Space);
  EXPECT_EQ(rig_.preview.sent, (std::vector<std::string>{"noteoff 0 0 60 81", "program 0 0 1", "on 0 0 60 81",
                                                         "noteoff 0 0 60 81", "program 0 0 1", "on 0 0 70 81"}));
  view.BankEdit()->setFocus();
  EXPECT_EQ(NameOf(view.List()), "Инструменты");  // the list was left
  view.BankEdit()->selectAll();
  rig_.editors.line = 0;
  QTest::keyClicks(view.BankEdit(), "3x00");       // the letter is dropped
  EXPECT_EQ(view.BankEdit()->text(), "300");
  QTest::keyClick(view.BankEdit(), Qt::Key_Return);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings[1], "Controller 0 In 2 {$$$GenerallMidiInstrumentsHelper$$$}");
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings[3], "Instrument 1 {$$$GenerallMidiInstrumentsHelper$$$}");
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
  EXPECT_EQ(rig_.preview.sent.back(), "reset 0");
  EXPECT_EQ(LastBank, 300);
}

TEST_F(InstrumentDialogsViewTest, EscAndTheFrameCancelAndResetThePort) {
  for (const bool byFrame : {false, true}) {
    rig_.preview.sent.clear();
    TDialogTimer timer;
    TInstrumentsDialog dialog(window_, timer);
    TInstrumentsView view(dialog, timer, nullptr);
    Open(view);
    EXPECT_EQ(view.List()->currentRow(), byFrame ? 2 : 0);  // the choice kept from the first round
    QTest::keyClick(view.List(), Qt::Key_Down);
    QTest::keyClick(view.List(), Qt::Key_Down);
    if (byFrame) {
      view.close();
    } else {
      QTest::keyClick(view.List(), Qt::Key_Escape);
    }
    EXPECT_EQ(view.result(), QDialog::Rejected) << byFrame;
    EXPECT_EQ(rig_.preview.sent.back(), "reset 0") << byFrame;
    EXPECT_EQ(AuditionKey, 0) << byFrame;
    EXPECT_EQ(window_.CurrentTrack->ProgramStrings, (std::vector<std::string>{"b"})) << byFrame;
  }
}

TEST_F(InstrumentDialogsViewTest, TheDrumTableShowsTheNoteAndPlaysWithEnterAndSpace) {
  window_.CurrentTrack = window_.HeadTreck->Next->Next;
  window_.ShowTreck(smSilent);
  TDrumsDialog dialog(window_);
  TDrumsView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(NameOf(view.NoteEdit()), "Записывается нотой");
  EXPECT_EQ(NameOf(view.KitEdit()), "Номер инструмента");
  EXPECT_EQ(view.NoteEdit()->text(), "Ре-Диез Контр-Октава");
  QTest::keyClick(view.List(), Qt::Key_End);
  EXPECT_EQ(view.NoteEdit()->text(), "Ре-Диез Третья-Октава");
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Ре-Диез Третья-Октава"});
  QTest::keyClick(view.KitEdit(), Qt::Key_End);
  EXPECT_EQ(view.KitEdit()->text(), "127");
  rig_.preview.sent.clear();
  QTest::keyClick(view.KitEdit(), Qt::Key_Space);
  QTest::keyClick(view.List(), Qt::Key_Return);
  EXPECT_EQ(rig_.preview.sent, (std::vector<std::string>{"noteoff 0 9 87 81", "program 0 9 127", "on 0 9 87 81",
                                                         "noteoff 0 9 87 81", "program 0 9 127", "on 0 9 87 81"}));
  EXPECT_TRUE(view.isVisible());  // Enter plays, it does not close
  view.close();
  EXPECT_EQ(rig_.preview.sent.back(), "reset 0");
  EXPECT_EQ(LastDrumKit, 127);
  EXPECT_EQ(LastDrumElement, 60);
}

}  // namespace
