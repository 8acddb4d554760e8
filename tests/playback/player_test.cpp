#include "playback/player.h"

#include <gtest/gtest.h>

#include "tests/support/sanitizers.h"

#include "tests/support/run_command.h"
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>

#include "base/errors.h"
#include "feedback/speech.h"
#include "platform/midi_devices/midi_fluidsynth.h"
#include "platform/midi_devices/midi_recorder.h"
#include "platform/speech_signals/speech_output.h"
#include "midi/midi_event_writer.h"
#include "midi/midi_file_reader.h"
#include "playback/midi_ports.h"
#include "render/track_runtime.h"
#include "settings/settings.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kTpm = 1920;  // ticks per measure: 480 per quarter in 4/4, 500/480 ms a tick

// A song of tracks linked as the song window links them; the first is the control track.
class TSong {
 public:
  explicit TSong(int music_tracks) {
    tracks_.resize(static_cast<size_t>(music_tracks) + 1);
    for (size_t i = 0; i < tracks_.size(); ++i) {
      tracks_[i].Channel = static_cast<uint8_t>(i);
      if (i > 0) {
        tracks_[i].Prev = &tracks_[i - 1];
        tracks_[i - 1].Next = &tracks_[i];
      }
      // A render opens every list with the track's name at the start.
      WriteTrackName("T" + std::to_string(i), RuntimeOf(tracks_[i]), 0, kTpm);
    }
  }
  PTreck Head() { return &tracks_[0]; }
  TTreck& Track(size_t i) { return tracks_[i]; }
  TTrackRuntime& Events(size_t i) { return RuntimeOf(tracks_[i]); }
  int Count() const { return static_cast<int>(tracks_.size()); }

  // Ends every list (end-of-track at `tick`) and marks it complete, as a finished render does.
  void Finish(uint32_t tick) {
    for (size_t i = 0; i < tracks_.size(); ++i) {
      WriteEndOfTrack(Events(i), tick, kTpm);
      Events(i).Events.MarkComplete();
    }
  }

 private:
  std::vector<TTreck> tracks_;
};

// A note on and its note off on a music track.
void WriteNote(TTrackRuntime& track, int channel, int key, uint32_t on_tick, uint32_t off_tick) {
  WriteNoteOn(key, track.KeyOnVelocity[key & 0x7F], channel, track, on_tick, kTpm);
  WriteNoteOff(key, track.KeyOffVelocity[key & 0x7F], channel, track, off_tick, kTpm);
}

struct TNoteSeen {
  double TimeMs;
  bool On;  // a note on with a velocity
  int Channel;
  int Key;
  bool operator==(const TNoteSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TNoteSeen& n) {
  return out << (n.On ? "on " : "off ") << n.Channel << ":" << n.Key << " @" << n.TimeMs;
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPlaybackClock(&clock_);
    recorder_ = std::make_shared<TMidiRecorderBackend>(
        clock_, std::vector<TRecorderPortOptions>{{"r0"}, {"r1"}});
    SetMidiBackends({recorder_});
    GMidiOutDeviceList.clear();
    GLastMidiOut = 0;
    GErrors.Reset();
    ASSERT_TRUE(OpenMidiOuts(0));
    Recording().Clear();
    speech_ = std::make_shared<TSpeechCalls>();
    SetSpeechOutput(speech_);
  }

  void TearDown() override {
    GPlayerThread.StopAndJoin();
    SetPlayerThreadRunner(nullptr);
    for (int port = 0; port < kMidiPortCount; ++port) {
      CloseMidiOut(port);
    }
    SetSpeechOutput(nullptr);
    SetMidiBackends({});
    GMidiOutDeviceList.clear();
    SetPlaybackClock(nullptr);
    GLastMidiOut = 0;
  }

  // Plays the song to its end (or until an action scheduled on the clock stops it).
  void Play(TSong& song) {
    ASSERT_TRUE(PreparePlayback(song.Head(), song.Count(), kTpm));
    GPlayerThread.Start(song.Head());
    GPlayerThread.Join();
  }

  TMidiRecording& Recording() { return *recorder_->Recording(0); }

  std::vector<TNoteSeen> Notes() {
    std::vector<TNoteSeen> notes;
    for (const auto& m : Recording().ShortMessages()) {
      const int kind = m.Bytes[0] & 0xF0;
      if (kind == 0x80 || kind == 0x90) {
        notes.push_back({Microseconds(m.TimeMs), kind == 0x90 && m.Bytes[2] != 0, m.Bytes[0] & 0x0F,
                         m.Bytes[1]});
      }
    }
    return notes;
  }

  // Every note on is followed by its note off, an all-notes-off or all-sound-off of its
  // channel, or a reset of the device.
  void ExpectEveryNoteEnds() {
    const auto messages = Recording().Messages();
    for (size_t i = 0; i < messages.size(); ++i) {
      const auto& m = messages[i];
      if (m.Kind != TRecordedKind::Short || (m.Bytes[0] & 0xF0) != 0x90 || m.Bytes[2] == 0) {
        continue;
      }
      const int channel = m.Bytes[0] & 0x0F;
      bool ended = false;
      for (size_t j = i + 1; j < messages.size() && !ended; ++j) {
        const auto& later = messages[j];
        if (later.Kind == TRecordedKind::Reset) {
          ended = true;
        } else if (later.Kind == TRecordedKind::Short && (later.Bytes[0] & 0x0F) == channel) {
          const int kind = later.Bytes[0] & 0xF0;
          ended = ((kind == 0x80 || (kind == 0x90 && later.Bytes[2] == 0)) &&
                   later.Bytes[1] == m.Bytes[1]) ||
                  (kind == 0xB0 && (later.Bytes[1] == 120 || later.Bytes[1] == 123));
        }
      }
      EXPECT_TRUE(ended) << "note " << int(m.Bytes[1]) << " at " << m.TimeMs << " never ends";
    }
  }

  // A time in ms kept to whole microseconds: the player adds up delta times in floating
  // point, so 500 ms may come out a hair above 500.
  static double Microseconds(double ms) { return std::round(ms * 1000.0) / 1000.0; }

  // The short messages sent at a time, in order.
  std::vector<Bytes> SentAt(double time_ms) {
    std::vector<Bytes> sent;
    for (const auto& m : Recording().ShortMessages()) {
      if (Microseconds(m.TimeMs) == time_ms) {
        sent.push_back(m.Bytes);
      }
    }
    return sent;
  }

  class TSpeechCalls : public TSpeechOutput {
   public:
    void Say(const std::string& utf8, bool interrupt) override {
      std::lock_guard<std::mutex> lock(mutex_);
      said_.push_back((interrupt ? "I:" : "Q:") + utf8);
    }
    void Cancel() override {}
    std::vector<std::string> Said() {
      std::lock_guard<std::mutex> lock(mutex_);
      return said_;
    }

   private:
    std::mutex mutex_;
    std::vector<std::string> said_;
  };

  TVirtualClock clock_;
  std::shared_ptr<TMidiRecorderBackend> recorder_;
  std::shared_ptr<TSpeechCalls> speech_;
};

TEST_F(PlayerTest, SendsEachEventAtItsTimeAtTheDefaultTempo) {
  TSong song(2);
  WriteTrackName("control", song.Events(0), 0, kTpm);
  WriteNote(song.Events(1), 1, 60, 0, 480);
  WriteNote(song.Events(1), 1, 62, 480, 960);
  WriteNote(song.Events(1), 1, 64, 1920, 2400);
  WriteNote(song.Events(2), 2, 48, 240, 1440);
  song.Finish(2400);
  Play(song);

  const std::vector<TNoteSeen> expected = {
      {0, true, 0, 60},       {250, true, 1, 48},  {500, false, 0, 60}, {500, true, 0, 62},
      {1000, false, 0, 62},   {1500, false, 1, 48}, {2000, true, 0, 64}, {2500, false, 0, 64},
  };
  EXPECT_EQ(Notes(), expected);
  EXPECT_TRUE(GPlayer.Finished);
  EXPECT_FALSE(GPlayer.Playing);
  EXPECT_EQ(GMidiFile.Division, 480);
  EXPECT_EQ(GPlayer.Position, 2400);
  EXPECT_DOUBLE_EQ(GPlayer.FirstNoteTime, 0);
  // The end: every channel reset at once, the device 50 ms later.
  const auto messages = Recording().Messages();
  ASSERT_EQ(messages.back().Kind, TRecordedKind::Reset);
  EXPECT_DOUBLE_EQ(Microseconds(messages.back().TimeMs), 2550);
  EXPECT_EQ(SentAt(2500).size(), 1u + 16 * 3);
  ExpectEveryNoteEnds();
}

// The control track of a rendered song holds only its start and its end: the position
// follows the events sent, whichever track they come from.
TEST_F(PlayerTest, PositionIsTheTickOfTheLastEventSent) {
  TSong song(1);
  for (uint32_t beat = 0; beat < 8; ++beat) {
    WriteNote(song.Events(1), 1, 60 + static_cast<int>(beat), beat * 480, beat * 480 + 240);
  }
  song.Finish(2 * kTpm);
  // Sampled between events: 480 ticks last 500 ms.
  std::map<double, int32_t> seen;
  for (double at : {100.0, 375.0, 1150.0, 3700.0}) {
    clock_.At(at, [&seen, at] { seen[at] = GPlayer.Position.load(); });
  }
  Play(song);

  const std::map<double, int32_t> expected = {
      {100.0, 0}, {375.0, 240}, {1150.0, 960}, {3700.0, 3360}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(GPlayer.Position, 2 * static_cast<int32_t>(kTpm));
}

// The change comes from the song's tempo event or, as a request, from another thread.
class PlayerTempoTest : public PlayerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PlayerTempoTest, ATempoChangeStretchesTheWaitInProgress) {
  const bool requested = GetParam();
  TSong song(1);
  if (requested) {
    clock_.At(1000, [] { RequestPlayerTempo(1000000); });
  } else {
    WriteTempo(song.Events(0), 960, kTpm, 60);  // at 1000 ms: half the speed
  }
  WriteNote(song.Events(1), 1, 60, 0, 1920);   // its wait is in progress at the change
  WriteNote(song.Events(1), 1, 62, 2400, 2880);
  song.Finish(2880);
  Play(song);

  // 960 ticks at 120 (1000 ms), then 960 ticks at 60 (2000 ms).
  const std::vector<TNoteSeen> expected = {
      {0, true, 0, 60}, {3000, false, 0, 60}, {4000, true, 0, 62}, {5000, false, 0, 62}};
  EXPECT_EQ(Notes(), expected);
  EXPECT_EQ(GLastPlayerTempo, 1000000u);
  ExpectEveryNoteEnds();
}

INSTANTIATE_TEST_SUITE_P(EventOrRequest, PlayerTempoTest, ::testing::Bool());

TEST_F(PlayerTest, APauseOfThreeSecondsShiftsEveryPendingEvent) {
  TSong song(1);
  for (uint32_t i = 0; i < 4; ++i) {
    WriteNote(song.Events(1), 1, 60 + static_cast<int>(i), i * 480, i * 480 + 240);
  }
  song.Finish(1920);
  clock_.At(600, [] { SetPlayerPause(true); });
  clock_.At(3600, [] { SetPlayerPause(false); });
  Play(song);

  const std::vector<TNoteSeen> expected = {
      {0, true, 0, 60},     {250, false, 0, 60},  {500, true, 0, 61},   {3750, false, 0, 61},
      {4000, true, 0, 62},  {4250, false, 0, 62}, {4500, true, 0, 63},  {4750, false, 0, 63},
  };
  EXPECT_EQ(Notes(), expected);
  // The pause silenced every channel when it began.
  const auto at_pause = SentAt(600);
  ASSERT_EQ(at_pause.size(), 32u);
  EXPECT_EQ(at_pause[0], (Bytes{0xB0, 120, 0}));
  EXPECT_EQ(at_pause[1], (Bytes{0xB0, 123, 0}));
  ExpectEveryNoteEnds();
}

TEST_F(PlayerTest, APauseThatEndsPlayingEndsTheThread) {
  TSong song(1);
  WriteNote(song.Events(1), 1, 60, 0, 480);
  WriteNote(song.Events(1), 1, 62, 4800, 5280);
  song.Finish(5280);
  clock_.At(100, [] { SetPlayerPause(true); });
  clock_.At(200, [] {
    GPlayer.Playing = false;
    PlaybackClock().Wake();
  });
  Play(song);
  EXPECT_EQ(Notes().size(), 1u);
  EXPECT_FALSE(GPlayer.Finished);
  ExpectEveryNoteEnds();
}

TEST_F(PlayerTest, ASeekReplaysSilentlyAndSendsTheChannelStateAgain) {
  TSong song(1);
  TTrackRuntime& music = song.Events(1);
  WriteController(0, 1, 1, music, 0, kTpm);   // bank 1
  WriteProgramChange(41, 1, music, 0, kTpm);  // viola
  WriteController(7, 100, 1, music, 0, kTpm);
  for (uint32_t k = 0; k < 20; ++k) {  // a note each second: key 40 + k at k s
    WriteNoteOn(40 + static_cast<int>(k), music.KeyOnVelocity[(40 + static_cast<int>(k)) & 0x7F], 1, music, k * 960, kTpm);
    if (k == 0) {
      WritePitchBend(1, music, 480, kTpm, 70);  // coarse 70
    }
    WriteNoteOff(40 + static_cast<int>(k), music.KeyOffVelocity[(40 + static_cast<int>(k)) & 0x7F], 1, music, k * 960 + 480, kTpm);
    if (k == 4) {
      WriteController(10, 20, 1, music, 4800, kTpm);
    }
  }
  song.Finish(20 * 960);
  clock_.At(2200, [] { RequestPlayerSeek(10000); });
  Play(song);

  const auto notes = Notes();
  std::vector<int> keys_on;
  for (const auto& n : notes) {
    if (n.On) {
      keys_on.push_back(n.Key);
      // Song time 10 s continues at 2.2 s of the clock.
      const double expected_ms = n.Key < 43 ? (n.Key - 40) * 1000.0 : (n.Key - 40) * 1000.0 - 7800;
      EXPECT_DOUBLE_EQ(n.TimeMs, expected_ms) << n;
    }
  }
  // Nothing sounded for the part skipped (keys 43..49).
  const std::vector<int> expected_keys = {40, 41, 42, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59};
  EXPECT_EQ(keys_on, expected_keys);

  // At the seek: silence, the silent replay's program change, the reset, then the state.
  const auto at_seek = SentAt(2200);
  const std::vector<Bytes> state = {{0xB0, 0, 1},  {0xC0, 41},    {0xB0, 7, 100},
                                    {0xB0, 10, 20}, {0xE0, 0, 70}, {0x90, 50, 81}};
  ASSERT_GE(at_seek.size(), state.size());
  EXPECT_EQ(std::vector<Bytes>(at_seek.end() - static_cast<long>(state.size()), at_seek.end()),
            state);
  EXPECT_EQ(at_seek[0], (Bytes{0xB0, 120, 0}));  // silence first
  EXPECT_FALSE(GPlayer.Seek);
  EXPECT_FALSE(GPlayer.Silent);
  ExpectEveryNoteEnds();
}

TEST_F(PlayerTest, StopEndsPlaybackAndResetsEveryChannel) {
  TSong song(1);
  for (uint32_t k = 0; k < 10; ++k) {
    WriteNote(song.Events(1), 1, 60, k * 960, k * 960 + 900);
  }
  song.Finish(9600);
  clock_.At(1200, [] { RequestPlayerStop(); });
  Play(song);

  const std::vector<TNoteSeen> expected = {
      {0, true, 0, 60}, {937.5, false, 0, 60}, {1000, true, 0, 60}};
  EXPECT_EQ(Notes(), expected);
  EXPECT_FALSE(GPlayer.Finished);
  EXPECT_FALSE(GPlayer.Playing);
  EXPECT_EQ(SentAt(1200).size(), 16u * 3);
  EXPECT_EQ(Recording().Messages().back().Kind, TRecordedKind::Reset);
  ExpectEveryNoteEnds();
}

// However late the new thread runs, a stop requested once Start has returned holds.
TEST_F(PlayerTest, AStopRightAfterTheStartHoldsBeforeTheThreadRuns) {
  TSong song(1);
  WriteNote(song.Events(1), 1, 60, 0, 480);
  song.Finish(480);
  ASSERT_TRUE(PreparePlayback(song.Head(), song.Count(), kTpm));
  std::promise<void> release;
  SetPlayerThreadRunner([ran = release.get_future().share()](const std::function<void()>& body) {
    ran.wait();
    body();
  });
  GPlayerThread.Start(song.Head());
  RequestPlayerStop();
  release.set_value();
  GPlayerThread.Join();
  EXPECT_TRUE(Notes().empty());
  EXPECT_FALSE(GPlayer.Finished);
  EXPECT_FALSE(GPlayer.Playing);
}

TEST_F(PlayerTest, WaitsForARenderThatIsStillWriting) {
  TSong song(1);
  TTrackRuntime& music = song.Events(1);
  WriteNoteOn(60, music.KeyOnVelocity[60], 1, music, 0, kTpm);
  WriteEndOfTrack(song.Events(0), 0, kTpm);
  song.Events(0).Events.MarkComplete();
  // The rest comes while the player waits, later than the note off is due.
  clock_.At(700, [&music] {
    WriteNoteOff(60, music.KeyOffVelocity[60], 1, music, 480, kTpm);
    WriteNote(music, 1, 62, 960, 1440);
    WriteEndOfTrack(music, 1440, kTpm);
    music.Events.MarkComplete();
  });
  Play(song);

  const std::vector<TNoteSeen> expected = {
      {0, true, 0, 60}, {700, false, 0, 60}, {1000, true, 0, 62}, {1500, false, 0, 62}};
  EXPECT_EQ(Notes(), expected);
  EXPECT_TRUE(GPlayer.Finished);
}

TEST_F(PlayerTest, AListThatEndsWithoutItsEndOfTrackStopsPlayback) {
  TSong song(2);
  WriteNote(song.Events(1), 1, 60, 0, 480);
  song.Events(1).Events.MarkComplete();  // no end-of-track: the render was stopped
  WriteNote(song.Events(2), 2, 70, 0, 4800);
  WriteEndOfTrack(song.Events(2), 4800, kTpm);
  song.Events(2).Events.MarkComplete();
  WriteEndOfTrack(song.Events(0), 0, kTpm);
  song.Events(0).Events.MarkComplete();
  Play(song);
  EXPECT_FALSE(GPlayer.Finished);
  for (const auto& n : Notes()) {
    EXPECT_LE(n.TimeMs, 500) << n;
  }
  ExpectEveryNoteEnds();
}

TEST_F(PlayerTest, SpeaksTextEventsThatBeginWithALineBreak) {
  TSong song(1);
  WriteTrackName("\nnot a text event", song.Events(1), 0, kTpm);
  WriteTextEvent("\nFirst", song.Events(1), 0, kTpm);
  WriteTextEvent("plain text", song.Events(1), 480, kTpm);
  WriteTextEvent("\x0bSecond", song.Events(1), 960, kTpm);
  WriteTextEvent("\n", song.Events(1), 960, kTpm);
  song.Finish(960);
  Play(song);
  EXPECT_EQ(speech_->Said(), (std::vector<std::string>{"I:First", "I:Second"}));
}

TEST_F(PlayerTest, AClosedPortIsError18AndNothingPlays) {
  GLastMidiOut = 1;  // port 1 was never opened
  TSong song(1);
  WriteNote(song.Events(1), 1, 60, 0, 480);
  song.Finish(480);
  Play(song);
  const TErrors error = GErrors.Get();
  EXPECT_EQ(error.Code, 18);
  EXPECT_EQ(error.Text, "Midi out hardvare");
  EXPECT_EQ(error.Source, 2);
  EXPECT_EQ(Recording().Size(), 0u);
  EXPECT_FALSE(GPlayer.Playing);
}

TEST_F(PlayerTest, TracksPlayOnTheirOwnPorts) {
  GLastMidiOut = 1;
  GMidiOutDevices[1] = 1;
  ASSERT_TRUE(OpenMidiOuts(0));
  TSong song(2);
  song.Track(2).MidiOut = 1;
  WriteNote(song.Events(1), 1, 60, 0, 480);
  WriteNote(song.Events(2), 2, 70, 0, 480);
  song.Finish(480);
  Recording().Clear();
  recorder_->Recording(1)->Clear();
  Play(song);
  EXPECT_EQ(Notes().front(), (TNoteSeen{0, true, 0, 60}));
  bool second_port_played = false;
  for (const auto& m : recorder_->Recording(1)->ShortMessages()) {
    second_port_played |= m.Bytes == Bytes{0x91, 70, 81};
  }
  EXPECT_TRUE(second_port_played);
  GMidiOutDevices[1] = 0;
}

// The signature of the song's first note counts before the one the head last wrote; the
// division is the song's own, also where a MIDI file holds no more than 32767.
TEST(PreparePlayback, TicksPerQuarterFollowTheTimeSignature) {
  struct Case {
    int32_t tpm;
    uint8_t numerator, denominator;  // last written by the head
    uint8_t firstNumerator, firstDenominator;  // of the first note; 0: it carries none
    uint32_t division;
  };
  const std::vector<Case> cases = {
      {1920, 4, 4, 0, 0, 480}, {1920, 3, 4, 0, 0, 640}, {1920, 6, 8, 0, 0, 640},
      {96, 4, 4, 0, 0, 24},    {1, 4, 4, 0, 0, 1},      {1000000, 1, 1, 0, 0, 250000},
      {1920, 4, 4, 3, 4, 640}, {1920, 3, 4, 12, 8, 320}, {65535, 4, 4, 1, 4, 65535},
  };
  for (const auto& c : cases) {
    TTreck head;
    RuntimeOf(head).TimeSigNumerator = c.numerator;
    RuntimeOf(head).TimeSigDenominator = c.denominator;
    if (c.firstNumerator != 0) {
      head.NoteList = std::make_shared<TNoteList>();
      head.NoteList->First = head.NoteList->NewNote();
      head.NoteList->First->Signature = TSignatureRec{c.firstNumerator, c.firstDenominator, 0};
    }
    ASSERT_TRUE(PreparePlayback(&head, 3, c.tpm));
    EXPECT_EQ(GMidiFile.Division, c.division) << c.tpm << " " << int(c.numerator) << "/"
                                              << int(c.denominator) << " first "
                                              << int(c.firstNumerator);
    EXPECT_EQ(GMidiFile.TrackCount, 3);
    EXPECT_EQ(GMidiFile.Format, 1);
  }
  EXPECT_EQ(GPlayer.FileName, "qem.mid");
  EXPECT_FALSE(PreparePlayback(nullptr, 1, 1920));
}

TEST_F(PlayerTest, StopPlaybackStopsTheRenderFirstSoNoPlayerOutlivesIt) {
  SetPlaybackClock(nullptr);  // the player must really be waiting when the stop comes
  TSong song(1);
  WriteNote(song.Events(1), 1, 60, 0, 480 * 100);
  song.Finish(480 * 100);
  ASSERT_TRUE(PreparePlayback(song.Head(), song.Count(), kTpm));
  GPlayerOwner = 7;
  bool render_stopped = false;
  // A render that starts the player as it ends, the way a render at its last tick does.
  SetRenderStopper([&] {
    GPlayerThread.Start(song.Head());
    render_stopped = true;
  });
  StopPlayback(3);  // not the owner
  EXPECT_FALSE(render_stopped);
  EXPECT_EQ(GPlayerOwner, 7);
  StopPlayback(7);
  EXPECT_TRUE(render_stopped);
  EXPECT_EQ(GPlayerOwner, 0);
  EXPECT_FALSE(GPlayerThread.Running());
  SetRenderStopper(nullptr);
}

TEST_F(PlayerTest, OnTheSteadyClockAStopEndsALongWait) {
  SetPlaybackClock(nullptr);
  auto recorder = std::make_shared<TMidiRecorderBackend>(
      SteadyClock(), std::vector<TRecorderPortOptions>{{"steady"}});
  SetMidiBackends({recorder});
  GMidiOutDeviceList.clear();
  ASSERT_TRUE(OpenMidiOuts(0));
  TSong song(1);
  WriteNote(song.Events(1), 1, 60, 0, 480);
  WriteNote(song.Events(1), 1, 62, 480 * 120 * 60, 480 * 120 * 60 + 10);  // an hour later
  song.Finish(480 * 120 * 60 + 10);
  ASSERT_TRUE(PreparePlayback(song.Head(), song.Count(), kTpm));
  GPlayerThread.Start(song.Head());
  while (recorder->Recording(0)->ShortMessages().size() < 16 + 1) {  // programs, first note
    std::this_thread::yield();
  }
  GPlayerThread.StopAndJoin();
  EXPECT_FALSE(GPlayerThread.Running());
  EXPECT_EQ(recorder->Recording(0)->Messages().back().Kind, TRecordedKind::Reset);
}


TEST(PlayerOnSynthesizer, RendersTheExpectedPitchesAtTheExpectedTimes) {
  if (kUninstrumentedLibrariesRace) {
    GTEST_SKIP() << "the device library's threads are not instrumented for ThreadSanitizer";
  }
  const TFluidSynthOptions options;
  if (!fs::exists(options.SoundFont)) {
    GTEST_SKIP() << "the General MIDI sound font " << options.SoundFont << " is not installed";
  }
  const fs::path wav =
      fs::temp_directory_path() / ("velto_song_" + std::to_string(getpid()) + ".wav");
  TVirtualClock clock;
  SetPlaybackClock(&clock);
  SetMidiBackends({std::make_shared<TFluidSynthOfflineBackend>(clock, wav.string(), options)});
  GMidiOutDeviceList.clear();
  GLastMidiOut = 0;
  ASSERT_TRUE(OpenMidiOuts(0));

  TSong song(1);
  WriteProgramChange(73, 1, song.Events(1), 0, kTpm);  // flute: a clear fundamental
  const int keys[] = {60, 64, 67, 72};                // C4 E4 G4 C5, half a second each
  for (uint32_t i = 0; i < 4; ++i) {
    WriteNote(song.Events(1), 1, keys[i], i * 480, i * 480 + 430);
  }
  song.Finish(1920);
  ASSERT_TRUE(PreparePlayback(song.Head(), song.Count(), kTpm));
  GPlayerThread.Start(song.Head());
  GPlayerThread.Join();
  CloseMidiOut(0);  // writes the file
  SetMidiBackends({});
  GMidiOutDeviceList.clear();
  SetPlaybackClock(nullptr);

  std::vector<std::pair<double, double>> windows;
  for (int i = 0; i < 4; ++i) {
    windows.emplace_back(i * 0.5 + 0.08, i * 0.5 + 0.4);
  }
  windows.emplace_back(2.6, 2.9);
  TWavWindows measured;
  const TCommandRun run = MeasureWav(wav.string(), windows, measured);
  fs::remove(wav);
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string& output = run.Output;
  for (size_t i = 0; i < 4; ++i) {
    const auto [freq, level] = measured.Windows[i];
    const int key = keys[i];
    const double expected = 440.0 * std::pow(2.0, (key - 69) / 12.0);
    EXPECT_NEAR(freq, expected, expected * 0.03) << "key " << key << "\n" << output;
    EXPECT_GT(level, 200) << "key " << key << " is silent\n" << output;
  }
  const double after = measured.Windows[4].second;
  EXPECT_LT(after, 50) << "sound long after the last note off\n" << output;
}

}  // namespace
