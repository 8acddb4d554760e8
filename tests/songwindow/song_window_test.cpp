#include "songwindow/controller/song_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "feedback/signals.h"
#include "model/plugin_hooks.h"
#include "model/song_file.h"
#include "playback/transport.h"
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

// An untouched song asks nothing on close, whatever carets its headers hold, trailing empty
// measures that a commit drops, or the voice the user moved to: loading, committing and
// comparing agree on what the song is.
TEST(SongWindowClose, AnUntouchedExampleAsksNothing) {
  struct TCase {
    const char* name;
    const char* example;
    void (*move)(TSongWindow&, TFakeEditors&);
  };
  const TCase cases[] = {
      {"chorale opened and closed", "chorale-in-g.qem", [](TSongWindow&, TFakeEditors&) {}},
      {"chorale, the caret read back as 0", "chorale-in-g.qem",
       [](TSongWindow&, TFakeEditors& e) { e.caret = 0, e.column = 0, e.line = 0; }},
      {"chorale, every track walked", "chorale-in-g.qem",
       [](TSongWindow& w, TFakeEditors&) {
         for (int i = 0; i < 4; ++i) w.PriorTreck();
         for (int i = 0; i < 4; ++i) w.NextTreck();
       }},
      {"twinkle, voice 2 and back", "twinkle-twinkle.qem",
       [](TSongWindow& w, TFakeEditors&) { w.NextVoice(); }},
      {"twinkle, measure 12 and voice 3", "twinkle-twinkle.qem",
       [](TSongWindow& w, TFakeEditors&) {
         for (int i = 0; i < 11; ++i) w.NextTackt();
         w.NextVoice();
         w.NextVoice();
       }},
  };
  for (const TCase& c : cases) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    const std::string path = rig.home.Dir().File(c.example);
    std::filesystem::copy_file(std::string(VELTO_SOURCE_DIR) + "/examples/" + c.example, path);
    ASSERT_TRUE(LoadSongFile(window, path, ""));
    window.ShowTreck(smTrack);
    c.move(window, rig.editors);
    EXPECT_TRUE(window.FormCloseQuery()) << c.name;
    EXPECT_EQ(rig.questions.asked, std::vector<std::string>{}) << c.name;
  }
}

// The window holds "ab()cd" in track t on channel 1; the file on disk says otherwise.
TEST(SongWindowClose, OnlySongDataCounts) {
  const struct {
    const char* name;
    std::vector<std::string> file;
    bool asks;
  } cases[] = {
      {"carets and voice in the header", {"3 0 1 4 7 5 6", "t", "ab()cd", "m", "m"}, false},
      {"trailing empty voices", {"1 0 1 1 1 1 1", "t", "ab()cd()m()m"}, false},
      {"a channel", {"1 0 2 1 1 1 1", "t", "ab()cd"}, true},
      {"a digit-only measure", {"2 0 1 1 1 1 1", "t", "ab()cd", "12"}, true},
      {"a name", {"1 0 1 1 1 1 1", "u", "ab()cd"}, true},
      {"not a song", {"1 0 1 1 x 1 1", "t", "ab()cd"}, true},
  };
  for (const auto& c : cases) {
    TWindowRig rig;
    TSongWindow window(rig.Ports(), 1, "qem");
    const std::string path = rig.home.Dir().File("song.qem");
    WriteBytes(path, SongFileBytes({"1 0 1 2 1 1 1", "t", "ab()cd"}));
    ASSERT_TRUE(LoadSongFile(window, path, ""));
    window.ShowTreck(smSilent);
    WriteBytes(path, SongFileBytes(c.file));
    rig.questions.answers = {mbNo};
    EXPECT_TRUE(window.FormCloseQuery()) << c.name;
    EXPECT_EQ(rig.questions.asked.size(), c.asks ? 1u : 0u) << c.name;
  }
}

// Text pasted or cut in the program editor is typing: a new song holding a pasted handler
// asks before it is closed, and the paste is an undo step.
TEST_F(SongWindowTest, APastedHandlerIsTyping) {
  OpenSongFile();
  window_.FileName.clear();
  ASSERT_FALSE(window_.Modified);
  EXPECT_TRUE(window_.ProgramEditChange("tempo 90\ninstrument 5", 12, 1, false));
  EXPECT_TRUE(window_.Modified);
  EXPECT_EQ(U(window_.Undo().Label()), "Вставка");
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, (std::vector<std::string>{"tempo 90", "instrument 5"}));
  EXPECT_EQ(rig_.editors.program, window_.CurrentTrack->ProgramStrings);
  EXPECT_TRUE(window_.ProgramEditChange("tempo 90", 8, 0, true));
  EXPECT_EQ(U(window_.Undo().Label()), "Вырезание");
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, std::vector<std::string>{"tempo 90"});
  rig_.questions.answers = {mbCancel};
  EXPECT_FALSE(window_.FormCloseQuery());
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{"2 Сохранить Новый сонг?"});
}

// What the program writes it must read back: a paste that would make a line longer than a
// song file may hold is refused with a spoken reason, and such a song is never saved.
TEST_F(SongWindowTest, ALineTheFileCouldNotHoldIsRefused) {
  OpenSongFile();
  const std::string huge(kMaxSongLineBytes + 1, 'a');
  EXPECT_FALSE(window_.ProgramEditChange("tempo 90\n" + huge, 0, 0, false));
  EXPECT_EQ(rig_.speaker.said, std::vector<std::string>{"I Строка длиннее 262144 байт: вставка отменена"});
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{100 + sError});
  EXPECT_TRUE(window_.CurrentTrack->ProgramStrings.empty());
  EXPECT_FALSE(window_.Modified);
  EXPECT_FALSE(window_.ProgramEditChange("中", 0, 0, false));  // not in code page 1251
  EXPECT_TRUE(window_.ProgramEditChange(std::string(kMaxSongLineBytes, 'a'), 0, 0, false));

  // A song that grew past the limit some other way is not written over its file.
  window_.CurrentTrack->ProgramStrings = {huge};
  rig_.questions.answers = {mbYes};
  EXPECT_FALSE(window_.FormCloseQuery());
  ASSERT_EQ(rig_.questions.asked.size(), 2u);
  EXPECT_NE(rig_.questions.asked[1].find("Не удаётся сохранить файл"),
            std::string::npos)
      << rig_.questions.asked[1];
  EXPECT_NE(rig_.questions.asked[1].find("262144"), std::string::npos) << rig_.questions.asked[1];
  EXPECT_EQ(ReadBytes(path_), SongFileBytes(kSong));
}

// A new song sounds as soon as its track has notes: its control track carries the 4/4
// signature.
TEST(SongWindowNewSong, TypedNotesSound) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  window.NewSong();
  window.ShowTreck(smTrack);
  EXPECT_EQ(window.TrackCount, 2);
  EXPECT_EQ(window.CurrentTrack->Channel, 1);
  EXPECT_EQ(window.HeadTreck->MusicStrings, std::vector<std::string>{"Vd4m"});
  EXPECT_FALSE(window.Modified);
  for (char c : std::string("Vd4!TTOO")) {
    window.Editor().KeyDown(vkOther, {});
    window.Editor().KeyPress(static_cast<char32_t>(c));
    window.Editor().KeyUp(vkOther, {});
  }
  EXPECT_EQ(window.CurrentTrack->MusicStrings, std::vector<std::string>{"Vd4!TTOO"});
  size_t noteOns = 0;
  for (const std::string& m : rig.preview.sent) {
    noteOns += m.starts_with("on ") ? 1 : 0;
  }
  EXPECT_EQ(noteOns, 4u);
}

// A song without a time signature: the error names the control track and where the
// signature is typed, and the window goes there.
TEST(SongWindowErrors, AMissingTimeSignatureSaysWhereToTypeIt) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 1, "qem");
  LoadSongText(window, {"0 0 0 1 1 1 1", "Общее", "1 0 1 1 1 1 1", "Мелодия", "!TTOO"});
  window.ShowTreck(smSilent);
  GErrors.Update([](TErrors& e) {
    e.Code = 8, e.Source = 2, e.ModuleLine = 1, e.Voice = 1, e.Measure = 1, e.Text = "m()!TTOO";
  });
  EXPECT_TRUE(window.ReportPendingError());
  ASSERT_EQ(rig.questions.asked.size(), 1u);
  EXPECT_NE(rig.questions.asked[0].find("Общее нотный текст!"), std::string::npos) << rig.questions.asked[0];
  EXPECT_NE(rig.questions.asked[0].find("Тактовый размер пишется в начале такта 1 трека Общее"), std::string::npos)
      << rig.questions.asked[0];
  EXPECT_EQ(window.CurrentTrack, window.HeadTreck);
  EXPECT_EQ(window.EditorPlace, window.CurrentPlace());
  EXPECT_EQ(U(window.StatusPanels[3]), " Сонг: Общее");

  // The hint is a reason: whole, however long the track's name; the text follows it.
  const std::string name(100, 'N');
  window.HeadTreck->Caption = name;
  GErrors.Update([](TErrors& e) {
    e.Code = 8, e.Source = 2, e.ModuleLine = 1, e.Voice = 1, e.Measure = 1, e.Text = "m()!TTOO";
  });
  EXPECT_TRUE(window.ReportPendingError());
  ASSERT_EQ(rig.questions.asked.size(), 2u);
  EXPECT_NE(rig.questions.asked[1].find("трека " + name + ", например Vd4.\rm()!TTOO"),
            std::string::npos)
      << rig.questions.asked[1];
}

// An error that moves the window shows and says the new place, and nothing typed is lost:
// in when-the-saints a ")" in track 1's handler, Save As MIDI from track 0 names track 1
// and shows it; a tempo changed in track 0 before still lands in track 0.
TEST(SongWindowErrors, AnErrorsMoveIsShownAndKeepsWhatWasTyped) {
  TWindowRig rig;
  std::filesystem::create_directories(rig.home.Dir().File("Resources"));
  std::filesystem::copy_file(std::string(VELTO_SOURCE_DIR) + "/resources/Resources/qem.blk",
                             rig.home.Dir().File("Resources/qem.blk"));
  TSongWindow window(rig.Ports(), 1, "qem");
  ASSERT_TRUE(LoadSongFile(window, std::string(VELTO_SOURCE_DIR) + "/examples/when-the-saints.qem", ""));
  window.CurrentTrack = window.HeadTreck->Next;
  window.ShowTreck(smTrack);
  ASSERT_EQ(U(window.CurrentTrack->Caption), "Кларнет");
  rig.editors.program.push_back(")");
  window.ProgramEditKeyPress();
  window.PriorTreck();
  ASSERT_EQ(window.CurrentTrack, window.HeadTreck);
  ASSERT_EQ(rig.editors.program.back(), "tempo 92");
  rig.editors.program.back() = "tempo 90";  // typed, not yet committed
  GErrors.Reset();
  ASSERT_FALSE(PrepareAndCompileSong(window, &window.Preparation()));
  rig.speaker.said.clear();
  ASSERT_TRUE(window.ReportPendingError());
  ASSERT_EQ(rig.questions.asked.size(), 1u);
  EXPECT_NE(rig.questions.asked[0].find("Кларнет"), std::string::npos) << rig.questions.asked[0];
  EXPECT_EQ(U(window.CurrentTrack->Caption), "Кларнет");
  EXPECT_EQ(window.EditorPlace, window.CurrentPlace());
  EXPECT_EQ(U(window.StatusPanels[3]), " Трек: Кларнет");
  EXPECT_EQ(rig.editors.program.back(), ")");
  ASSERT_FALSE(rig.speaker.said.empty());
  EXPECT_EQ(rig.speaker.said[0], "I 1- Трек: Кларнет");
  EXPECT_EQ(window.HeadTreck->ProgramStrings.back(), "tempo 90");
}

// The modes a window opens with are said once, after its first spoken place.
TEST_F(SongWindowTest, ModesOnAtOpeningAreSaidOnce) {
  OpenSongFile();
  rig_.locks.scroll = true;
  rig_.locks.num = true;
  window_.FormActivate();
  window_.ShowTreck(smTrack);
  window_.ShowTreck(smTrack);
  EXPECT_EQ(rig_.speaker.said,
            (std::vector<std::string>{"I 1- Трек: Мелодия", "S 12", "S Режим продвинутого редактирования включен",
                                      "S Точечный режим включен", "I 1- Трек: Мелодия", "S 12"}));
}

// A window reached from another names its song, then the field the focus went back to.
TEST_F(SongWindowTest, AWindowReachedSpeaksItsSongAndTheFieldWithTheFocus) {
  struct TCase {
    TFocusField field;
    bool withFile;
    std::vector<std::string> said;
  };
  const TCase cases[] = {
      {TFocusField::Notes, true, {"I song", "S Нотный текст:", "S 1- Трек: Мелодия", "S 12"}},
      {TFocusField::Program, true, {"I song", "S Обработчик для текущего трека:"}},
      {TFocusField::Other, true, {"I song"}},
      {TFocusField::Notes, false, {"I безымянный", "S Нотный текст:", "S 1- Трек: Мелодия", "S 12"}},
  };
  OpenSongFile();
  for (const TCase& c : cases) {
    window_.FileName = c.withFile ? path_ : "";
    rig_.speaker.said.clear();
    window_.SpeakWindowReached(c.field);
    EXPECT_EQ(rig_.speaker.said, c.said) << static_cast<int>(c.field);
  }
  rig_.editors.notes.clear();  // an empty voice says no line
  rig_.speaker.said.clear();
  window_.SpeakWindowReached(TFocusField::Notes);
  EXPECT_EQ(rig_.speaker.said.size(), 3u);
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
