// The controls of a format plug-in on the song window, with the real test plug-ins of
// tests/plugins loaded from a Plugins folder.
#include <gtest/gtest.h>

#include "feedback/speech.h"
#include "model/song_file.h"
#include "songwindow/controller/song_window.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/support/plugin_test_support.h"
#include "tests/support/test_support.h"

namespace {

using namespace songwindowtest;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

class TRecordingPlayer : public IPlayerTempo {
 public:
  bool Playing(int32_t window) const override { return playing && window == owner; }
  void SetTempo(uint32_t usPerQuarter) override { tempos.push_back(usPerQuarter); }
  bool playing = true;
  int32_t owner = 1;
  std::vector<uint32_t> tempos;
};

// A window of the probe plug-in's format (".prb").
class ProbeWindowTest : public ::testing::Test {
 protected:
  TSongWindowPorts Ports() {
    TSongWindowPorts ports = rig_.Ports();
    ports.Player = &player_;
    return ports;
  }
  // Control 1's text, where the probe writes what it got and reads its mode.
  std::string& Edit() { return window_.PluginControl(1)->Text; }

  TWindowRig rig_;
  testsupport::TScopedPlugins plugins_{rig_.home.Dir().Path(), {"probe"}};
  TRecordingPlayer player_;
  TSongWindow window_{Ports(), 1, "PRB"};
};

TEST_F(ProbeWindowTest, KnownClassNamesMakeControlsNumberedInListOrder) {
  ASSERT_TRUE(plugins_.Problems.empty());
  EXPECT_EQ(window_.FormatExt, "prb");
  ASSERT_EQ(window_.ControlCount, 3);  // "TEdit", "TWidget", "tbutton", "TListView"
  const VeltoControl& edit = *window_.PluginControl(1);
  const VeltoControl& button = *window_.PluginControl(2);
  EXPECT_EQ(edit.Kind, TControlKind::Edit);
  EXPECT_EQ(edit.Name, "Probe edit");
  EXPECT_EQ(button.Kind, TControlKind::Button);
  EXPECT_EQ(button.Number, 2);
  EXPECT_EQ(button.Text, "Probe");
  EXPECT_EQ(window_.PluginControl(3)->Kind, TControlKind::ListView);
  EXPECT_EQ(window_.PluginControl(4), nullptr);
}

// Kept on purpose: a window's plug-in changes the tempo of its own song only, never another
// window's song that happens to play.
TEST_F(ProbeWindowTest, ATempoAnswerOf10To930IsSetOnlyWhileThisSongPlays) {
  struct TCase {
    const char* answer;
    bool playing;
    int32_t owner;
    std::vector<uint32_t> tempos;
  };
  const TCase cases[] = {
      {"931", true, 1, {}}, {"9", true, 1, {}},    {"120", true, 1, {500000}},
      {"930", true, 1, {64516}}, {"120", false, 1, {}}, {"120", true, 2, {}},
  };
  for (const TCase& c : cases) {
    player_ = TRecordingPlayer{};
    player_.playing = c.playing;
    player_.owner = c.owner;
    Edit() = c.answer;
    window_.onChangePluginControl(1);
    EXPECT_EQ(player_.tempos, c.tempos) << c.answer;
  }
  Edit() = "120";
  window_.onChangePluginControl(2);  // a button forwards no change
  EXPECT_TRUE(player_.tempos.empty());
}

TEST_F(ProbeWindowTest, EnteringAControlFillsThePopupMenuAndSpeaks) {
  window_.onEnterPluginControl(1);
  EXPECT_EQ(window_.PopupItems, (std::vector<TPopupItem>{{"Copy", 16451}, {"Paste", 0}}));
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I Probe 1"}));
  window_.ClickPopupMenuClick(1);
  EXPECT_EQ(Edit(), "popup 0 1");
  window_.ClickPopupMenuClick(2);  // no such item
  EXPECT_EQ(Edit(), "popup 0 1");
  window_.PopupItems.clear();
  window_.onEnterPluginControl(2);  // a button is asked too
  EXPECT_EQ(window_.PopupItems.size(), 2u);
  Edit() = "endless";
  window_.onEnterPluginControl(1);
  EXPECT_EQ(window_.PopupItems.size(), kMaxPopupItems);
}

TEST_F(ProbeWindowTest, ClicksPassThePortOfTheCurrentTrackElseOfTheHeadTrack) {
  window_.onClickPluginControl(2);
  EXPECT_EQ(Edit(), "");  // nothing without tracks
  struct TCase {
    int headPort;
    int currentPort;
    const char* got;
  };
  const TCase cases[] = {{2, 3, "click 2 port 3"}, {2, 0, "click 2 port 2"}, {0, 0, "click 2 port 0"}};
  for (const TCase& c : cases) {
    const auto directive = [](int port) { return "{$$$midiout=" + std::to_string(port) + "$$$}"; };
    LoadSongText(window_, {"1 1 0 1 1 1 1", "Song", "Vd4m", directive(c.headPort), "1 1 1 1 1 1 1",
                           "Melody", "MM", directive(c.currentPort)});
    window_.onClickPluginControl(2);
    EXPECT_EQ(Edit(), c.got);
  }
}

TEST_F(ProbeWindowTest, AKeyCodeTheFormatRewritesIsTakenWithin16Bits) {
  struct TCase {
    const char* mode;
    int32_t key;
  };
  const TCase cases[] = {{"key 66", 66}, {"key 0", 0}, {"key 70000", 65}, {"key -1", 65}, {"", 65}};
  for (const TCase& c : cases) {
    Edit() = c.mode;
    EXPECT_EQ(window_.ComponentKeyDown(1, 65, 1), c.key) << c.mode;
    EXPECT_EQ(window_.ComponentKeyUp(1, 65, 1), 65) << c.mode;  // the probe takes no key up
  }
}

// Leaving a control speaks as the plug-in answers, and the focus stays where Tab took it
// (to the next control), even when the answer is a mode that otherwise refocuses the
// Braille editor: every control is reachable by Tab.
TEST_F(ProbeWindowTest, LeavingAControlSpeaksTheAnswerAndLeavesTheFocusWhereItWent) {
  LoadSongText(window_, {"1 0 0 1 1 1 1", "Song", "Vd4m", "1 0 1 1 1 1 1", "Melody", "MM"});
  window_.ShowTreck(smSilent);
  struct TCase {
    const char* mode;
    std::vector<std::string> said;
  };
  const TCase cases[] = {{"exit 0", {"I 1- Трек: Melody", "S MM"}},
                         {"exit 1", {"I Такт 1", "S MM"}},
                         {"", {}}};
  for (const TCase& c : cases) {
    rig_.editors.notes_focused = false;
    rig_.speaker.said.clear();
    Edit() = c.mode;
    window_.onExitPluginControl(1);
    EXPECT_EQ(rig_.speaker.said, c.said) << c.mode;
    EXPECT_FALSE(rig_.editors.notes_focused) << c.mode;
  }
  window_.ShowTreck(smTrack);  // a command's refresh still brings the focus back
  EXPECT_TRUE(rig_.editors.notes_focused);
}

// The probe gathers its hidden lines from a redraw (PrepareParameters, then DeleteMakros per
// line) and puts them back on each commit (SetMakros): every event of its controls leaves
// them once in the song.
TEST_F(ProbeWindowTest, EventsOfTheControlsKeepTheHiddenLinesOnce) {
  LoadSongText(window_, {"1 0 0 1 1 1 1", "Song", "Vd4m", "1 2 1 1 1 1 1", "Melody", "MM",
                         "{prb:track1}", "tempo 90"});
  window_.ShowTreck(smSilent);
  EXPECT_EQ(rig_.editors.program, (std::vector<std::string>{"tempo 90"}));
  window_.onClickPluginControl(2);
  window_.onClickPluginControl(2);
  window_.onChangePluginControl(1);
  window_.onEnterPluginControl(1);
  window_.ClickPopupMenuClick(0);
  EXPECT_EQ(window_.ListViewEdited(3, 1, "three"), "three");
  EXPECT_EQ(Edit(), "renamed 3 1 three");
  window_.CommitEditors();
  window_.DeConvert("");
  EXPECT_EQ(std::vector<std::string>(window_.Data.end() - 3, window_.Data.end()),
            (std::vector<std::string>{"MM", "{prb:track1}", "tempo 90"}));
}

TEST_F(ProbeWindowTest, StatusPanelTextsAreBoundedAndInCodePage1251) {
  LoadSongText(window_, {"1 0 0 1 1 1 1", "Song", "Vd4m", "1 0 1 1 1 1 1", "Melody", "MM"});
  struct TCase {
    const char* mode;
    std::string panel;
  };
  const TCase cases[] = {{"long", std::string(255, 'a')}, {"bad", ""}, {"", "probe"}};
  for (const TCase& c : cases) {
    Edit() = c.mode;
    window_.ShowTreck(smSilent);
    EXPECT_EQ(window_.StatusPanels[1], c.panel) << c.mode;
    EXPECT_EQ(window_.StatusPanels[2], "");
  }
}

// The example format: a .brm song keeps its macro line hidden, its two controls show and
// change the current track, and the song is written back as it was read.
class BrmWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    speech_ = std::make_shared<testsupport::TRecordingSpeech>();
    SetSpeechOutput(speech_);
  }
  void TearDown() override { SetSpeechOutput(nullptr); }

  std::vector<std::string> Said() const {
    std::vector<std::string> said;
    for (const auto& call : speech_->Calls()) {
      if (!call.Cancel) {
        said.push_back(call.Text);
      }
    }
    return said;
  }

  TWindowRig rig_;
  testsupport::TScopedPlugins plugins_{rig_.home.Dir().Path(), {"brm"}};
  TSongWindow window_{rig_.Ports(), 1, "brm"};
  std::shared_ptr<testsupport::TRecordingSpeech> speech_;
};

const std::vector<std::string> kBrmSong = {
    "1 0 0 1 0 0 0", "Общее",  "Vd4m",
    "1 2 1 1 0 0 0", "Мелодия", "MMVd4!SSOO", "{$$$midiout=2$$$}", "{$$$brm-off$$$}",
};

TEST_F(BrmWindowTest, TheMacroLineIsHiddenAndTheSongIsWrittenBackUnchanged) {
  const std::string path = rig_.home.Dir().File("song.brm");
  std::string bytes;
  for (const std::string& line : kBrmSong) {
    bytes += W(line) + "\r\n";
  }
  WriteBytes(path, bytes);
  ASSERT_TRUE(LoadSongFile(window_, path, ""));
  window_.ShowTreck(smSilent);
  EXPECT_TRUE(rig_.editors.program.empty());
  EXPECT_FALSE(window_.CurrentTrack->Enabled);
  EXPECT_EQ(window_.StatusPanels[1], "BRM");
  EXPECT_EQ(U(window_.StatusPanels[2]), "Порт 2");
  const VeltoControl& combo = *window_.PluginControl(1);
  EXPECT_EQ(U(combo.Name), "Порт трека");
  EXPECT_EQ(combo.Items.size(), 17u);
  EXPECT_EQ(combo.ItemIndex, 2);
  EXPECT_EQ(U(window_.PluginControl(2)->Text), "Трек звучит");
  EXPECT_FALSE(window_.PluginControl(2)->Checked);

  window_.CommitEditors();
  const std::string copy = rig_.home.Dir().File("copy.brm");
  ASSERT_TRUE(SaveSongFile(window_, copy, ""));
  EXPECT_EQ(ReadBytes(copy), bytes);
}

TEST_F(BrmWindowTest, TheControlsChooseTheTrackPortAndSwitchItOn) {
  LoadSongText(window_, kBrmSong);
  window_.ShowTreck(smSilent);
  window_.PluginControl(1)->ItemIndex = 5;
  window_.onClickPluginControl(1);
  window_.PluginControl(2)->Checked = true;
  window_.onClickPluginControl(2);
  EXPECT_EQ(Said(), (std::vector<std::string>{"Порт 5", "Трек звучит"}));
  EXPECT_TRUE(window_.Modified);
  window_.onExitPluginControl(2);  // a redraw reads the port back from the program lines
  window_.CommitEditors();
  window_.DeConvert("");
  EXPECT_EQ(std::vector<std::string>(window_.Data.end() - 2, window_.Data.end()),
            (std::vector<std::string>{"MMVd4!SSOO", "{$$$midiout=5$$$}"}));
}

}  // namespace
