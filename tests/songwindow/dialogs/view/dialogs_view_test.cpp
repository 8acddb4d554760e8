// The window's dialogs as widgets on Qt's offscreen platform: keys typed into the real
// fields, the results in the dialogs' globals, the speech and signals in recording ports.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/dialogs/view/range_dialogs_view.h"
#include "songwindow/dialogs/view/track_dialogs_view.h"
#include "songwindow/parts/dialog_results.h"
#include "songwindow/view/song_window_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/input_prompts.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

// Twelve measures on the melody track; measure 3 holds three voices.
std::vector<std::string> Song() {
  std::vector<std::string> lines = {"1 0 0 1 0 0 0", "Общее", "m", "12 0 1 1 0 0 0", "Мелодия"};
  for (int m = 1; m <= 12; ++m) {
    lines.push_back(m == 3 ? "a()b()c" : "a");
  }
  lines.insert(lines.end(), {"1 0 10 1 0 0 0", "Drums", "x"});
  return lines;
}

class DialogsViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    LoadSongText(window_, Song());
    window_.CurrentTrack = window_.HeadTreck->Next;
    window_.CurrentMeasure = 3;
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
    RangeDialogMode = 1;
    TrackDialogResult = 0;
  }
  // Shows the dialog as the user meets it, active.
  static void Open(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  static void SelectAndType(QLineEdit* edit, const char* text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  static QString NameOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(DialogsViewTest, RangeFieldsTakeDigitsStepOnReleaseAndConfirmOnOk) {
  TMeasureRangeDialog dialog(window_);
  TMeasureRangeView view(dialog, nullptr);
  Open(view);
  QLineEdit* from = view.FromEdit();
  QLineEdit* to = view.ToEdit();
  EXPECT_EQ(from->text(), "3");
  SelectAndType(from, "x5");  // the letter is dropped
  EXPECT_EQ(from->text(), "5");
  EXPECT_EQ(to->text(), "5");  // pushed along
  QTest::keyClick(to, Qt::Key_PageUp);
  EXPECT_EQ(to->text(), "12");
  QTest::keyClick(from, Qt::Key_Down);
  EXPECT_EQ(from->text(), "4");
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I 12", "I 4"}));
  // A pasted text that is no number is refused with the error signal.
  QGuiApplication::clipboard()->setText("12a");
  to->selectAll();
  QTest::keyClick(to, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(to->text(), "12");
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{101});
  // "2" stays while typed; OK corrects it to the first field.
  SelectAndType(to, "2");
  EXPECT_EQ(to->text(), "2");
  view.VoiceList()->setCurrentRow(1);
  QTest::keyClick(to, Qt::Key_Return);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(RangeFrom, 4);
  EXPECT_EQ(RangeTo, 4);
  EXPECT_EQ(RangeVoiceChoice, 2);
}

TEST_F(DialogsViewTest, RangeFieldsAreNamedForScreenReadersAndColoured) {
  TMeasureRangeDialog dialog(window_);
  TMeasureRangeView view(dialog, nullptr);
  EXPECT_EQ(view.windowTitle(), "Очисттка");
  EXPECT_TRUE(view.isModal());
  EXPECT_EQ(NameOf(view.FromEdit()), "С такта");
  EXPECT_EQ(NameOf(view.ToEdit()), "по");
  EXPECT_EQ(NameOf(view.VoiceList()), "Голоса");
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(view.FromEdit());
  ASSERT_NE(face->textInterface(), nullptr);
  EXPECT_EQ(face->textInterface()->text(0, 1), "3");
  EXPECT_EQ(view.OkButton()->text(), "Очистить");
  // The default scheme: near-black edits, navy lists.
  EXPECT_EQ(view.FromEdit()->palette().color(QPalette::Base), QColor(1, 0, 0));
  EXPECT_EQ(view.VoiceList()->palette().color(QPalette::Base), QColor(0, 0, 128));
}

TEST_F(DialogsViewTest, RangeClosedByEscOrByTheFrameIsCancel) {
  for (const bool byFrame : {false, true}) {
    RangeDialogMode = 2;
    RangeFrom = 7;
    TMeasureRangeDialog dialog(window_);
    TMeasureRangeView view(dialog, nullptr);
    Open(view);
    EXPECT_TRUE(view.VoiceList()->isHidden());  // delete mode
    SelectAndType(view.FromEdit(), "2");
    if (byFrame) {
      view.close();
    } else {
      QTest::keyClick(view.FromEdit(), Qt::Key_Escape);
    }
    EXPECT_EQ(view.result(), QDialog::Rejected);
    EXPECT_EQ(RangeFrom, 0) << byFrame;
    EXPECT_EQ(RangeVoiceChoice, 0) << byFrame;
  }
}

TEST_F(DialogsViewTest, GoToStepsByTheMeasureAndConfirmsWithEnter) {
  TGoToDialog dialog(window_);
  TGoToView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(NameOf(view.MeasureEdit()), "Номер такта");
  EXPECT_EQ(NameOf(view.VoiceEdit()), "Номер голоса");
  EXPECT_EQ(view.MeasureEdit()->text(), "3");
  QTest::keyClick(view.VoiceEdit(), Qt::Key_End);
  EXPECT_EQ(view.VoiceEdit()->text(), "3");
  SelectAndType(view.MeasureEdit(), "40000");
  EXPECT_EQ(view.MeasureEdit()->text(), "34463");
  SelectAndType(view.MeasureEdit(), "0");
  EXPECT_EQ(view.MeasureEdit()->text(), "1");
  EXPECT_TRUE(view.MeasureEdit()->hasSelectedText());  // the next digit replaces it
  QTest::keyClicks(view.MeasureEdit(), "7");
  EXPECT_EQ(view.MeasureEdit()->text(), "7");
  QTest::keyClick(view.MeasureEdit(), Qt::Key_Enter);
  EXPECT_EQ(GoToConfirmed, 1);
  EXPECT_EQ(GoToMeasure, 7);
  EXPECT_EQ(GoToVoice, 3);
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I 3"});
}

TEST_F(DialogsViewTest, PropertiesShowTheTrackAndWriteItOnOk) {
  GLastMidiOut = 0;
  TTrackPropertiesDialog dialog(window_);
  TTrackPropertiesView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(view.windowTitle(), "Свойства");
  EXPECT_EQ(NameOf(view.NameEdit()), "Имя трека");
  EXPECT_EQ(view.NameEdit()->text(), "Мелодия");
  EXPECT_TRUE(view.ChannelButton(0)->isChecked());
  EXPECT_EQ(view.ChannelButton(9)->text(), "10 (задействован)");
  EXPECT_TRUE(view.Outputs()->isHidden());  // no additional port
  view.NameEdit()->selectAll();
  QTest::keyClicks(view.NameEdit(), "Viola");
  view.ChannelButton(4)->click();
  view.SoloBox()->click();
  QTest::keyClick(view.NameEdit(), Qt::Key_Return);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(window_.CurrentTrack->Caption, "Viola");
  EXPECT_EQ(window_.CurrentTrack->Channel, 5);
  EXPECT_TRUE(window_.CurrentTrack->Solo);
  EXPECT_EQ(window_.CurrentTrack->MidiOut, 0);
  EXPECT_EQ(TrackDialogResult, 1);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
}

// The channel buttons stand in rows of four; the arrows still walk them 1 to 16 in order,
// each button reached checked, and stop at either end.
TEST_F(DialogsViewTest, PropertiesArrowsWalkTheChannelsInOrder) {
  GLastMidiOut = 0;
  TTrackPropertiesDialog dialog(window_);
  TTrackPropertiesView view(dialog, nullptr);
  Open(view);
  const auto checked = [&view] {
    int found = -1;
    for (int i = 0; i < 16; ++i) {
      if (view.ChannelButton(i)->isChecked()) {
        found = found == -1 ? i : -2;  // -2: more than one
      }
    }
    return found;
  };
  view.ChannelButton(0)->setFocus();
  ASSERT_EQ(checked(), 0);
  const struct {
    Qt::Key key;
    int want;  // the button checked and focused after the key
  } steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Right, 2}, {Qt::Key_Right, 3}, {Qt::Key_Right, 4},
               {Qt::Key_Down, 5},  {Qt::Key_Left, 4},  {Qt::Key_Up, 3},    {Qt::Key_Up, 2},
               {Qt::Key_Up, 1},    {Qt::Key_Up, 0},    {Qt::Key_Left, 0}};
  for (const auto& step : steps) {
    QTest::keyClick(QApplication::focusWidget(), step.key);
    EXPECT_EQ(checked(), step.want) << step.key;
    EXPECT_EQ(QApplication::focusWidget(), view.ChannelButton(step.want)) << step.key;
  }
  for (int i = 0; i < 20; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  }
  EXPECT_EQ(checked(), 15);
  EXPECT_EQ(QApplication::focusWidget(), view.ChannelButton(15));
}

// Tab and Shift+Tab walk the shown fields with the sixteen channels as one stop, entered on
// the chosen channel from either side.
TEST_F(DialogsViewTest, PropertiesTabEntersTheChannelsOnTheChosenOne) {
  GLastMidiOut = 0;
  TTrackPropertiesDialog dialog(window_);
  TTrackPropertiesView view(dialog, nullptr);
  Open(view);
  ASSERT_EQ(QApplication::focusWidget(), view.NameEdit());
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QWidget* want;
  } steps[] = {{Qt::Key_Tab, Qt::NoModifier, view.ChannelButton(0)},
               {Qt::Key_Right, Qt::NoModifier, view.ChannelButton(1)},
               {Qt::Key_Tab, Qt::NoModifier, view.SoloBox()},
               {Qt::Key_Tab, Qt::ShiftModifier, view.ChannelButton(1)},
               {Qt::Key_Tab, Qt::ShiftModifier, view.NameEdit()},  // the port list is hidden
               {Qt::Key_Tab, Qt::NoModifier, view.ChannelButton(1)}};
  for (size_t i = 0; i < std::size(steps); ++i) {
    QTest::keyClick(QApplication::focusWidget(), steps[i].key, steps[i].modifiers);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), steps[i].want->objectName().toStdString())
        << "step " << i;
  }
}

TEST_F(DialogsViewTest, PropertiesEnterOnCancelAndTheFrameCancel) {
  for (const bool byFrame : {false, true}) {
    TrackDialogResult = 1;  // a new track being named
    TTrackPropertiesDialog dialog(window_);
    TTrackPropertiesView view(dialog, nullptr);
    Open(view);
    EXPECT_EQ(view.windowTitle(), "Добавить трек");
    view.NameEdit()->selectAll();
    QTest::keyClicks(view.NameEdit(), "Gone");
    if (byFrame) {
      view.close();
    } else {
      view.CancelButton()->setFocus();
      QTest::keyClick(view.CancelButton(), Qt::Key_Return);
    }
    EXPECT_EQ(view.result(), QDialog::Rejected) << byFrame;
    EXPECT_EQ(TrackDialogResult, 0) << byFrame;
    EXPECT_EQ(window_.CurrentTrack->Caption, W("Мелодия")) << byFrame;
  }
}

TEST_F(DialogsViewTest, PropertiesOfTheControlTrackHideTheChannels) {
  window_.CurrentTrack = window_.HeadTreck;
  window_.ShowTreck(smSilent);
  TTrackPropertiesDialog dialog(window_);
  TTrackPropertiesView view(dialog, nullptr);
  EXPECT_EQ(NameOf(view.NameEdit()), "Имя сонга");
  EXPECT_TRUE(view.ChannelGroup()->isHidden());
  EXPECT_TRUE(view.SoloBox()->isHidden());
  EXPECT_TRUE(view.EnsembleBox()->isHidden());
  EXPECT_FALSE(view.HandlerBox()->isHidden());
}

TEST_F(DialogsViewTest, PropertiesListThePortsByDevice) {
  const int32_t savedLast = GLastMidiOut;
  const auto savedDevices = GMidiOutDevices;
  GLastMidiOut = 1;
  GMidiOutDevices[1] = 0;
  rig_.device.names = {"Synth", "log"};
  rig_.device.device = 1;
  TTrackPropertiesDialog dialog(window_);
  TTrackPropertiesView view(dialog, nullptr);
  Open(view);
  ASSERT_FALSE(view.Outputs()->isHidden());
  // A combo box is named by its label's relation (its own name is its text on Linux).
  EXPECT_EQ(view.Outputs()->accessibleName(), "Порт вывода");
  const auto labels = QAccessible::queryAccessibleInterface(view.Outputs())->relations(QAccessible::Label);
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels.front().first->text(QAccessible::Name), "Порт вывода:");
  ASSERT_EQ(view.Outputs()->count(), 2);
  EXPECT_EQ(view.Outputs()->itemText(0), "log");
  EXPECT_EQ(view.Outputs()->itemText(1), "Synth");
  view.Outputs()->setCurrentIndex(1);
  view.OkButton()->click();
  EXPECT_EQ(window_.CurrentTrack->MidiOut, 1);
  GLastMidiOut = savedLast;
  GMidiOutDevices = savedDevices;
}

TEST_F(DialogsViewTest, CopyListsKeepTheRangeForwardAndEnterIsOk) {
  TTrackCopyDialog dialog(window_);
  TTrackCopyView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(NameOf(view.BeginList()), "Начиная с трека");
  ASSERT_EQ(view.BeginList()->count(), 2);
  QTest::keyClick(view.BeginList(), Qt::Key_Down);
  EXPECT_EQ(view.EndList()->currentRow(), 1);  // the end moved with the beginning
  QTest::keyClick(view.EndList(), Qt::Key_Up);
  EXPECT_EQ(view.EndList()->currentRow(), 1);
  QTest::keyClick(view.BeginList(), Qt::Key_Return);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(CopyFromTrack, 3);
  EXPECT_EQ(CopyToTrack, 3);
  TTrackCopyDialog again(window_);
  TTrackCopyView closed(again, nullptr);
  Open(closed);
  closed.close();
  EXPECT_EQ(CopyFromTrack, -1);
  EXPECT_EQ(CopyToTrack, -1);
}

TEST_F(DialogsViewTest, TrackTextSpeaksItsPlaceAndSavesWithF8) {
  TTrackTextDialog dialog(window_);
  TTrackTextView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(NameOf(view.TextBox()), "Редактор трека");
  EXPECT_EQ(view.LinePanel()->text(), "Такт: 1");
  QTest::keyClick(view.TextBox(), Qt::Key_Down);
  QTest::keyClick(view.TextBox(), Qt::Key_Right);
  EXPECT_EQ(view.LinePanel()->text(), "Такт: 2");
  EXPECT_EQ(view.ColumnPanel()->text(), "Столбец: 2");
  QTest::keyClick(view.TextBox(), Qt::Key_F4);
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I Строка: 2", "S Столбец: 2"}));
  view.TextBox()->selectAll();
  QTest::keyClick(view.TextBox(), Qt::Key_Delete);
  QTest::keyClick(view.TextBox(), Qt::Key_F8);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_TRUE(window_.CurrentTrack->MusicStrings.empty()) << "an emptied text leaves no music line";
}

// Ctrl+H replaces from the caret on, whatever the case, in one undo step, and says how
// many it replaced; a text that is not there gives the error signal.
TEST_F(DialogsViewTest, TrackTextReplacesFromTheCaretAsFindMatchesAndSaysTheCount) {
  TTrackTextDialog dialog(window_);
  TTrackTextView view(dialog, nullptr);
  Open(view);
  QPlainTextEdit* text = view.TextBox();
  const QString before = text->toPlainText();
  QTest::keyClick(text, Qt::Key_Down);
  QTest::keyClick(text, Qt::Key_Down);  // measure 3, "a()b()c"
  {
    TPromptAnswers answers({"A", "x"});
    QTest::keyClick(text, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(answers.Left().isEmpty());
  }
  QStringList expected = {"a", "a", "x()b()c"};
  for (int m = 4; m <= 12; ++m) {
    expected.append("x");
  }
  EXPECT_EQ(text->toPlainText().toStdString(), expected.join('\n').toStdString());
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{"1 Всего произведено замен: 10"});
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{});
  text->undo();
  EXPECT_EQ(text->toPlainText().toStdString(), before.toStdString()) << "one undo step";
  Open(view);  // active again after the prompts
  {
    TPromptAnswers answers({"q", "x"});
    QTest::keyClick(text, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(answers.Left().isEmpty());
  }
  EXPECT_EQ(text->toPlainText().toStdString(), before.toStdString());
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(rig_.questions.asked.size(), 1u);
}

// The window runs each dialog modally over itself with its own controller.
TEST_F(DialogsViewTest, TheWindowShowsItsDialogsModally) {
  setenv("VELTO_SPEECH_LOG", "/dev/null", 1);
  setenv("VELTO_SIGNAL_LOG", "/dev/null", 1);
  TScopedProgramDir home;
  TSongWindowView songWindow(nullptr, 5, "qem");
  songWindow.Controller().NewSong();
  songWindow.Controller().ShowTreck(smSilent);
  songWindow.show();
  QWidget* owner = nullptr;
  QTimer::singleShot(0, [&owner] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    owner = dialog->parentWidget();
    QLineEdit* measure = dialog->findChild<QLineEdit*>("GoTackt");
    ASSERT_NE(measure, nullptr);
    measure->selectAll();
    QTest::keyClicks(measure, "4");
    QTest::keyClick(measure, Qt::Key_Return);
  });
  GoToConfirmed = 0;
  songWindow.Show(TWindowDialog::GoTo);
  EXPECT_EQ(owner, &songWindow);
  EXPECT_EQ(GoToConfirmed, 1);
  EXPECT_EQ(GoToMeasure, 4);
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  RangeFrom = 3;
  songWindow.Show(TWindowDialog::MeasureRange);
  EXPECT_EQ(RangeFrom, 0);
}

}  // namespace
