// The block wizard and the translator picker as widgets on Qt's offscreen platform: keys
// typed into the real fields, the answers in the dialogs' globals and the song.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include <filesystem>

#include "render/track_runtime.h"
#include "settings/lang_texts.h"
#include "songwindow/dialogs/view/handler_dialogs_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;

class HandlerDialogsViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    LoadSongText(window_, {"1 0 0 1 0 0 0", "Общее", "Vd4m", "1 1 1 1 0 0 0", "Мелодия", "!ddSNQ", "Translator abc"});
    window_.CurrentTrack = window_.HeadTreck->Next;
    window_.ShowTreck(smSilent);
    // The track's compiled blocks, as the wizard's command leaves them.
    RuntimeOf(*window_.CurrentTrack)
        .Program.Blocks.Append(TBlock{"arp", "", nullptr, {"Arpeggio", "Speed \"1\"", "Step \"2\""}, false});
    rig_.speaker.said.clear();
  }
  void TearDown() override {
    BlockWizardName.clear();
    BlockWizardParams.clear();
  }
  static void Open(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(HandlerDialogsViewTest, WizardKeepsABadParameterAndWritesTheTagOnEnter) {
  BlockWizardName = "arp";
  BlockWizardParams = {"3"};
  TBlockWizardDialog dialog(window_);
  TBlockWizardView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(view.BlockList()->count(), 2);
  EXPECT_EQ(view.BlockList()->currentRow(), 1);
  EXPECT_EQ(view.DescriptionEdit()->text(), "Arpeggio");
  EXPECT_EQ(view.ParametersTab()->count(), 2);
  EXPECT_EQ(view.ParameterEdit()->text(), "3");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(view.ParameterEdit())->text(QAccessible::Name), "Speed");
  view.ParameterEdit()->setFocus();
  view.ParameterEdit()->selectAll();
  QTest::keyClicks(view.ParameterEdit(), "1.5");
  QTest::keyClick(view.ParameterEdit(), Qt::Key_Enter);
  EXPECT_TRUE(view.isVisible());  // refused: the wizard stays on the parameter
  ASSERT_FALSE(rig_.speaker.said.empty());
  EXPECT_NE(rig_.speaker.said.back().find("«.»"), std::string::npos) << rig_.speaker.said.back();
  view.ParameterEdit()->selectAll();
  QTest::keyClicks(view.ParameterEdit(), "4");
  QTest::keyClick(view.ParameterEdit(), Qt::Key_Enter);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(BlockWizardName, ")arp:4.");
}

TEST_F(HandlerDialogsViewTest, WizardClosedByEscOrTheFrameChangesNothing) {
  for (const bool byFrame : {false, true}) {
    BlockWizardName = "arp";
    TBlockWizardDialog dialog(window_);
    TBlockWizardView view(dialog, nullptr);
    Open(view);
    QTest::keyClick(view.BlockList(), Qt::Key_Up);  // "[нет]"
    EXPECT_EQ(rig_.speaker.said.back(), "I [нет]");
    if (byFrame) {
      view.close();
    } else {
      QTest::keyClick(view.BlockList(), Qt::Key_Escape);
    }
    EXPECT_EQ(view.result(), QDialog::Rejected);
    EXPECT_EQ(BlockWizardName, "") << byFrame;
  }
}

TEST_F(HandlerDialogsViewTest, PickerConvertsTheTrackOnEnter) {
  const TTempDir& dir = rig_.home.Dir();
  std::filesystem::create_directories(dir.File("Translator"));
  WriteBytes(dir.File("Translator/Abc.cnv"), "dd=P\r\n");
  WriteBytes(dir.File("Translator/xyz.CNV"), "q=P\r\n");
  TTranslatorPickerDialog dialog(window_);
  TTranslatorPickerView view(dialog, nullptr);
  Open(view);
  EXPECT_EQ(view.TranslatorList()->count(), 3);
  EXPECT_EQ(view.TranslatorList()->currentRow(), 1);
  QTest::keyClick(view.TranslatorList(), Qt::Key_Down);
  QTest::keyClick(view.TranslatorList(), Qt::Key_Enter);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(window_.CurrentTrack->MusicStrings.at(0), "!qSNQ");
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, std::vector<std::string>{"Translator xyz"});
}

}  // namespace
