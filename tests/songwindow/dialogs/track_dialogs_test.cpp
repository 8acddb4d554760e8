#include "songwindow/dialogs/track_dialogs.h"

#include <gtest/gtest.h>

#include "feedback/signals.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/parts/dialog_results.h"
#include "tests/songwindow/song_window_fakes.h"

namespace {

using namespace songwindowtest;

// Three tracks after the control track, on channels 1, 10 and 1.
const std::vector<std::string> kSong = {"1 0 0 1 0 0 0", "Общее",  "m",
                                        "2 0 1 1 0 0 0", "Мелодия", "ab", "c()d",
                                        "1 1 10 1 0 0 0", "Drums",  "x", "tempo 90",
                                        "1 0 1 1 0 0 0", "Bass",   "y"};

class TrackDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadLanguage();
    LoadSongText(window_, kSong);
    Select(1);
    savedLast_ = GLastMidiOut;
    savedDevices_ = GMidiOutDevices;
    TrackDialogResult = 0;
  }
  void TearDown() override {
    GLastMidiOut = savedLast_;
    GMidiOutDevices = savedDevices_;
    TrackDialogResult = 0;
  }
  // Makes track n (0 = the control track) current.
  void Select(int n) {
    window_.CurrentTrack = window_.HeadTreck;
    for (int i = 0; i < n; ++i) {
      window_.CurrentTrack = window_.CurrentTrack->Next;
    }
    window_.ShowTreck(smSilent);
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
  int32_t savedLast_ = 0;
  std::array<int32_t, 17> savedDevices_{};
};

TEST_F(TrackDialogsTest, PropertiesShowTheTrackAndTheChannelsOthersUse) {
  TTrackPropertiesDialog dialog(window_);
  EXPECT_FALSE(dialog.ControlTrack);
  EXPECT_EQ(U(dialog.Caption), "Свойства");
  EXPECT_EQ(U(dialog.NameLabel), "Имя трека:");
  EXPECT_EQ(U(dialog.Name), "Мелодия");
  EXPECT_EQ(dialog.Channel, 0);
  EXPECT_FALSE(dialog.Solo);
  EXPECT_TRUE(dialog.Ensemble);
  EXPECT_TRUE(dialog.Handler);
  // Channel 1 is marked once although the bass uses it too; the current track's own
  // channel counts only through the others.
  EXPECT_EQ(U(dialog.Channels[0]), "1 (задействован)");
  EXPECT_EQ(U(dialog.Channels[9]), "10 (задействован)");
  EXPECT_EQ(dialog.Channels[1], "2");

  Select(0);
  TTrackPropertiesDialog control(window_);
  EXPECT_TRUE(control.ControlTrack);
  EXPECT_EQ(U(control.NameLabel), "Имя сонга:");

  TrackDialogResult = 1;
  TTrackPropertiesDialog added(window_);
  EXPECT_TRUE(added.NewTrack);
  EXPECT_EQ(U(added.Caption), "Добавить трек");

  ASSERT_TRUE(LoadLanguageFile(std::string(VELTO_SOURCE_DIR) + "/resources/Languages/English.lng"));
  Select(2);
  TTrackPropertiesDialog english(window_);
  EXPECT_EQ(english.NameLabel, "Track name:");
  EXPECT_EQ(english.Channels[0], "1 (in use)");
  EXPECT_EQ(english.Channels[9], "10");
  UnloadLanguage();
}

TEST_F(TrackDialogsTest, OutputPortsAreListedByTheirDevices) {
  struct TCase {
    const char* name;
    int32_t last;
    std::vector<std::string> devices;
    int32_t trackPort;
    std::vector<std::string> outputs;
    int32_t chosen;
  };
  const TCase cases[] = {
      {"no additional port", 0, {"Synth", "log"}, 0, {}, 0},
      {"no device at all", 2, {}, 1, {}, 0},
      {"two ports", 2, {"Synth", "log", "Other"}, 1, {"log", "Other", "Порт 2"}, 1},
      {"track port beyond the ports", 1, {"Synth", "log", "Other"}, 5, {"log", "Other"}, 0},
  };
  for (const TCase& c : cases) {
    GLastMidiOut = c.last;
    GMidiOutDevices[1] = 2;
    GMidiOutDevices[2] = 7;  // no such device
    rig_.device.device = 1;
    rig_.device.names = c.devices;
    window_.CurrentTrack->MidiOut = c.trackPort;
    TTrackPropertiesDialog dialog(window_);
    std::vector<std::string> got;
    for (const std::string& o : dialog.Outputs) {
      got.push_back(U(o));
    }
    EXPECT_EQ(got, c.outputs) << c.name;
    EXPECT_EQ(dialog.Output, c.chosen) << c.name;
  }
}

TEST_F(TrackDialogsTest, OkWritesTheTrackAndCancelLeavesIt) {
  GLastMidiOut = 2;
  rig_.device.names = {"Synth", "log", "Other"};
  TTrackPropertiesDialog dialog(window_);
  ASSERT_TRUE(dialog.SetName("Скрипка"));
  dialog.Channel = 4;
  dialog.Solo = true;
  dialog.Ensemble = false;
  dialog.Handler = false;
  dialog.Output = 2;
  dialog.Ok();
  const TTreck& track = *window_.CurrentTrack;
  EXPECT_EQ(U(track.Caption), "Скрипка");
  EXPECT_EQ(track.Channel, 5);
  EXPECT_TRUE(track.Solo);
  EXPECT_FALSE(track.Enabled);
  EXPECT_FALSE(track.HandlerOn);
  EXPECT_EQ(track.MidiOut, 2);
  EXPECT_EQ(track.ProgramStrings, std::vector<std::string>{"{$$$midiout=2$$$}"});
  EXPECT_EQ(TrackDialogResult, 1);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
  // The port survives the next display, which reads it from the program text.
  window_.ShowTreck(smSilent);
  EXPECT_EQ(window_.CurrentTrack->MidiOut, 2);

  TTrackPropertiesDialog back(window_);
  back.Output = 0;
  back.Ok();
  EXPECT_EQ(window_.CurrentTrack->MidiOut, 0);
  EXPECT_TRUE(window_.CurrentTrack->ProgramStrings.empty());

  TTrackPropertiesDialog cancelled(window_);
  cancelled.SetName("x");
  cancelled.Channel = 9;
  cancelled.Cancel();
  EXPECT_EQ(TrackDialogResult, 0);
  EXPECT_EQ(U(window_.CurrentTrack->Caption), "Скрипка");
  EXPECT_EQ(window_.CurrentTrack->Channel, 5);
}

TEST_F(TrackDialogsTest, WithoutAPortListTheTrackKeepsItsPort) {
  Select(2);  // the drums, on port 0
  GLastMidiOut = 3;
  rig_.device.names.clear();  // no MIDI device
  TTrackPropertiesDialog dialog(window_);
  ASSERT_TRUE(dialog.Outputs.empty());
  dialog.Output = -1;  // what an empty list reports
  dialog.Ok();
  EXPECT_EQ(window_.CurrentTrack->MidiOut, 0);
  EXPECT_EQ(window_.CurrentTrack->ProgramStrings, std::vector<std::string>{"tempo 90"});
}

TEST_F(TrackDialogsTest, ControlTrackKeepsItsChannelAndSwitches) {
  Select(0);
  TTrackPropertiesDialog dialog(window_);
  dialog.Channel = 3;
  dialog.Solo = true;
  dialog.Ensemble = false;
  dialog.Handler = false;
  dialog.Ok();
  EXPECT_EQ(window_.HeadTreck->Channel, 0);
  EXPECT_FALSE(window_.HeadTreck->Solo);
  EXPECT_TRUE(window_.HeadTreck->Enabled);
  EXPECT_FALSE(window_.HeadTreck->HandlerOn);
}

TEST_F(TrackDialogsTest, NameThatTheSongCannotHoldIsRefused) {
  TTrackPropertiesDialog dialog(window_);
  EXPECT_FALSE(dialog.SetName("Piano \u266B"));
  EXPECT_EQ(U(dialog.Name), "Мелодия");
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
}

TEST_F(TrackDialogsTest, CopyChoosesARangeThatNeverRunsBackwards) {
  Select(2);
  TTrackCopyDialog dialog(window_);
  EXPECT_EQ(U(dialog.Caption), "Копирование треков");
  EXPECT_EQ(U(dialog.BeginLabel), "Начиная с трека:");
  ASSERT_EQ(dialog.Tracks.size(), 3u);
  EXPECT_EQ(dialog.Tracks[1], "Drums");
  EXPECT_EQ(dialog.Begin, 1);
  EXPECT_EQ(dialog.End, 1);
  dialog.SelectEnd(0);
  EXPECT_EQ(dialog.End, 1);
  dialog.SelectBegin(2);
  EXPECT_EQ(dialog.End, 2);
  dialog.SelectBegin(0);
  EXPECT_EQ(dialog.End, 2);
  dialog.Ok();
  EXPECT_EQ(CopyFromTrack, 2);
  EXPECT_EQ(CopyToTrack, 4);
  dialog.Cancel();
  EXPECT_EQ(CopyFromTrack, -1);
  EXPECT_EQ(CopyToTrack, -1);

  Select(0);
  TTrackCopyDialog fromHead(window_);
  EXPECT_EQ(fromHead.Begin, 0);
}

TEST_F(TrackDialogsTest, CopyWithNoTrackToChooseHandsBackNothing) {
  TWindowRig rig;
  TSongWindow window(rig.Ports(), 2, "qem");
  LoadSongText(window, {"1 0 0 1 0 0 0", "Общее", "m"});
  TTrackCopyDialog dialog(window);
  ASSERT_TRUE(dialog.Tracks.empty());
  dialog.Ok();
  EXPECT_EQ(CopyFromTrack, -1);  // never the control track
  EXPECT_EQ(CopyToTrack, -1);
}

TEST_F(TrackDialogsTest, TrackTextSavesItsLinesAndAnEmptyTextLeavesNone) {
  struct TCase {
    const char* text;
    std::vector<std::string> lines;
  };
  const TCase cases[] = {
      {"ab\nc()d", {"ab", "c()d"}},
      {"ab\r\nc()d\n", {"ab", "c()d"}},  // a final line end adds no line
      {"ab\n\nc", {"ab", "", "c"}},
      {"", {}},
      {"жёлтый", {W("жёлтый")}},
  };
  for (const TCase& c : cases) {
    Select(1);
    TTrackTextDialog dialog(window_);
    EXPECT_EQ(dialog.Lines, (std::vector<std::string>{"ab", "c()d"}));
    window_.CurrentTrack->MusicStrings = {"ab", "c()d"};
    const int32_t before = window_.Undo().State().Count;
    EXPECT_TRUE(dialog.Save(c.text)) << c.text;
    EXPECT_EQ(window_.CurrentTrack->MusicStrings, c.lines) << c.text;
    EXPECT_EQ(window_.Undo().State().Count, before + 1) << c.text;
    EXPECT_EQ(U(window_.Undo().Label()), "Редактирование трека");
    window_.CurrentTrack->MusicStrings = {"ab", "c()d"};
  }
  TTrackTextDialog refused(window_);
  EXPECT_FALSE(refused.Save("a\u266B"));
  EXPECT_EQ(window_.CurrentTrack->MusicStrings, (std::vector<std::string>{"ab", "c()d"}));
}

TEST_F(TrackDialogsTest, TrackTextSaysWhereTheCaretIs) {
  TTrackTextDialog dialog(window_);
  EXPECT_EQ(U(dialog.Caption), "Редактор трека");
  EXPECT_EQ(U(dialog.LinePanel(2)), "Такт: 2");
  EXPECT_EQ(U(dialog.ColumnPanel(5)), "Столбец: 5");
  rig_.speaker.said.clear();
  dialog.SpeakPlace(2, 5);
  EXPECT_EQ(rig_.speaker.said, (std::vector<std::string>{"I Строка: 2", "S Столбец: 5"}));
}

}  // namespace
