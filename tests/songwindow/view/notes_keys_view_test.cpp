// The keys of the window's commands in the Braille editor on Qt's offscreen platform: a
// command's key runs the command or, disabled, gives the error signal; it never edits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "feedback/signals.h"
#include "feedback/speech.h"
#include "settings/settings.h"
#include "songwindow/view/song_window_view.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/songwindow/view/offscreen_application.h"
#include "tests/support/test_support.h"

namespace {

using namespace songwindowtest;

class NotesKeysViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    setenv("VELTO_SPEECH_LOG", "/dev/null", 1);
    std::ofstream(ProgramDir + "Resources/error.wav") << "RIFF";
    std::ofstream(ProgramDir + "Resources/treck.wav") << "RIFF";
    SetSoundPlayer(player_);
    SignalError = true;
    view_ = std::make_unique<TSongWindowView>(nullptr, 6, "qem");
    TSongWindow& window = view_->Controller();
    LoadSongText(window, {"1 0 0 1 0 0 0", "Общее", "Vd4m", "1 0 1 1 0 0 0", "Мелодия", "!PSNQ",
                          "1 0 2 1 0 0 0", "Бас", "!P"});
    window.CurrentTrack = window.HeadTreck;
    window.ShowTreck(smSilent);
    view_->show();
    view_->SetNotesCaret(0, 0);
  }
  void TearDown() override {
    view_.reset();
    SetSoundPlayer(nullptr);
  }
  // A key pressed and released in the Braille editor, as Qt hands on a key no enabled
  // shortcut took.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(view_->NotesEdit1(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(view_->NotesEdit1(), &release);
  }
  std::vector<std::string> Signals() {
    std::vector<std::string> kinds;
    for (const std::string& played : player_->Played()) {
      kinds.push_back(played.substr(played.find('|') + 1));
    }
    return kinds;
  }
  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (PTreck t = view_->Controller().HeadTreck; t != nullptr; t = t->Next) {
      captions.push_back(t->Caption + ":" + std::to_string(t->Voice));
    }
    return captions;
  }

  TScopedProgramDir home_;
  std::shared_ptr<testsupport::TRecordingPlayer> player_ = std::make_shared<testsupport::TRecordingPlayer>();
  std::unique_ptr<TSongWindowView> view_;
};

// On the control track: deleting it and its voice moves are disabled.
TEST_F(NotesKeysViewTest, ADisabledCommandsKeyGivesTheErrorSignalAndNeverEdits) {
  TSongWindow& window = view_->Controller();
  const std::vector<std::string> tracks = Captions();
  const int32_t snapshots = window.Undo().State().Count;
  struct TCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  const TCase cases[] = {
      {"Ctrl+Shift+Del", Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier},
      {"Alt+Down", Qt::Key_Down, Qt::AltModifier},
      {"Alt+Up", Qt::Key_Up, Qt::AltModifier},
      {"Alt+PgDown", Qt::Key_PageDown, Qt::AltModifier},
      {"Alt+PgUp", Qt::Key_PageUp, Qt::AltModifier},
  };
  for (const TCase& c : cases) {
    player_ = std::make_shared<testsupport::TRecordingPlayer>();
    SetSoundPlayer(player_);
    Press(c.key, c.modifiers);
    EXPECT_EQ(view_->NotesText(), "Vd4m") << c.name;
    EXPECT_EQ(view_->NotesCaret(), 0) << c.name;
    EXPECT_EQ(Signals(), std::vector<std::string>{"sError"}) << c.name;
    EXPECT_EQ(Captions(), tracks) << c.name;
    EXPECT_EQ(window.CurrentTrack, window.HeadTreck) << c.name;
    EXPECT_EQ(window.HeadTreck->MusicStrings, std::vector<std::string>{"Vd4m"}) << c.name;
    EXPECT_EQ(window.Undo().State().Count, snapshots) << c.name;
    EXPECT_FALSE(window.Modified) << c.name;
  }
}

// The key of a command that is off says why where the window knows: Alt+Z with nothing to
// undo, F7 and F6 on the control track; a disabled command without a reason only beeps.
TEST_F(NotesKeysViewTest, ADisabledCommandsKeySaysWhy) {
  auto speech = std::make_shared<testsupport::TRecordingSpeech>();
  SetSpeechOutput(speech);
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* said;  // nullptr: nothing
  } cases[] = {
      {Qt::Key_Z, Qt::AltModifier, "Нечего отменять"},
      {Qt::Key_F7, Qt::NoModifier, "Трек сонга не звучит: инструменты и ударные выбираются на треках с нотами"},
      {Qt::Key_F6, Qt::NoModifier, "Трек сонга не звучит: инструменты и ударные выбираются на треках с нотами"},
      {Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier, nullptr},
  };
  for (const auto& c : cases) {
    const size_t before = speech->Calls().size();
    Press(c.key, c.modifiers);
    const auto calls = speech->Calls();
    std::vector<std::string> said;
    for (size_t i = before; i < calls.size(); ++i) {
      if (!calls[i].Cancel) {
        said.push_back(calls[i].Text);
      }
    }
    EXPECT_EQ(said, c.said != nullptr ? std::vector<std::string>{c.said} : std::vector<std::string>{}) << c.key;
    EXPECT_EQ(view_->NotesText(), "Vd4m") << c.key;
  }
  SetSpeechOutput(nullptr);
}

// An enabled command's key that reaches the editor runs the command.
TEST_F(NotesKeysViewTest, AnEnabledCommandsKeyRunsTheCommand) {
  Press(Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(view_->Controller().CurrentTrack, view_->Controller().HeadTreck->Next);
  EXPECT_EQ(view_->NotesText(), "!PSNQ");
  EXPECT_TRUE(Signals().empty());
}

}  // namespace
