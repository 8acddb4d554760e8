#include "playback/transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <random>
#include <thread>

#include "platform/clock.h"
#include "platform/midi_devices/midi_recorder.h"
#include "playback/midi_ports.h"
#include "render/snapshot_broker.h"
#include "render/song_preparation.h"
#include "tests/support/render_song_support.h"

namespace {

using namespace rendertest;

std::unique_ptr<TVelto> ShortSong(std::vector<std::string> program = {}) {
  return SongOf({{0, "Общее", {"Vd4m"}, {"tempo 240"}},
                 {1, "A", {"Vd4!PSNQ", "[(k"}, std::move(program)},
                 {2, "B", {"Vd4Ly", "Ly"}, {"instrument 32"}}});
}

// Note-ons and note-offs as the recorder got them: status, key.
std::vector<std::pair<uint8_t, uint8_t>> RecordedNotes(const TMidiRecording& recording) {
  std::vector<std::pair<uint8_t, uint8_t>> out;
  for (const TRecordedMessage& m : recording.ShortMessages()) {
    const uint8_t kind = m.Bytes[0] & 0xF0;
    if ((kind == 0x90 || kind == 0x80) && m.Bytes.size() == 3) {
      const bool on = kind == 0x90 && m.Bytes[2] > 0;
      out.emplace_back(static_cast<uint8_t>((on ? 0x90 : 0x80) | (m.Bytes[0] & 0x0F)), m.Bytes[1]);
    }
  }
  return out;
}

// Plays on a recorder port under a virtual clock, so that playing takes no time.
// A handler "interruption" holds the render until a stop; `holding` is set once it does.
void HoldRenderUntilStopped(std::atomic<bool>& holding, std::atomic<int>* interruptions = nullptr) {
  GHandlerInterruption = [&holding, interruptions](uint8_t, const std::string&, const TTreck&, uint32_t) {
    if (interruptions != nullptr) {
      ++*interruptions;
    }
    holding = true;
    while (!RenderRun().Stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  };
}

void WaitHolding(const std::atomic<bool>& holding) {
  while (!holding) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

class TransportTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    recorder_ = std::make_shared<TMidiRecorderBackend>(clock_, std::vector<TRecorderPortOptions>{{"rec"}});
    SetMidiBackends({recorder_});
    SetPlaybackClock(&clock_);
    EnumMidiOutDevices();
    ASSERT_TRUE(OpenMidiOuts(0));
  }
  void TearDown() override {
    Transport().Stop();
    GPlayer.SysExMode = 0;
    CloseMidiOut(0);
    SetPlaybackClock(nullptr);
    SetMidiBackends({});
    GMidiOutDeviceList.clear();
    RenderTest::TearDown();
  }

  TMidiRecording& Recording() { return *recorder_->Recording(0); }

  TVirtualClock clock_;
  std::shared_ptr<TMidiRecorderBackend> recorder_;
};

TEST_F(TransportTest, PlayRendersThenPlaysEveryNoteOnce) {
  auto song = ShortSong();
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  const TRenderOutcome outcome = Transport().Wait();
  EXPECT_TRUE(outcome.Finished);
  EXPECT_TRUE(outcome.PlayerStarted);
  EXPECT_FALSE(Transport().Busy());
  const auto notes = RecordedNotes(Recording());
  ASSERT_EQ(notes.size(), 14u);
  EXPECT_EQ(notes.front(), (std::pair<uint8_t, uint8_t>{0x90, 60}));
}

// A MIDI file written for XG, loaded by a handler, puts the player in XG mode: the notes
// of a channel that selects bank 127 (a drum kit) sound on channel 10, those of the others
// stay on their channels. The next file read (General MIDI) ends XG mode.
TEST_F(TransportTest, AnXgFileSendsTheNotesOfADrumKitBankToChannel10) {
  const auto noteOnsBy = [this] {
    std::map<uint8_t, int> count;
    for (const auto& [status, key] : RecordedNotes(Recording())) {
      count[status] += (status & 0xF0) == 0x90 ? 1 : 0;
    }
    return count;
  };
  for (const char* file : {"xg.mid", "gm.mid"}) {
    const std::string path = (miditest::CorpusDir() / file).string();
    auto song = SongOf({{0, "Общее", {"Vd4m"}, {"tempo 240"}},
                        {3, "Kit", {"Vd4!PSNQ"}, {"midi mf='" + path + "'", "controller 0 in 127"}},
                        {5, "Piano", {"Vd4!PSNQ"}, {}}});
    Recording().Clear();
    ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
    ASSERT_TRUE(Transport().Wait().Finished);
    const std::map<uint8_t, int> noteOns = noteOnsBy();
    const bool xg = std::string(file) == "xg.mid";
    EXPECT_EQ(static_cast<int>(GPlayer.SysExMode), xg ? 8 : 2);
    const uint8_t kitStatus = xg ? 0x99 : 0x92;
    ASSERT_EQ(noteOns.count(kitStatus), 1u) << file;
    EXPECT_EQ(noteOns.at(kitStatus), 4) << file;
    EXPECT_EQ(noteOns.count(0x94), 1u) << file;
    EXPECT_EQ(noteOns.at(0x94), 4) << file;
    EXPECT_EQ(noteOns.count(xg ? 0x92 : 0x99), 0u) << file;
  }
}

TEST_F(TransportTest, PlayStopsTheRunningRenderBeforePreparingAgain) {
  std::mutex mutex;
  std::condition_variable changed;
  int interruptions = 0;
  GHandlerInterruption = [&](uint8_t, const std::string&, const TTreck&, uint32_t) {
    std::unique_lock<std::mutex> lock(mutex);
    if (++interruptions == 1) {
      changed.notify_all();
      // Held inside the first render until the transport asks it to stop.
      while (!RenderRun().Stop) {
        changed.wait_for(lock, std::chrono::milliseconds(1));
      }
    }
    return false;
  };
  auto song = ShortSong({"960", "interruption hold"});
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return interruptions == 1; });
  }
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  const TRenderOutcome outcome = Transport().Wait();
  EXPECT_TRUE(outcome.Finished);
  EXPECT_EQ(interruptions, 2);
  EXPECT_EQ(RecordedNotes(Recording()).size(), 14u) << "the stopped render played nothing";
}

// Answers nothing: a snapshot window left open until the play is stopped.
class TOpenSnapshots : public ISnapshotPresenter {
 public:
  TOpenSnapshots() {
    AskInterruptionsThroughBroker();
    SnapshotBroker().Attach(this);
  }
  ~TOpenSnapshots() override {
    SnapshotBroker().Attach(nullptr);
    GHandlerInterruption = nullptr;
  }
  void SnapshotAsked() override { ++asked; }
  void SnapshotWithdrawn(uint64_t) override { ++withdrawn; }
  std::atomic<int> asked{0};
  std::atomic<int> withdrawn{0};
};

TEST_F(TransportTest, StopWhileASnapshotWindowIsOpenEndsTheRender) {
  TOpenSnapshots window;
  auto song = ShortSong({"960", "interruption look"});
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  while (!SnapshotBroker().Waiting()) {
    std::this_thread::yield();
  }
  Transport().Stop();  // a hang here is the fault
  EXPECT_FALSE(Transport().Busy());
  EXPECT_FALSE(SnapshotBroker().Waiting());
  EXPECT_EQ(window.asked, 1);
  EXPECT_EQ(window.withdrawn, 1);
  EXPECT_TRUE(RecordedNotes(Recording()).empty()) << "the stopped render played nothing";
}

TEST_F(TransportTest, APlayStartedWhileASnapshotWindowIsOpenReplacesIt) {
  TOpenSnapshots window;
  auto song = ShortSong({"960", "interruption look"});
  for (int play = 1; play <= 2; ++play) {
    ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
    while (window.asked < play || !SnapshotBroker().Waiting()) {
      std::this_thread::yield();
    }
  }
  EXPECT_EQ(window.withdrawn, 1);
  Transport().Stop();
  EXPECT_EQ(window.withdrawn, 2);
}

// The window's export waits for its render on the window thread: nothing could answer.
TEST_F(TransportTest, AnExportGoesOnThroughInterruptions) {
  TOpenSnapshots window;
  auto song = ShortSong({"960", "interruption look"});
  std::string error;
  ASSERT_TRUE(Transport().Export(*song, exportFile_.string(), &error)) << error;
  EXPECT_EQ(window.asked, 0);
}

TEST_F(TransportTest, EveryPlaySetsItsTickLimit) {
  auto song = ShortSong();
  TPlayOptions oneMeasure;
  oneMeasure.TickLimit = 1920;
  ASSERT_TRUE(Transport().Play(*song, oneMeasure));
  EXPECT_EQ(Transport().Wait().Ticks, 1920u);
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  EXPECT_GT(Transport().Wait().Ticks, 1920u);
}

TEST_F(TransportTest, RePlaySendsTheSameEventsAgain) {
  auto song = ShortSong();
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  Transport().Wait();
  const auto first = RecordedNotes(Recording());
  Recording().Clear();
  ASSERT_TRUE(Transport().RePlay(*song));
  Transport().Wait();
  EXPECT_EQ(RecordedNotes(Recording()), first);
}

// A render stopped on its way leaves lists without their ends: nothing to play again.
TEST_F(TransportTest, RePlayNeedsARenderThatRanToItsEnd) {
  std::atomic<bool> holding{false};
  HoldRenderUntilStopped(holding);
  auto song = ShortSong({"960", "interruption hold"});
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  WaitHolding(holding);
  Transport().Stop();
  GHandlerInterruption = nullptr;
  EXPECT_FALSE(Transport().RePlayable(*song));
  EXPECT_FALSE(Transport().RePlay(*song));
}

TEST_F(TransportTest, RealTimePlayerStartsOnceTheRenderIsAheadAndHearsTheSameNotes) {
  auto song = ShortSong();
  std::string error;
  ASSERT_TRUE(Transport().Export(*song, exportFile_.string(), &error)) << error;
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  Transport().Wait();
  const auto preRendered = RecordedNotes(Recording());
  Recording().Clear();

  GModeRealPlaying = true;
  GStartPlayingOffset = 960;
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  const TRenderOutcome outcome = Transport().Wait();
  ASSERT_TRUE(outcome.Finished);
  EXPECT_TRUE(outcome.PlayerStarted);
  EXPECT_EQ(outcome.PlayerStartTick, 961u) << "once the clock passes the start + 960";
  EXPECT_EQ(RecordedNotes(Recording()), preRendered);
  int keepAlive = 0;
  for (const TRecordedMessage& m : Recording().ShortMessages()) {
    keepAlive += (m.Bytes[0] & 0xF0) == 0xB0 && m.Bytes.size() == 3 && m.Bytes[1] == 2 ? 1 : 0;
  }
  EXPECT_GE(keepAlive, 2 * 3) << "a controller 2 every 960 ticks on each music track";
}

TEST_F(TransportTest, RealTimeWithoutOffsetNeverDividesByZero) {
  GModeRealPlaying = true;
  GStartPlayingOffset = 0;
  auto song = ShortSong();
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  EXPECT_TRUE(Transport().Wait().Finished);
  EXPECT_EQ(RecordedNotes(Recording()).size(), 14u);
}

// Answers the untranslated-text question as a window whose modal loop sees Stop pressed,
// on the asking thread or on another; meanwhile a second play is refused, not awaited.
class TStopDuringQuestion : public IPreparationWindow {
 public:
  TStopDuringQuestion(TVelto& song, bool fromOtherThread) : song_(song), other_(fromOtherThread) {}
  bool ConfirmConversion(const std::string&) override {
    ++Asked;
    if (other_) {
      std::thread([] { Transport().Stop(); }).join();
    } else {
      Transport().Stop();
    }
    SecondPlay = Transport().Play(song_, TPlayOptions{});
    return true;
  }
  int Asked = 0;
  bool SecondPlay = true;

 private:
  TVelto& song_;
  bool other_;
};

TEST_F(TransportTest, StopPressedDuringAQuestionCancelsThePlayWithoutDeadlock) {
  for (bool fromOtherThread : {false, true}) {
    // "y" is what the translator's rules spell: typed as it is, the translator did not make it.
    auto song = SongOf({{0, "Общее", {"Vd4m"}, {"translator Solfeggio"}}, {1, "A", {"!y"}, {}}});
    TStopDuringQuestion window(*song, fromOtherThread);
    TPlayOptions options;
    options.Window = &window;
    EXPECT_FALSE(Transport().Play(*song, options));
    EXPECT_EQ(window.Asked, 1);
    EXPECT_FALSE(window.SecondPlay);
    EXPECT_FALSE(Transport().Busy());
    EXPECT_TRUE(RecordedNotes(Recording()).empty());
  }
}

TEST_F(TransportTest, AStopRequestedBeforeTheRenderStartsHolds) {
  auto song = ShortSong();
  RenderRun().Stop = true;
  const TRenderOutcome outcome = Render(*song);
  EXPECT_TRUE(outcome.Stopped);
  EXPECT_EQ(outcome.Ticks, 0u);
}

TEST_F(TransportTest, RemovingATrackStopsWhatPlaysIt) {
  auto song = ShortSong();
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  PTreck second = TrackAt(*song, 2);
  song->RemoveTreck(second);
  EXPECT_FALSE(Transport().Busy());
  EXPECT_FALSE(GPlayerThread.Running());
}

// Random plays, stops, replays, exports and track removals from two threads: every
// command stops and joins what runs first, so nothing reads a freed track and no thread
// is left behind.
TEST_F(TransportTest, RandomCommandsLeaveNoThreadBehind) {
  std::mt19937 random(20261206);
  auto song = ShortSong();
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    while (!done) {
      Transport().Stop();
      std::this_thread::yield();
    }
  });
  for (int step = 0; step < 60; ++step) {
    switch (random() % 7) {
      case 0:
      case 1: {
        TPlayOptions options;
        options.TickLimit = random() % 2 == 0 ? 0 : 960;
        GModeRealPlaying = random() % 2 == 0;
        Transport().Play(*song, options);
        break;
      }
      case 2:
        Transport().Stop();
        break;
      case 3:
        Transport().RePlay(*song);
        break;
      case 4:
        Transport().Export(*song, exportFile_.string());
        break;
      case 5:
        if (song->TrackCount > 2) {
          PTreck last = TrackAt(*song, song->TrackCount - 1);
          song->RemoveTreck(last);
        } else {
          song = ShortSong();
        }
        break;
      default:
        Transport().Wait();
        break;
    }
  }
  done = true;
  stopper.join();
  Transport().Stop();
  EXPECT_FALSE(Transport().Busy());
  EXPECT_FALSE(GPlayerThread.Running());
}


TEST_F(TransportTest, WorkRunHereHoldsEveryOtherPlayOffAndSeesAStop) {
  std::atomic<int> interruptions{0};
  std::atomic<bool> holding{false};
  HoldRenderUntilStopped(holding, &interruptions);
  auto song = ShortSong({"960", "interruption hold"});
  ASSERT_TRUE(Transport().Play(*song, TPlayOptions{}));
  WaitHolding(holding);
  TPlayOptions options;
  options.Voice = 2;
  bool ran = false;
  const bool done = Transport().RunHere(*song, options, [&](const TTransport::TStopQuery& stopped) {
    ran = true;
    EXPECT_EQ(interruptions, 1) << "the running render was stopped and joined first";
    EXPECT_FALSE(GHandlerInterruption) << "an interruption reached here goes on at once";
    EXPECT_EQ(RenderRun().Voice, 2);
    EXPECT_TRUE(Transport().Busy());
    EXPECT_FALSE(Transport().Play(*song, TPlayOptions{})) << "nothing else renders meanwhile";
    EXPECT_FALSE(stopped());
    Transport().Stop();
    EXPECT_TRUE(stopped());
    return true;
  });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(done);
  EXPECT_TRUE(GHandlerInterruption) << "put back afterwards";
  EXPECT_FALSE(Transport().Busy());
  EXPECT_FALSE(Transport().RePlay(*song)) << "the lists rendered before are not played again";
  GHandlerInterruption = nullptr;
}

}  // namespace
