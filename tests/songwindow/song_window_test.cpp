#include "songwindow/controller/song_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "feedback/signals.h"
#include "model/plugin_hooks.h"
#include "model/song_file.h"
#include "settings/plugins.h"
#include "songwindow/controller/braille_editor.h"
#include "tests/support/test_support.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

const std::vector<std::string> kSong = {"1 0 0 1 0 0 0", "Общее", "Vd4m",
                                        "2 0 1 1 0 0 0", "Мелодия", "12", "abc"};

std::string SongFileBytes(const std::vector<std::string>& utf8Lines) {
  std::string bytes;
  for (const std::string& line : utf8Lines) {
    bytes += W(line) + "\r\n";
  }
  return bytes;
}

class SongWindowTest : public ::testing::Test {
 protected:
  // Writes kSong as song.qem and loads it into the window.
  void OpenSongFile() {
    path_ = rig_.home.Dir().File("song.qem");
    WriteBytes(path_, SongFileBytes(kSong));
    ASSERT_TRUE(LoadSongFile(window_, path_, ""));
    window_.ShowTreck(smSilent);
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 3, "qem"};
  std::string path_;
};

TEST_F(SongWindowTest, CloseAsksOnlyWhenTheSongChanged) {
  struct TCase {
    const char* name;
    bool withFile;
    void (*change)(TSongWindow&, TFakeEditors&);
    const char* question;  // nullptr: none asked
  };
  const TCase cases[] = {
      {"unchanged", true, [](TSongWindow&, TFakeEditors&) {}, nullptr},
      {"caret moved", true, [](TSongWindow&, TFakeEditors& e) { e.caret = 2, e.column = 4; }, nullptr},
      {"digits of a measure changed", true,
       [](TSongWindow&, TFakeEditors& e) { e.notes = "13"; }, "2 Файл song.qem был изменён. Сохранить?"},
      {"new song untouched", false, [](TSongWindow&, TFakeEditors&) {}, nullptr},
      {"new song typed in", false, [](TSongWindow& w, TFakeEditors&) { w.ProgramEditKeyPress(); },
       "2 Сохранить Новый сонг?"},
      {"new song changed by a command", false,
       [](TSongWindow& w, TFakeEditors&) { w.Saved(W("вставка")); }, "2 Сохранить Новый сонг?"},
  };
  for (const TCase& c : cases) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    const std::string path = rig.home.Dir().File("song.qem");
    WriteBytes(path, SongFileBytes(kSong));
    ASSERT_TRUE(LoadSongFile(window, path, ""));
    if (!c.withFile) {
      window.FileName.clear();
    }
    window.ShowTreck(smSilent);
    c.change(window, rig.editors);
    rig.questions.answers = {mbNo};
    EXPECT_TRUE(window.FormCloseQuery()) << c.name;
    const std::vector<std::string> expected =
        c.question ? std::vector<std::string>{c.question} : std::vector<std::string>{};
    EXPECT_EQ(rig.questions.asked, expected) << c.name;
    EXPECT_EQ(rig.home.TempFiles(), std::vector<std::string>{}) << c.name;
  }
}

TEST_F(SongWindowTest, CancelKeepsTheWindowAndItsUndoFiles) {
  OpenSongFile();
  window_.Saved(W("ввод x"));
  rig_.editors.notes = "abd";
  rig_.questions.answers = {mbCancel};
  EXPECT_FALSE(window_.FormCloseQuery());
  EXPECT_EQ(rig_.home.TempFiles().size(), 2u);  // the state file and one snapshot
  EXPECT_EQ(ReadBytes(path_), SongFileBytes(kSong));
}

TEST_F(SongWindowTest, YesWritesTheSongToItsFile) {
  OpenSongFile();
  rig_.editors.notes = "13";
  rig_.questions.answers = {mbYes};
  EXPECT_TRUE(window_.FormCloseQuery());
  std::vector<std::string> saved = kSong;
  saved[5] = "13";
  EXPECT_EQ(ReadBytes(path_), SongFileBytes(saved));
}

TEST_F(SongWindowTest, YesOnANewSongAsksForAFileName) {
  OpenSongFile();
  window_.FileName.clear();
  window_.ProgramEditKeyPress();
  rig_.questions.answers = {mbYes};
  EXPECT_FALSE(window_.FormCloseQuery());  // the dialog was cancelled
  EXPECT_EQ(rig_.dialogs.filters, std::vector<std::string>{"Сонг (.QEM)|*.Qem"});

  rig_.questions.answers = {mbYes};
  rig_.dialogs.answer = rig_.home.Dir().File("fresh");
  EXPECT_TRUE(window_.FormCloseQuery());
  EXPECT_EQ(ReadBytes(rig_.home.Dir().File("fresh.qem")), SongFileBytes(kSong));
}

TEST_F(SongWindowTest, SaveThatFailsKeepsTheWindow) {
  OpenSongFile();
  rig_.editors.notes = "zz";
  window_.FileName = rig_.home.Dir().File("missing/folder/song.qem");
  rig_.questions.answers = {mbYes};
  EXPECT_FALSE(window_.FormCloseQuery());
  ASSERT_EQ(rig_.questions.asked.size(), 2u);
  EXPECT_EQ(rig_.questions.asked[1].substr(0, 2), "3 ");
}

TEST_F(SongWindowTest, NoWhileGoingOnEmptiesTheSong) {
  OpenSongFile();
  rig_.editors.notes = "zz";
  rig_.questions.answers = {mbNo};
  EXPECT_TRUE(window_.Ending(false));
  EXPECT_EQ(window_.TrackCount, 1);
  EXPECT_EQ(U(window_.CurrentTrack->Caption), "Новый");
  EXPECT_TRUE(window_.FileName.empty());
  EXPECT_FALSE(window_.Modified);
  EXPECT_EQ(U(window_.Undo().Label()), "выход без сохранения");
}

TEST_F(SongWindowTest, TabEntrySpeaksTheEditorAndTheTrack) {
  OpenSongFile();
  window_.NotesEdit1Enter();
  window_.ProgramEditEnter();
  EXPECT_TRUE(rig_.speaker.said.empty());
  window_.Editor().KeyUp(vkTab, {});
  window_.ProgramEditEnter();
  window_.ProgramEditKeyUp(true);
  window_.NotesEdit1Enter();
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I Обработчик для текущего трека:",
                                                         "I Нотный текст:", "I 1- Трек: Мелодия"}));
  window_.Editor().KeyUp(vkLeft, {});
  EXPECT_FALSE(window_.TabEntered);
}

TEST_F(SongWindowTest, ActivationShowsCaptionModesAndDevice) {
  OpenSongFile();
  rig_.locks.scroll = true;
  rig_.device.device = 2;
  window_.FormActivate();
  EXPECT_EQ(U(window_.Caption), "song (qem)");
  EXPECT_TRUE(window_.Actions["aAdvancedEditing"].Checked);
  EXPECT_FALSE(window_.Actions["aPointMode"].Checked);
  EXPECT_TRUE(rig_.speaker.said.empty());
  const TMidiThreadFuncParameters& p = window_.MidiThreadFuncParameters();
  EXPECT_EQ(p.Device, 2);
  EXPECT_EQ(p.WindowNumber, 3);
  EXPECT_EQ(p.Track, window_.CurrentTrack);
}

TEST_F(SongWindowTest, LanguageRecaptionsWithSuffixesOnce) {
  EXPECT_EQ(U(window_.Actions["Find"].Caption), "Найти...");
  EXPECT_EQ(U(window_.NotesEditTextCaption), "Нотный текст:");
  testsupport::TScopedLanguage language({"34=Find", "326=Music text"});
  window_.SetLanguage();
  window_.SetLanguage();
  EXPECT_EQ(window_.Actions["Find"].Caption, "Find...");
  EXPECT_EQ(window_.NotesEditTextCaption, "Music text:");
  EXPECT_EQ(U(window_.Actions["FindNext"].Caption), "Найти далее");
}

TEST_F(SongWindowTest, LanguageRecaptionsTheCaptionAndStatusPanelsAtOnce) {
  window_.AddTreck(window_.CurrentTrack, W("Новый"), 0);
  window_.AddTreck(window_.CurrentTrack, W("Трек 1"), 1);
  window_.ShowTreck(smSilent);
  EXPECT_EQ(U(window_.Caption), "безымянный (qem)");
  EXPECT_EQ(U(window_.StatusPanels[4]), "Такт: 1");
  rig_.speaker.said.clear();
  testsupport::TScopedLanguage language(
      {"1=untitled", "4=&Measure", "5=T&rack", "97=Voice", "106=Line", "107=Column"});
  window_.SetLanguage();
  EXPECT_EQ(window_.Caption, "untitled (qem)");
  const std::array<std::string, 6> panels = {"", "Line: 2", "Column: 2", W(" Track: Трек 1"),
                                             "Measure: 1", "Voice: 1"};
  for (size_t i = 1; i < panels.size(); ++i) {
    EXPECT_EQ(window_.StatusPanels[i], panels[i]) << i;
  }
  EXPECT_TRUE(rig_.speaker.said.empty());  // the window re-captions in silence
}

TEST(SongWindowPlugin, ExtensionChoosesTheFormatAndCapsItsControls) {
  auto plugin = std::make_shared<TModulDll>();
  plugin->Info.ModuleName = "MyFormat";
  plugin->Format = std::make_shared<TFormatEntryPoints>();
  plugin->Format->GetPluginComponent = [](std::vector<std::string>& classes) {
    classes.assign(300, "TButton");
    return true;
  };
  FormatModules = {plugin};
  const struct {
    const char* ext;
    const char* formatExt;
    uint8_t controls;
  } cases[] = {{"QEM", "qem", 0}, {"xyz", "qem", 0}, {"myformat", "MyF", 255}};
  for (const auto& c : cases) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, c.ext);
    EXPECT_EQ(window.FormatExt, c.formatExt) << c.ext;
    EXPECT_EQ(window.ControlCount, c.controls) << c.ext;
    EXPECT_TRUE(std::filesystem::exists(rig.home.Dir().File("Resources/temp/Qem[1].dat")));
  }
  FormatModules.clear();
}

}  // namespace
