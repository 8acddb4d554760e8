// The window's action table and the undo, navigation and play commands, driven through
// plain calls with the recording ports; plays go through the program's transport to a
// recorder port under a virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "base/errors.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "feedback/song_text_report.h"
#include "feedback/speech.h"
#include "settings/settings.h"
#include "platform/clock.h"
#include "platform/midi_devices/midi_recorder.h"
#include "playback/midi_ports.h"
#include "playback/player.h"
#include "playback/transport.h"
#include "model/song_file.h"
#include "songwindow/dialogs/track_dialogs.h"
#include "songwindow/parts/dialog_results.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/support/midi_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_support.h"

namespace {

using namespace songwindowtest;

// Control track and three tracks; the third track ("Бас") has a line of three voices.
const std::vector<std::string> kSong = {
    "1 0 0 1 0 0 0", "Общее",  "Vd4m",
    "2 0 1 1 0 0 0", "Мелодия", "!PSNQ", "SNQT",
    "1 0 2 1 0 0 0", "Бас",     "!PSN()QQp()NNo",
    "1 0 3 1 0 0 0", "Альт",    "!P"};

class WindowCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SayPlaceToggle = false;
    LoadSongText(window_, kSong);
    window_.CurrentTrack = Track(1);
    window_.ShowTreck(smSilent);
  }
  PTreck Track(int n) {
    PTreck t = window_.HeadTreck;
    for (int i = 0; i < n; ++i) {
      t = t->Next;
    }
    return t;
  }
  std::vector<std::string> SaidAfter(size_t start) {
    return {rig_.speaker.said.begin() + static_cast<ptrdiff_t>(start), rig_.speaker.said.end()};
  }
  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 3, "qem"};
};

// Every key of the table is one key, unique, and the commands of the moves and the
// modes are bound; the Find keys wait for their commands.
TEST_F(WindowCommandsTest, ActionTableRowsHaveTheirKeysAndCommands) {
  struct TCase {
    const char* action;
    const char* keys;
    bool bound;
  };
  const TCase cases[] = {
      {"Undo", "Alt+Z", true},           {"NextTreck", "Ctrl+Down", true},
      {"PriorTreck", "Ctrl+Up", true},   {"FirstTrack", "Ctrl+PgUp", true},
      {"LastTrack", "Ctrl+PgDown", true}, {"NextTackt", "Alt+Right", true},
      {"PriorTackt", "Alt+Left", true},  {"FirstTackt", "Alt+Home", true},
      {"LastTackt", "Alt+End", true},    {"NextVoice", "Alt+Down", true},
      {"PriorVoice", "Alt+Up", true},    {"FirstVoice", "Alt+PgUp", true},
      {"EndVoice", "Alt+PgDown", true},  {"SayPlace", "F4", true},
      {"GoToTacktVoice", "Ctrl+G", true}, {"PropertyTreck", "F5", true},
      {"Find", "Ctrl+F", false},         {"FindNext", "F3", false},
      {"Zamen", "Ctrl+H", false},        {"Instruments", "F6", true},
      {"Drums", "F7", true},             {"BlockObrabotchik", "F10", true},
      {"MasteringModuls", "F11", true},  {"Translatoring", "F12", true},
      {"ConvertHarmonyInNotes", "Ctrl+K", true}, {"QEMHelper", "F2", true},        {"PlayAll", "Ctrl+Shift+Space", true},
      {"PlayPos", "Ctrl+Space", true},   {"PlayVoice", "Shift+Space", true},
      {"PlayTackt", "Shift+Alt+Space", true}, {"Stop", "Esc", true},
      {"RePlay", "Ctrl+Alt+Space", true}, {"StopAndGo", "Shift+Esc", true},
      {"ClearTackt", "Shift+Del", true}, {"DeleteTackt", "Ctrl+Del", true},
      {"NewTreck", "Ctrl+T", true},      {"DeleteTreck", "Ctrl+Shift+Del", true},
      {"TreckEditing", "F8", true},      {"Solo", "F9", true},
      {"aAdvancedEditing", "Ctrl+Shift+Return", true}, {"aPointMode", "Ctrl+Return", true},
      {"ANavigationAdvanced", "Shift+Return", true}, {"aPlayNotes", "Ctrl+Alt+Y", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.action);
    const TCaptionRow* row = ActionRow(c.action);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->Shortcut, c.keys);
    EXPECT_EQ(row->Run != nullptr, c.bound);
  }
  std::set<std::string> keys;
  for (const TCaptionRow& row : ActionCaptionRows()) {
    if (*row.Shortcut != '\0') {
      EXPECT_TRUE(keys.insert(row.Shortcut).second) << "two actions on " << row.Shortcut;
    }
  }
  EXPECT_FALSE(window_.Actions.at("RePlay").Enabled);
  EXPECT_FALSE(window_.Actions.at("StopAndGo").Enabled);
}

// Each move: where it lands and what it says first (the ShowTreck mode).
TEST_F(WindowCommandsTest, MovesLandAndSpeakByTheirMode) {
  struct TCase {
    const char* name;
    void (TSongWindow::*run)();
    int track;
    int32_t measure;
    uint16_t voice;
    const char* said;
  };
  const TCase cases[] = {
      {"NextTreck", &TSongWindow::NextTreck, 2, 1, 1, "I 2- Трек: Бас"},
      {"PriorTreck", &TSongWindow::PriorTreck, 0, 1, 1, "I 0- Сонг: Общее"},
      {"FirstTrack", &TSongWindow::FirstTrack, 0, 1, 1, "I 0- Сонг: Общее"},
      {"LastTrack", &TSongWindow::LastTrack, 3, 1, 1, "I 3- Трек: Альт"},
      {"NextTackt", &TSongWindow::NextTackt, 1, 2, 1, "I Такт 2"},
      {"LastTackt", &TSongWindow::LastTackt, 1, 2, 1, "I Такт 2"},
      {"FirstTackt", &TSongWindow::FirstTackt, 1, 1, 1, "I Такт 1"},
      {"NextVoice", &TSongWindow::NextVoice, 1, 1, 2, "I Голос 2"},
      {"EndVoice", &TSongWindow::EndVoice, 1, 1, 1, "I Голос 1"},
      {"FirstVoice", &TSongWindow::FirstVoice, 1, 1, 1, "I Голос 1"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    window_.CurrentTrack = Track(1);
    window_.CurrentTrack->Voice = 1;
    window_.CurrentMeasure = c.name == std::string("FirstTackt") ? 2 : 1;
    window_.ShowTreck(smSilent);
    const size_t start = rig_.speaker.said.size();
    (window_.*c.run)();
    EXPECT_EQ(window_.CurrentTrack, Track(c.track));
    EXPECT_EQ(window_.CurrentMeasure, c.measure);
    EXPECT_EQ(window_.CurrentTrack->Voice, c.voice);
    ASSERT_FALSE(SaidAfter(start).empty());
    EXPECT_EQ(SaidAfter(start).front(), c.said);
  }
}

TEST_F(WindowCommandsTest, EndVoiceCountsTheSeparatorsOfTheLine) {
  window_.CurrentTrack = Track(2);
  window_.ShowTreck(smSilent);
  window_.EndVoice();
  EXPECT_EQ(Track(2)->Voice, 3);
  EXPECT_EQ(rig_.editors.notes, "NNo");
  // A measure past the track's lines keeps the voice.
  window_.CurrentMeasure = 5;
  window_.EndVoice();
  EXPECT_EQ(Track(2)->Voice, 3);
}

TEST_F(WindowCommandsTest, SayPlaceAlternatesPlaceAndTrack) {
  window_.CurrentMeasure = 2;
  window_.ShowTreck(smSilent);
  size_t start = rig_.speaker.said.size();
  window_.SayPlace();
  EXPECT_EQ(SaidAfter(start), (std::vector<std::string>{"I Такт 2", "S Голос 1", "S SNQT"}));
  start = rig_.speaker.said.size();
  window_.SayPlace();
  EXPECT_EQ(SaidAfter(start), (std::vector<std::string>{"I 1- Трек: Мелодия", "S SNQT"}));
  start = rig_.speaker.said.size();
  window_.SayPlace();
  EXPECT_EQ(SaidAfter(start).front(), "I Такт 2");
}

TEST_F(WindowCommandsTest, GoToTakesTheDialogsPlaceAndVoiceOneOnTheControlTrack) {
  rig_.windowDialogs.answers[TWindowDialog::GoTo] = [] {
    GoToConfirmed = 1;
    GoToMeasure = 2;
    GoToVoice = 2;
  };
  window_.GoToTacktVoice();
  EXPECT_EQ(window_.CurrentMeasure, 2);
  EXPECT_EQ(Track(1)->Voice, 2);
  EXPECT_EQ(rig_.speaker.said.back(), "S Голос 2");
  window_.CurrentTrack = Track(0);
  window_.GoToTacktVoice();
  EXPECT_EQ(Track(0)->Voice, 1);
  // Cancelled: nothing moves.
  rig_.windowDialogs.answers[TWindowDialog::GoTo] = [] { GoToConfirmed = 0, GoToMeasure = 9; };
  window_.GoToTacktVoice();
  EXPECT_EQ(window_.CurrentMeasure, 2);
  EXPECT_EQ(rig_.windowDialogs.shown.size(), 3u);
}

TEST_F(WindowCommandsTest, DialogCommandsWithoutDialogsBeep) {
  TSongWindowPorts ports = rig_.Ports();
  ports.Dialogs = nullptr;
  TSongWindow window(ports, 4, "qem");
  LoadSongText(window, kSong);
  window.ShowTreck(smSilent);
  rig_.signaller.kinds.clear();
  window.GoToTacktVoice();
  window.PropertyTreck();
  EXPECT_EQ(rig_.signaller.kinds, (std::vector<uint8_t>{sError + 100, sError + 100}));
}

TEST_F(WindowCommandsTest, PropertyTreckShowsTheTrackAndResetsTheResult) {
  rig_.windowDialogs.answers[TWindowDialog::TrackProperties] = [this] {
    Track(1)->Caption = W("Скрипка");
    TrackDialogResult = 1;
  };
  const size_t start = rig_.speaker.said.size();
  window_.PropertyTreck();
  EXPECT_EQ(SaidAfter(start).front(), "I 1- Трек: Скрипка");
  EXPECT_EQ(TrackDialogResult, 0);
}

// Undo from the third track with the ring at slot 0 wraps it to 99, shows the third track
// of the restored song, and names the snapshot left to undo on the action.
TEST_F(WindowCommandsTest, UndoWrapsTheRingAndReturnsToTheSameTrack) {
  for (int i = 1; i <= 100; ++i) {
    window_.Saved("op" + std::to_string(i));
  }
  ASSERT_EQ(window_.Undo().State().Index, 0);
  EXPECT_EQ(window_.Actions.at("Undo").Caption, W("Отменить op100"));
  EXPECT_TRUE(window_.Actions.at("Undo").Enabled);
  Track(3)->Caption = "changed";
  window_.CurrentTrack = Track(3);
  rig_.signaller.kinds.clear();
  window_.UndoLast();
  EXPECT_EQ(window_.Undo().State().Index, 99);
  EXPECT_EQ(window_.Undo().State().Count, 99);
  EXPECT_EQ(window_.CurrentTrack, Track(3));
  EXPECT_EQ(window_.CurrentTrack->Caption, W("Альт"));
  EXPECT_EQ(window_.Actions.at("Undo").Caption, W("Отменить op99"));
  EXPECT_TRUE(window_.Actions.at("Undo").Enabled);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
  EXPECT_EQ(rig_.speaker.said.at(rig_.speaker.said.size() - 2), "I 3- Трек: Альт");
}

// A newest snapshot the parser refuses: its box once, the song as it was, no OK signal and
// nothing left for the window's timer to show again.
TEST_F(WindowCommandsTest, UndoOfABrokenSnapshotShowsItsErrorOnce) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  SetMessageBoxes(boxes);
  InstallSongTextErrorReport();
  window_.Saved("one");
  WriteBytes(window_.Undo().SnapshotPath(window_.Undo().State().Index), "rubbish\r\nmore\r\nmore\r\n");
  Track(1)->Caption = "changed";
  rig_.signaller.kinds.clear();
  window_.UndoLast();
  EXPECT_FALSE(window_.ReportPendingError());
  SetSongTextErrorReport(nullptr);
  SetMessageBoxes(nullptr);
  EXPECT_EQ(boxes->Shown().size() + rig_.questions.asked.size(), 1u);
  EXPECT_EQ(Track(1)->Caption, "changed");
  EXPECT_TRUE(rig_.signaller.kinds.empty());
}

TEST_F(WindowCommandsTest, UndoWithAnEmptyRingOnlyResetsTheAction) {
  window_.Saved("one");
  window_.UndoLast();
  EXPECT_EQ(window_.Actions.at("Undo").Caption, W("Отменить"));
  EXPECT_FALSE(window_.Actions.at("Undo").Enabled);
  rig_.signaller.kinds.clear();
  window_.UndoLast();
  EXPECT_TRUE(rig_.signaller.kinds.empty());
  EXPECT_FALSE(window_.Actions.at("Undo").Enabled);
  EXPECT_EQ(window_.CurrentTrack, Track(1));
}

// Plays through the transport to a recorder port under a virtual clock.
class PlayCommandsTest : public WindowCommandsTest {
 protected:
  void SetUp() override {
    // The installed resources (block library, rules) in the rig's own program folder, so
    // that the windows' undo files stay out of the build tree.
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(VELTO_BINARY_DIR) + "/bin/Resources")) {
      if (entry.is_regular_file()) {
        std::filesystem::copy_file(entry.path(), ProgramDir + "Resources/" + entry.path().filename().string(),
                                   std::filesystem::copy_options::overwrite_existing);
      }
    }
    // The render's progress signals and speech stay off the sound card and speech.
    SetSoundPlayer(sounds_);
    SetSpeechOutput(speech_);
    SignalProgress = false;
    WindowCommandsTest::SetUp();
    LoadSongText(window_, {"1 1 0 1 0 0 0", "Общее", "Vd4m", "tempo 240", "6 0 1 1 0 0 0", "Мелодия",
                           "!PSNQ", "SNQT", "!PSNQ", "SNQT", "!PSNQ", "SNQT"});
    window_.CurrentTrack = Track(1);
    window_.ShowTreck(smSilent);
    recorder_ = std::make_shared<TMidiRecorderBackend>(clock_, std::vector<TRecorderPortOptions>{{"rec"}});
    SetMidiBackends({recorder_});
    SetPlaybackClock(&clock_);
    EnumMidiOutDevices();
    ASSERT_TRUE(OpenMidiOuts(0));
  }
  void TearDown() override {
    Transport().Stop();
    GPlayer.Pause = false;  // a test that paused the player and failed leaves it so
    CloseMidiOut(0);
    SetPlaybackClock(nullptr);
    SetMidiBackends({});
    GMidiOutDeviceList.clear();
    GErrors.Reset();
    SetSoundPlayer(nullptr);
    SetSpeechOutput(nullptr);
  }
  // The note-on keys sent since the last call.
  std::vector<int> NoteOns() {
    std::vector<int> keys;
    const auto messages = recorder_->Recording(0)->ShortMessages();
    for (size_t i = seen_; i < messages.size(); ++i) {
      const auto& m = messages[i].Bytes;
      if (m.size() == 3 && (m[0] & 0xF0) == 0x90 && m[2] > 0) {
        keys.push_back(m[1]);
      }
    }
    seen_ = messages.size();
    return keys;
  }
  // Plays from `measure` until the player is paused once `notes` notes have sounded (the
  // player checks every 50 ms of its clock); false when the play ended first.
  bool PlayUntilPaused(void (TSongWindow::*play)(), int32_t measure, long notes) {
    const size_t before = recorder_->Recording(0)->ShortMessages().size();
    auto paused = std::make_shared<std::atomic<bool>>(false);
    for (int step = 1; step <= 200; ++step) {
      clock_.At(clock_.NowMs() + step * 50.0, [this, before, notes, paused] {
        const auto messages = recorder_->Recording(0)->ShortMessages();
        if (!*paused && std::count_if(messages.begin() + static_cast<ptrdiff_t>(before), messages.end(), [](const auto& m) {
              return m.Bytes.size() == 3 && (m.Bytes[0] & 0xF0) == 0x90 && m.Bytes[2] > 0;
            }) >= notes) {
          *paused = true;
          SetPlayerPause(true);
        }
      });
    }
    window_.CurrentMeasure = measure;
    (window_.*play)();
    while (!GPlayer.Pause && Transport().Busy()) {
      std::this_thread::yield();
    }
    return GPlayer.Pause;
  }
  std::vector<int> Played(void (TSongWindow::*play)(), int32_t measure) {
    window_.CurrentMeasure = measure;
    (window_.*play)();
    EXPECT_EQ(GErrors.Code(), 0) << U(GErrors.Get().Text);
    Transport().Wait();
    return NoteOns();
  }

  TVirtualClock clock_;
  std::shared_ptr<TMidiRecorderBackend> recorder_;
  std::shared_ptr<testsupport::TRecordingPlayer> sounds_ = std::make_shared<testsupport::TRecordingPlayer>();
  std::shared_ptr<testsupport::TRecordingSpeech> speech_ = std::make_shared<testsupport::TRecordingSpeech>();
  size_t seen_ = 0;
};

TEST_F(PlayCommandsTest, PlayTacktPlaysOneMeasureAndTheNextPlayHasNoLimit) {
  // "!PSNQ" is C D E F from middle C; "SNQT" after it D E F G.
  const std::vector<int> odd = {60, 62, 64, 65};
  const std::vector<int> even = {62, 64, 65, 67};
  const auto joined = [](std::initializer_list<std::vector<int>> parts) {
    std::vector<int> keys;
    for (const auto& part : parts) {
      keys.insert(keys.end(), part.begin(), part.end());
    }
    return keys;
  };
  EXPECT_EQ(Played(&TSongWindow::PlayAll, 2), joined({odd, even, odd, even, odd, even}));
  EXPECT_EQ(Played(&TSongWindow::PlayTackt, 2), even);
  const std::vector<int> fromSecond = Played(&TSongWindow::PlayPos, 2);
  EXPECT_EQ(fromSecond, joined({even, odd, even, odd, even}));
  // A PlayTackt that fails leaves no limit for the play after it.
  window_.CurrentTrack = Track(1);
  Track(1)->MusicStrings[0] = "%%Vc4!P";
  window_.CurrentMeasure = 1;
  window_.ShowTreck(smSilent);
  window_.PlayTackt();
  EXPECT_NE(GErrors.Code(), 0);
  GErrors.Reset();
  Track(1)->MusicStrings[0] = "!PSNQ";
  EXPECT_EQ(Played(&TSongWindow::PlayPos, 2), fromSecond);
}

// While a play sounds only the other three plays are off: Shift+Alt+Space stops it and
// plays the measure alone.
TEST_F(PlayCommandsTest, PlayTacktWhileAPlayRunsStopsItAndPlaysTheMeasure) {
  ASSERT_TRUE(PlayUntilPaused(&TSongWindow::PlayAll, 1, 3));
  window_.ShowPlayState(Transport().Busy());
  EXPECT_FALSE(window_.Actions.at("PlayPos").Enabled);
  ASSERT_TRUE(window_.Actions.at("PlayTackt").Enabled);
  window_.CurrentMeasure = 2;
  window_.ShowTreck(smSilent);
  (window_.*ActionRow("PlayTackt")->Run)();
  Transport().Wait();
  // C D E of the play, then D E F G of measure 2 alone.
  EXPECT_EQ(NoteOns(), (std::vector<int>{60, 62, 64, 62, 64, 65, 67}));
}

TEST_F(PlayCommandsTest, StopAndGoGoesToTheMeasureSoundingOnlyForItsOwnWindow) {
  // A play from measure 4, paused once the third note of measure 6 sounds: 2.5 measures
  // played.
  ASSERT_TRUE(PlayUntilPaused(&TSongWindow::PlayPos, 4, 11)) << "the play ended before its eleventh note";
  ASSERT_EQ(GPlayerOwner.load(), window_.WindowNumber);
  window_.StopAndGo();
  Transport().Wait();
  GPlayer.Pause = false;
  EXPECT_EQ(window_.CurrentMeasure, 6);
  EXPECT_EQ(rig_.speaker.said.at(rig_.speaker.said.size() - 2), "I Такт 6");
  EXPECT_EQ(GPlayerOwner.load(), 0);
  // Another window's StopAndGo does nothing but the error signal.
  Played(&TSongWindow::PlayPos, 1);
  TSongWindow other(rig_.Ports(), 5, "qem");
  LoadSongText(other, kSong);
  other.ShowTreck(smSilent);
  ASSERT_NE(GPlayerOwner.load(), other.WindowNumber);
  rig_.signaller.kinds.clear();
  other.StopAndGo();
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_EQ(GPlayerOwner.load(), window_.WindowNumber);
}

TEST_F(PlayCommandsTest, RePlayOnlyWhileTheListsAreValid) {
  rig_.signaller.kinds.clear();
  window_.RePlay();  // nothing rendered yet
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  const std::vector<int> played = Played(&TSongWindow::PlayPos, 1);
  window_.ShowPlayState(false);
  EXPECT_TRUE(window_.Actions.at("RePlay").Enabled);
  rig_.signaller.kinds.clear();
  window_.RePlay();
  Transport().Wait();
  EXPECT_EQ(NoteOns(), played);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sTrack});
  // A preparation since (a conversion) frees the lists.
  ASSERT_TRUE(PrepareAndCompileSong(window_));
  window_.ShowPlayState(false);
  EXPECT_FALSE(window_.Actions.at("RePlay").Enabled);
  rig_.signaller.kinds.clear();
  window_.RePlay();
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  EXPECT_TRUE(NoteOns().empty());
}

// A track text saved empty leaves the track without music lines: the window shows it, the
// song plays and exports its other tracks, and saves and opens again with the track so.
TEST_F(PlayCommandsTest, ATrackTextSavedEmptyPlaysExportsSavesAndOpens) {
  LoadSongText(window_, {"1 1 0 1 0 0 0", "Общее", "Vd4m", "tempo 240", "2 0 1 1 0 0 0", "Мелодия",
                         "!PSNQ", "SNQT", "1 0 2 1 0 0 0", "Бас", "!QTQT"});
  window_.CurrentTrack = Track(1);
  window_.CurrentMeasure = 2;
  window_.ShowTreck(smSilent);
  rig_.windowDialogs.answers[TWindowDialog::TrackText] = [this] {
    TTrackTextDialog dialog(window_);
    EXPECT_TRUE(dialog.Save(""));
  };
  window_.TreckEditing();
  ASSERT_TRUE(Track(1)->MusicStrings.empty());
  EXPECT_EQ(rig_.editors.notes, "");
  EXPECT_EQ(rig_.speaker.said.back(), "I 1- Трек: Мелодия");
  window_.NextTackt();
  window_.LastTackt();
  window_.PriorTackt();
  EXPECT_TRUE(Track(1)->MusicStrings.empty()) << "moving commits nothing typed";

  // F G F G of the bass, as a play and as a file (250000 µs a quarter at tempo 240).
  EXPECT_EQ(Played(&TSongWindow::PlayAll, 1), (std::vector<int>{65, 67, 65, 67}));
  EXPECT_TRUE(Track(1)->MusicStrings.empty());
  TTempDir dir;
  std::string error;
  ASSERT_TRUE(Transport().Export(window_, dir.File("song.mid"), &error)) << error;
  std::string expected = "format 1\ntracks 3\ndivision 480\ntempo 0 0 250000\nend 0 1\nend 1 1\n";
  for (int i = 0; i < 4; ++i) {
    const int key = i % 2 == 0 ? 65 : 67;
    expected += "note 2 " + std::to_string(480 * i) + " 1 " + std::to_string(key) + " 81 on\n";
    expected += "note 2 " + std::to_string(480 * i + 456) + " 1 " + std::to_string(key) + " 81 off\n";
  }
  EXPECT_EQ(miditest::MidoSummary(dir.File("song.mid")), expected + "end 2 1\n");

  ASSERT_TRUE(SaveSongFile(window_, dir.File("song.qem"), "", &error)) << error;
  TSongWindow reopened(rig_.Ports(), 4, "qem");
  ASSERT_TRUE(LoadSongFile(reopened, dir.File("song.qem"), "", &error)) << error;
  PTreck melody = reopened.HeadTreck->Next;
  EXPECT_EQ(U(melody->Caption), "Мелодия");
  EXPECT_TRUE(melody->MusicStrings.empty());
  EXPECT_EQ(melody->Next->MusicStrings, std::vector<std::string>{"!QTQT"});
  reopened.CurrentTrack = melody;
  reopened.ShowTreck(smTrack);
  EXPECT_EQ(rig_.editors.notes, "");
}

TEST_F(PlayCommandsTest, PlayStateFollowsTheTransport) {
  window_.PlayVoice();  // on a music track
  EXPECT_EQ(window_.StatusPanels[0].substr(2, 1), "B");
  EXPECT_FALSE(window_.Actions.at("PlayVoice").Enabled);
  EXPECT_TRUE(window_.Actions.at("PlayTackt").Enabled);
  Transport().Wait();
  window_.ShowPlayState(Transport().Busy());
  EXPECT_EQ(window_.StatusPanels[0].substr(2, 1), "b");
  EXPECT_TRUE(window_.Actions.at("PlayTackt").Enabled);
  EXPECT_FALSE(window_.Actions.at("StopAndGo").Enabled);
  // PlayVoice on the control track: the error signal and no play.
  window_.CurrentTrack = Track(0);
  rig_.signaller.kinds.clear();
  window_.PlayVoice();
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
}

}  // namespace

