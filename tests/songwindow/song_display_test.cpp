#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

TEST(GetWideField, CutsOneVoiceOutOfAMeasureLine) {
  const struct {
    const char* line;
    uint16_t n;
    const char* field;
  } cases[] = {
      {"abc()def", 1, "abc"}, {"abc()def", 2, "def"}, {"abc()def", 3, ""}, {"abc()", 2, ""},
      {"a()b()c", 3, "c"},    {"", 1, ""},            {"abc", 0, "abc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetWideField(c.line, c.n), c.field) << c.line << " " << c.n;
  }
  EXPECT_EQ(GetLineField({"a()b"}, 2, 2), "");
  EXPECT_EQ(GetLineField({"a()b"}, 1, 2), "b");
}

// A song of a control track, a piano track and a drum track; the piano is current.
class ShowTreckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadSongText(window_, {"1 0 0 1 0 0 0", "Общее", "Vd4m",
                           "2 2 1 2 0 3 1", "Piano", "abc()def", "m()m", "{$$$midiout=2$$$}",
                           "instrument 1",
                           "1 0 10 1 0 0 0", "Drums", "m"});
    window_.CurrentTrack = window_.HeadTreck->Next;
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
};

TEST_F(ShowTreckTest, SpeaksWhatEachModeAsks) {
  const struct {
    uint8_t mode;
    std::vector<std::string> said;
  } cases[] = {
      {smTrack, {"I 1- Трек: Piano", "S def"}},
      {smMeasure, {"I Такт 1", "S def"}},
      {smVoice, {"I Голос 2", "S def"}},
      {smPlace, {"I Такт 1", "S Голос 2", "S def"}},
      {smSolo, {"I Трек разсолирован"}},
      {smEnabled, {"I Трек подключен"}},
      {smHandler, {"I Обработчик подключен"}},
      {smReset, {"I Сброшено"}},
      {smSilent, {}},
      {9, {}},
  };
  for (const auto& c : cases) {
    rig_.speaker.said.clear();
    window_.ShowTreck(c.mode);
    EXPECT_EQ(rig_.speaker.said, c.said) << int(c.mode);
  }
  EXPECT_EQ(U(window_.StatusPanels[3]), " Трек: Piano");
  EXPECT_EQ(U(window_.StatusPanels[4]), "Такт: 1");
  EXPECT_EQ(U(window_.Caption), "безымянный (qem)");
}

TEST_F(ShowTreckTest, ControlTrackAndLanguageTextsOnlyAsAPairForThePlace) {
  window_.CurrentTrack = window_.HeadTreck;
  window_.ShowTreck(smTrack);
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I 0- Сонг: Общее", "S Vd4m"}));
  testsupport::TScopedLanguage language({"4=Measure"});
  rig_.speaker.said.clear();
  window_.ShowTreck(smPlace);
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I Такт 1", "S Голос 1", "S Vd4m"}));
}

TEST_F(ShowTreckTest, HidesTheOutputLineAndShowsTheRest) {
  window_.ShowTreck(smSilent);
  EXPECT_EQ(rig_.editors.program, (std::vector<std::string>{"instrument 1"}));
  EXPECT_EQ(window_.CurrentTrack->HiddenLines, 1);
  EXPECT_EQ(window_.CurrentTrack->MidiOut, 2);
  EXPECT_EQ(rig_.editors.column, 3);
  EXPECT_EQ(U(window_.StatusPanels[1]), "Строка: 2");
  for (const char* line : {"{$$$midiout=x$$$}", "{$$$midiout=99$$$}", "{$$$midiout=$$$}"}) {
    window_.CurrentTrack->ProgramStrings = {line};
    window_.ShowTreck(smSilent);
    EXPECT_EQ(rig_.editors.program, (std::vector<std::string>{line}));
    EXPECT_EQ(window_.CurrentTrack->HiddenLines, 0);
    EXPECT_EQ(window_.CurrentTrack->MidiOut, 2) << line;
  }
}

// ShowTreck makes the editors show the place, and a commit lands there; when the window
// moved without showing the new place, what the editors hold still goes to the place they
// were filled from, never lost and never written over the new place.
TEST_F(ShowTreckTest, TheEditorsCommitIntoThePlaceTheyShow) {
  window_.ShowTreck(smSilent);
  rig_.editors.notes = "xyz";
  rig_.editors.program = {"instrument 2"};
  window_.CommitEditors();
  const std::vector<std::string> committed = {"abc()xyz"};  // the empty measure 2 is dropped
  EXPECT_EQ(window_.CurrentTrack->MusicStrings, committed);
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings,
            (std::vector<std::string>{"{$$$midiout=2$$$}", "instrument 2"}));
  window_.CurrentMeasure = 2;
  rig_.editors.notes = "abcd";
  window_.CommitEditors();
  EXPECT_EQ(window_.CurrentTrack->MusicStrings, std::vector<std::string>{"abc()abcd"});
  window_.ShowTreck(smSilent);
  EXPECT_EQ(rig_.editors.notes, "");
}

TEST_F(ShowTreckTest, VoiceAndMeasureAreBroughtIntoRange) {
  const struct {
    int32_t measure;
    uint16_t voice;
    int32_t shownMeasure;
    uint16_t shownVoice;
    const char* text;
  } cases[] = {
      {1, 1, 1, 1, "abc"}, {1, 3, 1, 3, ""},  {1, 60000, 1, 50, ""},
      {2, 1, 2, 1, ""},    {7, 5, 7, 5, ""},  {0, 2, 1, 2, "def"},
  };
  for (const auto& c : cases) {
    window_.CurrentMeasure = c.measure;
    window_.CurrentTrack->Voice = c.voice;
    window_.ShowTreck(smSilent);
    EXPECT_EQ(window_.CurrentMeasure, c.shownMeasure);
    EXPECT_EQ(window_.CurrentTrack->Voice, c.shownVoice);
    EXPECT_EQ(rig_.editors.notes, c.text) << c.measure << "/" << c.voice;
  }
}

// A command that leaves the place where it is, after a dialog or a question or none, and
// the window activated again (after a save) leave the caret and its selection as they were.
TEST_F(ShowTreckTest, TheLineRedrawnInPlaceKeepsItsCaret) {
  const struct {
    const char* name;
    void (*command)(TSongWindow&);
  } cases[] = {
      {"activation", [](TSongWindow& w) { w.FormActivate(); }},
      {"track properties", [](TSongWindow& w) { w.PropertyTreck(); }},
      {"track text", [](TSongWindow& w) { w.TreckEditing(); }},
      {"delete track not confirmed", [](TSongWindow& w) { w.DeleteTreck(); }},
      {"solo", [](TSongWindow& w) { w.Solo(); }},
  };
  for (const auto& c : cases) {
    window_.ShowTreck(smSilent);
    rig_.editors.caret = 2;
    rig_.editors.anchor = 1;
    c.command(window_);
    EXPECT_EQ(rig_.editors.notes, "def") << c.name;
    EXPECT_EQ(rig_.editors.caret, 2) << c.name;
    EXPECT_EQ(rig_.editors.anchor, 1) << c.name;
    EXPECT_EQ(U(window_.CurrentTrack->Caption), "Piano") << c.name;
    EXPECT_EQ(window_.CurrentMeasure, 1) << c.name;
    EXPECT_EQ(window_.CurrentTrack->Voice, 2) << c.name;
  }
  // The same text at another place, or another text in place, starts at the beginning.
  window_.CurrentTrack->MusicStrings = {"abc()def", "xy()def"};
  window_.CurrentMeasure = 2;
  window_.ShowTreck(smSilent);
  EXPECT_EQ(rig_.editors.caret, 0);
  rig_.editors.caret = rig_.editors.anchor = 2;
  window_.CurrentTrack->MusicStrings[1] = "xy()deg";
  window_.ShowTreck(smSilent);
  EXPECT_EQ(rig_.editors.notes, "deg");
  EXPECT_EQ(rig_.editors.caret, 0);
}

TEST_F(ShowTreckTest, FocusMovesToTheBrailleEditorUnlessSilent) {
  window_.ShowTreck(smSilent);
  EXPECT_FALSE(rig_.editors.notes_focused);
  window_.ShowTreck(smSolo);
  EXPECT_TRUE(rig_.editors.notes_focused);
}

TEST_F(ShowTreckTest, CommandsFollowTheTrackKind) {
  const struct {
    int track;  // 0 control, 1 piano, 2 drums
    bool drums, instruments, harmony, deleteTrack, voices;
  } cases[] = {
      {0, false, false, false, false, false},
      {1, false, true, true, true, true},
      {2, true, false, false, true, true},
  };
  for (const auto& c : cases) {
    window_.CurrentTrack = window_.HeadTreck;
    for (int i = 0; i < c.track; ++i) {
      window_.CurrentTrack = window_.CurrentTrack->Next;
    }
    window_.ShowTreck(smSilent);
    EXPECT_EQ(window_.Actions["Drums"].Enabled, c.drums) << c.track;
    EXPECT_EQ(window_.Actions["Instruments"].Enabled, c.instruments) << c.track;
    EXPECT_EQ(window_.Actions["ConvertHarmonyInNotes"].Enabled, c.harmony) << c.track;
    EXPECT_EQ(window_.Actions["DeleteTreck"].Enabled, c.deleteTrack) << c.track;
    EXPECT_EQ(window_.Actions["NextVoice"].Enabled, c.voices) << c.track;
    EXPECT_TRUE(window_.Actions["CopyTreck"].Enabled);
    EXPECT_TRUE(window_.Actions["Translatoring"].Visible);
  }
}

}  // namespace
