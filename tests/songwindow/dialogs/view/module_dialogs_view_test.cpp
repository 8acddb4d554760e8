// The module editor, module manager and module name dialogs as widgets on Qt's offscreen
// platform: real keys in the real lists and fields.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include <filesystem>

#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/dialogs/view/module_dialogs_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/input_prompts.h"
#include "tests/songwindow/view/offscreen_application.h"

namespace {

using namespace songwindowtest;
namespace fs = std::filesystem;

class ModuleDialogsViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    UnloadLanguage();
    FreeListLabel.clear();
    FreeListPos = CommonListPos = TrackListPos = 0;
    modules_ = fs::path(ProgramDir) / "Modules";
    fs::create_directories(modules_);
    ASSERT_TRUE(WriteTextLines(modules_ / "swing.blk", {"block swing", "endblock"}));
    ASSERT_TRUE(WriteTextLines(modules_ / "velocity.blk", {"block one", "endblock", "block two", "endblock"}));
    LoadSongText(window_, {"1 1 0 1 0 0 0", "Общее", "m", "module swing", "1 1 1 1 0 0 0", "Piano", "a", "let x=1"});
    window_.CurrentTrack = window_.HeadTreck->Next;
    window_.ShowTreck(smSilent);
    rig_.speaker.said.clear();
    rig_.signaller.kinds.clear();
  }
  void TearDown() override {
    FreeListLabel.clear();
    FreeListPos = CommonListPos = TrackListPos = 0;
  }
  static void Open(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  static QString NameOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
  }
  static QStringList Items(QListWidget* list) {
    QStringList items;
    for (int row = 0; row < list->count(); ++row) {
      items.append(list->item(row)->text());
    }
    return items;
  }

  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
  fs::path modules_;
};

TEST_F(ModuleDialogsViewTest, EndMovesAModuleToTheTrackAndEscWritesItsLine) {
  TModuleManagerDialog dialog(window_);
  TModuleManagerView view(dialog, nullptr);
  Open(view);
  QListWidget* free = view.List(mlFree);
  ASSERT_TRUE(free->hasFocus());
  EXPECT_EQ(NameOf(free), "Свободные модули (используйте контекстное меню)");
  EXPECT_EQ(NameOf(view.List(mlTrack)), "Подключенные модули к треку Piano");
  EXPECT_EQ(Items(free), QStringList{"velocity"});
  EXPECT_EQ(Items(view.List(mlCommon)), QStringList{"swing"});
  EXPECT_EQ(free->currentRow(), 0);
  EXPECT_TRUE(view.Action("NewName")->isVisible());
  QTest::keyClick(free, Qt::Key_End);
  EXPECT_EQ(Items(view.List(mlTrack)), QStringList{"velocity"});
  EXPECT_TRUE(Items(free).isEmpty());
  EXPECT_TRUE(view.List(mlTrack)->hasFocus());
  EXPECT_EQ(view.List(mlTrack)->currentRow(), 0);
  EXPECT_EQ(view.Label(mlFree)->text(), "Свободные модули:");  // the hint went with the key
  EXPECT_EQ(NameOf(free), "Свободные модули") << "the list's name follows its label";
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
  QTest::keyClick(view.List(mlTrack), Qt::Key_Home);  // on to all tracks
  EXPECT_EQ(Items(view.List(mlCommon)), (QStringList{"swing", "velocity"}));
  QTest::keyClick(view.List(mlCommon), Qt::Key_Escape);
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(window_.HeadTreck->ProgramStrings, (std::vector<std::string>{"Module velocity", "Module swing"}));
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, std::vector<std::string>{"let x=1"});
}

TEST_F(ModuleDialogsViewTest, ClosingTheManagerByTheFrameWritesTheLinesToo) {
  TModuleManagerDialog dialog(window_);
  TModuleManagerView view(dialog, nullptr);
  Open(view);
  QTest::keyClick(view.List(mlFree), Qt::Key_End);
  view.close();
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, (std::vector<std::string>{"Module velocity", "let x=1"}));
}

TEST_F(ModuleDialogsViewTest, TheEditorStepsThroughBlocksAndEscAsksBeforeLosingAChange) {
  window_.EditModuleFile = (modules_ / "velocity.blk").string();
  TModuleEditorDialog dialog(window_);
  TModuleEditorView view(dialog, nullptr);
  Open(view);
  QPlainTextEdit* text = view.TextBox();
  EXPECT_EQ(view.windowTitle(), "velocity.blk");
  EXPECT_EQ(text->textCursor().blockNumber(), 0);
  QTest::keyClick(text, Qt::Key_F2);
  EXPECT_EQ(text->textCursor().blockNumber(), 2);
  EXPECT_EQ(text->textCursor().positionInBlock(), 1);
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I block two"});
  QTest::keyClicks(text, "x");
  rig_.questions.answers = {mbCancel};
  QTest::keyClick(text, Qt::Key_Escape);
  EXPECT_TRUE(view.isVisible()) << "Cancel keeps the editor";
  rig_.questions.answers = {mbYes};
  QTest::keyClick(text, Qt::Key_Escape);
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(ReadTextLines(modules_ / "velocity.blk"),
            (std::vector<std::string>{"block one", "endblock", "bxlock two", "endblock"}));
  EXPECT_EQ(window_.EditModuleLine, 3);
}

// A description is read-only, and its caret moves with the arrows for a reader to follow.
TEST_F(ModuleDialogsViewTest, ADescriptionIsReadLineByLine) {
  ASSERT_TRUE(WriteTextLines(modules_ / "swing.Txt", {"Swing", "", "Eighths"}));
  window_.EditModuleFile = (modules_ / "swing.Txt").string();
  TModuleEditorDialog dialog(window_);
  TModuleEditorView view(dialog, nullptr);
  Open(view);
  QPlainTextEdit* text = view.TextBox();
  QTest::keyClicks(text, "x");
  QTest::keyClick(text, Qt::Key_Down);
  QTest::keyClick(text, Qt::Key_Down);
  EXPECT_EQ(text->textCursor().blockNumber(), 2);
  EXPECT_EQ(text->toPlainText(), "Swing\n\nEighths");
}

// Replace matches as Find does, case ignored, from the caret on (a "swdelay" before the
// caret stays), and says how many it replaced.
TEST_F(ModuleDialogsViewTest, TheEditorReplacesFromTheCaretWhateverTheCase) {
  ASSERT_TRUE(WriteTextLines(modules_ / "delay.blk", {"let swdelay=1", "block delay", "let SwDelay=swdelay+1",
                                                      "endblock"}));
  window_.EditModuleFile = (modules_ / "delay.blk").string();
  window_.EditModuleLine = 2;
  TModuleEditorDialog dialog(window_);
  TModuleEditorView view(dialog, nullptr);
  Open(view);
  QPlainTextEdit* text = view.TextBox();
  {
    TPromptAnswers answers({"SWDELAY", "pause"});
    QTest::keyClick(text, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(answers.Left().isEmpty());
  }
  EXPECT_EQ(text->toPlainText().toStdString(), "let swdelay=1\nblock delay\nlet pause=pause+1\nendblock");
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{"1 Всего произведено замен: 2"});
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{});
  rig_.questions.answers = {mbNo};  // closing: the change is not saved
}

TEST_F(ModuleDialogsViewTest, TheNameDialogHandsTheTypedNameBackOnEnterOnly) {
  for (bool enter : {true, false}) {
    ModuleNameBuffer = "velocity";
    TModuleNameDialog dialog;
    TModuleNameView view(dialog, nullptr);
    Open(view);
    EXPECT_EQ(view.NameEdit()->text(), "velocity");
    EXPECT_EQ(NameOf(view.NameEdit()), "Имя модуля");
    view.NameEdit()->selectAll();
    view.NameEdit()->insert(QString::fromUtf8("Громкость"));  // typed through an input method
    QTest::keyClick(view.NameEdit(), enter ? Qt::Key_Return : Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(U(ModuleNameBuffer), enter ? "Громкость" : "") << enter;
  }
}

}  // namespace
