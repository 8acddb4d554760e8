#include "render/render_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "feedback/signals.h"
#include "feedback/speech.h"
#include "platform/key_state.h"
#include "platform/speech_signals/sound_player.h"
#include "platform/speech_signals/speech_output.h"
#include "tests/support/render_song_support.h"

namespace {

using namespace rendertest;

// Four measures of quarter notes C D E F | G A B C | ... in 4/4 on channel 3.
std::unique_ptr<TVelto> ScaleSong(std::vector<std::string> program = {"instrument 5"}) {
  return SongOf({{0, "Общее", {"Vd4m"}, {}},
                 {3, "Мелодия", {"Vd4!PSNQ", "TOwP", "NQTO", "[(k"}, std::move(program)}});
}

std::vector<TEventAt> NoteOns(const TTreck& track) {
  std::vector<TEventAt> out;
  for (const TEventAt& e : EventsOf(track)) {
    if (e.Event.Kind() == 0x90 && e.Event.Data2 > 0) {
      out.push_back(e);
    }
  }
  return out;
}

int CountMeta(const TTreck& track, uint8_t type) {
  int n = 0;
  for (const TEventAt& e : EventsOf(track)) {
    n += e.Event.IsMeta() && e.Event.MetaType == type ? 1 : 0;
  }
  return n;
}

class RenderThreadTest : public RenderTest {};

TEST_F(RenderThreadTest, ListsOpenWithNoticeNameAndChannelDefaults) {
  auto song = ScaleSong();
  const TRenderOutcome outcome = Render(*song);
  ASSERT_TRUE(outcome.Finished);
  const miditest::Bytes control = miditest::AllBytes(*song->HeadTreck->Runtime);
  const std::string notice = RenderNoticeText();
  ASSERT_TRUE(notice.starts_with("VELTO v."));
  miditest::Bytes head = {0xFF, 0x02, static_cast<uint8_t>(notice.size())};
  head.insert(head.end(), notice.begin(), notice.end());
  head.insert(head.end(), {0x00, 0xFF, 0x03});
  ASSERT_GE(control.size(), head.size());
  EXPECT_EQ(miditest::Bytes(control.begin(), control.begin() + head.size()), head);

  const std::string name = Utf8ToCp1251("Мелодия").Text;
  miditest::Bytes music = {0xFF, 0x03, static_cast<uint8_t>(name.size())};
  music.insert(music.end(), name.begin(), name.end());
  music.insert(music.end(), {0x00, 0xE2, 0x00, 0x40, 0x00, 0xB2, 0x07, 0x70, 0x00, 0x0B, 0x70,
                             0x00, 0x0A, 0x40});
  const miditest::Bytes track = miditest::AllBytes(*TrackAt(*song, 1)->Runtime);
  ASSERT_GE(track.size(), music.size());
  EXPECT_EQ(miditest::Bytes(track.begin(), track.begin() + music.size()), music);
}

TEST_F(RenderThreadTest, WholeSongHasEveryNoteEndedAndEndOfTrack) {
  auto song = ScaleSong();
  const TRenderOutcome outcome = Render(*song);
  ASSERT_TRUE(outcome.Finished);
  EXPECT_TRUE(outcome.Exported);
  EXPECT_FALSE(GRendering);
  const TTreck& melody = *TrackAt(*song, 1);
  const std::vector<TEventAt> ons = NoteOns(melody);
  ASSERT_EQ(ons.size(), 13u);
  EXPECT_EQ(ons[0].Event.Data1, 60);
  EXPECT_EQ(ons[1].Tick - ons[0].Tick, 480u);
  EXPECT_EQ(ons[12].Event.Data1, 79);
  EXPECT_EQ(ons[12].Tick, 3u * 1920u);
  const TNoteCount notes = NotesOf(melody);
  EXPECT_EQ(notes.On, notes.Off);
  EXPECT_TRUE(EndsWithEndOfTrack(melody));
  EXPECT_TRUE(EndsWithEndOfTrack(*song->HeadTreck));
  EXPECT_TRUE(std::filesystem::exists(exportFile_));
}

struct TStartCase {
  const char* Name;
  uint16_t FromMeasure;
  uint32_t TickLimit;
  size_t NoteOns;
  uint8_t FirstKey;
  bool LimitReached;
};

void PrintTo(const TStartCase& c, std::ostream* os) { *os << c.Name; }

class RenderStartTable : public RenderTest, public ::testing::WithParamInterface<TStartCase> {};

// Where a render starts and where it stops; sounding keys always get their note-offs.
TEST_P(RenderStartTable, StartsAndStopsWhereAsked) {
  const TStartCase& c = GetParam();
  auto song = ScaleSong();
  const TRenderOutcome outcome = Render(*song, c.FromMeasure, c.TickLimit);
  ASSERT_TRUE(outcome.Finished) << int(GErrors.Code());
  const TTreck& melody = *TrackAt(*song, 1);
  const std::vector<TEventAt> ons = NoteOns(melody);
  ASSERT_EQ(ons.size(), c.NoteOns);
  EXPECT_EQ(ons.front().Event.Data1, c.FirstKey);
  EXPECT_EQ(ons.front().Tick, 0u) << "the first note opens the list";
  const TNoteCount notes = NotesOf(melody);
  EXPECT_EQ(notes.On, notes.Off);
  EXPECT_TRUE(EndsWithEndOfTrack(melody));
  if (c.LimitReached) {
    EXPECT_EQ(outcome.Ticks, c.TickLimit);
  }
  EXPECT_EQ(RenderRun().StartMeasure.load(), c.FromMeasure == 0 ? 1 : c.FromMeasure);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderStartTable,
    ::testing::Values(TStartCase{"FromTheStart", 1, 0, 13, 60, false},
                      TStartCase{"MeasureZeroIsMeasureOne", 0, 0, 13, 60, false},
                      TStartCase{"FromMeasureThree", 3, 0, 5, 76, false},
                      TStartCase{"OneMeasureOfTicks", 1, 1920, 4, 60, true},
                      TStartCase{"LimitEndsInsideANote", 4, 100, 1, 79, true}),
    [](const ::testing::TestParamInfo<TStartCase>& info) { return std::string(info.param.Name); });

TEST_F(RenderThreadTest, TempoEventOnlyWhenTheTempoChanges) {
  auto song = ScaleSong({"tempo 90", "3840..3840", "tempo 60", "3841..99999", "tempo 60"});
  ASSERT_TRUE(Render(*song).Finished);
  std::vector<TEventAt> tempos;
  for (const TEventAt& e : EventsOf(*song->HeadTreck)) {
    if (e.Event.IsMeta() && e.Event.MetaType == 0x51) {
      tempos.push_back(e);
    }
  }
  ASSERT_EQ(tempos.size(), 2u);
  EXPECT_EQ(tempos[1].Tick - tempos[0].Tick, 3840u);
  const auto micro = [](const TEventAt& e) {
    return (uint8_t(e.Text[0]) << 16) | (uint8_t(e.Text[1]) << 8) | uint8_t(e.Text[2]);
  };
  EXPECT_EQ(micro(tempos[0]), 666666);
  EXPECT_EQ(micro(tempos[1]), 1000000);
}

TEST_F(RenderThreadTest, EveryRenderWritesItsOwnTempo) {
  auto song = ScaleSong({"tempo 90"});
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(Render(*song).Finished);
    EXPECT_EQ(CountMeta(*song->HeadTreck, 0x51), 1) << "render " << run;
  }
}

// While Shift is held the render waits at its start; releasing Shift lets it run to the
// end, a stop request ends it there.
TEST_F(RenderThreadTest, HoldingShiftHoldsTheRenderBack) {
  for (const bool release : {true, false}) {
    auto song = ScaleSong();
    KeyState().SetShiftHeld(true);
    constexpr uint32_t kNotStarted = 12345;
    GRenderPosition = kNotStarted;  // the render's start sets the clock to 0
    TRenderOutcome outcome;
    std::atomic<bool> ended{false};
    std::thread render([&] {
      outcome = Render(*song);
      ended = true;
    });
    while (GRenderPosition == kNotStarted && !ended) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(GRenderPosition.load(), 0u) << "no tick while Shift is held";
    if (release) {
      KeyState().SetShiftHeld(false);
    }
    // A render that has not started yet clears the stop request: it is asked again.
    while (!release && !ended) {
      RenderRun().Stop = true;
      KeyState().Wake();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    render.join();
    KeyState().SetShiftHeld(false);
    EXPECT_EQ(outcome.Finished, release);
    EXPECT_EQ(outcome.Stopped, !release);
    EXPECT_EQ(outcome.Ticks > 0, release) << outcome.Ticks;
  }
}

TEST_F(RenderThreadTest, StopLeavesListsUnfinishedButNoKeySounding) {
  auto song = ScaleSong({"1920", "interruption stop here"});
  GHandlerInterruption = [](uint8_t, const std::string&, const TTreck&, uint32_t) {
    RenderRun().Stop = true;
    return false;
  };
  const TRenderOutcome outcome = Render(*song);
  EXPECT_TRUE(outcome.Stopped);
  EXPECT_FALSE(outcome.Exported);
  EXPECT_FALSE(outcome.PlayerStarted);
  const TTreck& melody = *TrackAt(*song, 1);
  EXPECT_FALSE(EndsWithEndOfTrack(melody));
  EXPECT_FALSE(EndsWithEndOfTrack(*song->HeadTreck));
  const TNoteCount notes = NotesOf(melody);
  EXPECT_EQ(notes.On, 5);
  EXPECT_EQ(notes.On, notes.Off);
  EXPECT_TRUE(melody.Runtime->Events.IsComplete());
}

TEST_F(RenderThreadTest, HandlerErrorEndsTheRenderAndNothingIsWritten) {
  auto song = ScaleSong({"960", "error stopped \"1\""});
  const TRenderOutcome outcome = Render(*song);
  EXPECT_FALSE(outcome.Finished);
  EXPECT_FALSE(outcome.Exported);
  EXPECT_EQ(GErrors.Code(), 25);
  EXPECT_TRUE(GRendering) << "a failed render counts as running for the stop command";
  EXPECT_FALSE(std::filesystem::exists(exportFile_));
}

TEST_F(RenderThreadTest, JumpContinuesTheListWithoutLosingTime) {
  // At the start of measure 3 the song jumps back to measure 2 once.
  auto song = ScaleSong({"variable jumped", "3840", "if jumped==0 then", "let jumped=1",
                         "positionsong 1920", "endif"});
  ASSERT_TRUE(Render(*song).Finished) << int(GErrors.Code());
  const std::vector<TEventAt> ons = NoteOns(*TrackAt(*song, 1));
  ASSERT_EQ(ons.size(), 17u);
  for (size_t i = 1; i < 16; ++i) {
    EXPECT_EQ(ons[i].Tick - ons[i - 1].Tick, 480u) << i;
  }
  EXPECT_EQ(ons[8].Event.Data1, ons[4].Event.Data1) << "measure 2 once more";
}

// Speech and signal outputs that keep what they were given.
class TSpeechRecord : public TSpeechOutput {
 public:
  void Say(const std::string& utf8, bool) override {
    std::lock_guard<std::mutex> lock(mutex);
    said.push_back(utf8);
  }
  void Cancel() override {}
  std::mutex mutex;
  std::vector<std::string> said;
};

class TSignalRecord : public TSoundPlayer {
 public:
  bool Play(const std::string&, std::string_view) override {
    ++played;
    return true;
  }
  std::atomic<int> played{0};
};

TEST_F(RenderThreadTest, ProgressEveryFrequencyTicksAndNeverWithFrequencyZero) {
  auto speech = std::make_shared<TSpeechRecord>();
  auto signals = std::make_shared<TSignalRecord>();
  SetSpeechOutput(speech);
  SetSoundPlayer(signals);
  SignalProgress = true;
  auto song = ScaleSong();  // four measures of 1920 ticks
  GProgressFrequency = 1920;
  ASSERT_TRUE(Render(*song).Finished);
  const int withFrequency = signals->played;
  EXPECT_EQ(speech->said, (std::vector<std::string>{"25%", "50%", "75%", "100%"})) << "the end told once";
  EXPECT_EQ(withFrequency, 4);
  // A frequency that does not divide the length: the end is told once the clock passes it.
  speech->said.clear();
  GProgressFrequency = 1000;
  ASSERT_TRUE(Render(*song).Finished);
  EXPECT_EQ(speech->said, (std::vector<std::string>{"13%", "26%", "39%", "52%", "65%", "78%", "91%", "100%"}));
  EXPECT_EQ(signals->played - withFrequency, 8);
  const int withOddFrequency = signals->played;
  GProgressFrequency = 0;
  ASSERT_TRUE(Render(*song).Finished);
  EXPECT_LE(signals->played - withOddFrequency, 2) << "only once the clock passes the song length";
  SetSpeechOutput(nullptr);
  SetSoundPlayer(nullptr);
}

}  // namespace
