#include "playback/midi_ports.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/errors.h"
#include "platform/midi_devices/midi_recorder.h"
#include "settings/settings.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Ports on recorders: "r0".."r3" on a virtual clock, and "shy", which refuses to open.
class MidiPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPlaybackClock(&clock_);
    recorder_ = std::make_shared<TMidiRecorderBackend>(
        clock_, std::vector<TRecorderPortOptions>{
                    {"r0"}, {"r1"}, {"r2"}, {"r3", false, 2}, {"shy", true, 0}});
    SetMidiBackends({recorder_});
    GMidiOutDeviceList.clear();
    ResetPlayerBooks();
    GErrors.Reset();
    GLastMidiOut = 0;
    GMidiOutDevices.fill(0);
  }

  void TearDown() override {
    for (int port = 0; port < kMidiPortCount; ++port) {
      CloseMidiOut(port);
    }
    ResetPlayerBooks();
    SetMidiBackends({});
    GMidiOutDeviceList.clear();
    GLastMidiOut = 0;
    SetPlaybackClock(nullptr);
  }

  static void ResetPlayerBooks() {
    std::lock_guard<std::mutex> lock(MidiSendLock());
    GPlayer.Channels = {};
    GPlayer.Transpose = 0;
    GPlayer.VelocityOffset = 0;
    GPlayer.SysExMode = 0;
  }

  // Opens port 0 on "r0" and forgets what the opening sent.
  void OpenPortZero() {
    ASSERT_TRUE(OpenMidiOuts(0));
    Recording(0).Clear();
  }

  TMidiRecording& Recording(size_t i) { return *recorder_->Recording(i); }

  // The short messages port `i`'s recorder got.
  std::vector<Bytes> Sent(size_t i) {
    std::vector<Bytes> sent;
    for (const auto& m : Recording(i).ShortMessages()) {
      sent.push_back(m.Bytes);
    }
    return sent;
  }

  TChannelState Books(int channel) {
    std::lock_guard<std::mutex> lock(MidiSendLock());
    return GPlayer.Channels[static_cast<size_t>(channel)];
  }

  TVirtualClock clock_;
  std::shared_ptr<TMidiRecorderBackend> recorder_;
};

TEST_F(MidiPortsTest, DeviceListNamesEveryDeviceInOrder) {
  EXPECT_EQ(EnumMidiOutDevices(), (std::vector<std::string>{"r0", "r1", "r2", "r3", "shy"}));
  ASSERT_EQ(GMidiOutDeviceList.size(), 5u);
  EXPECT_EQ(GMidiOutDeviceList[2].Device.Port, "r2");
}

TEST_F(MidiPortsTest, OpensEachPortOnItsConfiguredDevice) {
  struct Case {
    int32_t last_port;
    int32_t device;
    std::array<int32_t, 3> additional;  // GMidiOutDevices[1..3]
    std::vector<int> opens;             // opens per recorder r0..r3
  };
  const std::vector<Case> cases = {
      {0, 2, {1, 1, 1}, {0, 0, 1, 0}},    // only port 0
      {2, 1, {2, 0, 3}, {1, 1, 1, 0}},    // ports 0, 1, 2 on devices 1, 2, 0
      {1, -4, {-1, 0, 0}, {2, 0, 0, 0}},  // negative items open device 0
  };
  for (const auto& c : cases) {
    SetUp();
    GLastMidiOut = c.last_port;
    std::copy(c.additional.begin(), c.additional.end(), GMidiOutDevices.begin() + 1);
    EXPECT_TRUE(OpenMidiOuts(c.device));
    for (size_t r = 0; r < c.opens.size(); ++r) {
      EXPECT_EQ(recorder_->Opens(r), c.opens[r]) << "recorder " << r << ", last port " << c.last_port;
    }
    for (int port = 0; port < kMidiPortCount; ++port) {
      EXPECT_EQ(MidiOutIsOpen(port), port <= c.last_port) << port;
    }
    TearDown();
  }
}

TEST_F(MidiPortsTest, APortThatFailsStopsTheOpeningWithError18) {
  GLastMidiOut = 2;
  GMidiOutDevices[1] = 4;  // "shy"
  GMidiOutDevices[2] = 2;
  EXPECT_FALSE(OpenMidiOuts(0));
  const TErrors error = GErrors.Get();
  EXPECT_EQ(error.Code, 18);
  EXPECT_EQ(error.Text, "Midi out hardware");
  EXPECT_EQ(error.Extra, 1);
  EXPECT_EQ(error.Source, 2);
  EXPECT_EQ(error.Measure, 1u);
  EXPECT_EQ(error.Voice, 1);
  EXPECT_TRUE(MidiOutIsOpen(0));
  EXPECT_FALSE(MidiOutIsOpen(1));
  EXPECT_FALSE(MidiOutIsOpen(2));
  EXPECT_EQ(recorder_->Opens(2), 0);
}

TEST_F(MidiPortsTest, AnItemIndexOpensOnlyTheDeviceItWasListedFor) {
  EnumMidiOutDevices();
  // The devices change behind the list: r0 is gone and r2 comes first.
  auto changed = std::make_shared<TMidiRecorderBackend>(
      clock_, std::vector<TRecorderPortOptions>{{"r2"}, {"r1"}});
  SetMidiBackends({changed});
  EXPECT_TRUE(OpenMidiOuts(1));
  EXPECT_EQ(changed->Opens(1), 1);  // still "r1"
  EXPECT_EQ(changed->Opens(0), 0);
  EXPECT_FALSE(OpenMidiOuts(0));  // "r0" is not opened as "r2"
  EXPECT_EQ(GErrors.Get().Code, 18);
  EXPECT_EQ(changed->Opens(0), 0);
  EXPECT_FALSE(OpenMidiOuts(9));  // past the list
  EXPECT_EQ(GErrors.Get().Extra, 0);
}

TEST_F(MidiPortsTest, ClosingResetsTheChannelsAndTheDevice) {
  OpenPortZero();
  SendNote(0, true, 60, 3, 100);
  CloseMidiOut(0);
  EXPECT_FALSE(MidiOutIsOpen(0));
  EXPECT_EQ(Books(3).SoundingCount, 0);
  const auto messages = Recording(0).Messages();
  ASSERT_EQ(messages.size(), 1u + 16 * 3 + 2);
  EXPECT_EQ(messages[1].Bytes, (Bytes{0xB0, 120, 0}));
  EXPECT_EQ(messages[2].Bytes, (Bytes{0xB0, 121, 0}));
  EXPECT_EQ(messages[3].Bytes, (Bytes{0xB0, 123, 0}));
  EXPECT_EQ(messages[48].Bytes, (Bytes{0xBF, 123, 0}));
  EXPECT_EQ(messages[49].Kind, TRecordedKind::Reset);
  EXPECT_EQ(messages[50].Kind, TRecordedKind::Close);
  CloseMidiOut(0);  // a closed port: nothing happens
  EXPECT_EQ(Recording(0).Size(), messages.size());
}

TEST_F(MidiPortsTest, ARefusedCloseIsRetried200MsApartThenAbandoned) {
  struct Case {
    int refusals;
    int attempts;
    double waited_ms;
  };
  for (const Case& c : {Case{2, 3, 400}, Case{100, 11, 2000}}) {
    auto stubborn = std::make_shared<TMidiRecorderBackend>(
        clock_, std::vector<TRecorderPortOptions>{{"s", false, c.refusals}});
    SetMidiBackends({stubborn});
    GMidiOutDeviceList.clear();
    ASSERT_TRUE(OpenMidiOuts(0));
    const double start = clock_.NowMs();
    CloseMidiOut(0);
    EXPECT_EQ(stubborn->CloseAttempts(0), c.attempts);
    EXPECT_DOUBLE_EQ(clock_.NowMs() - start, c.waited_ms);
    EXPECT_FALSE(MidiOutIsOpen(0));
  }
}

TEST_F(MidiPortsTest, NoteBooksCountEachHeldKeyOnce) {
  OpenPortZero();
  SendNote(0, true, 60, 0, 90);
  SendNote(0, true, 60, 0, 80);
  EXPECT_EQ(Books(0).SoundingCount, 1);
  EXPECT_EQ(Books(0).KeyVelocity[60], 80);
  SendNote(0, false, 61, 0, 0);  // not held
  EXPECT_EQ(Books(0).SoundingCount, 1);
  SendNote(0, false, 60, 0, 64);
  EXPECT_EQ(Books(0).SoundingCount, 0);
  EXPECT_EQ(Sent(0), (std::vector<Bytes>{
                         {0x90, 60, 90}, {0x90, 60, 80}, {0x80, 61, 0}, {0x80, 60, 64}}));
}

TEST_F(MidiPortsTest, NoteOnIsShapedByOffsetTranspositionAndDrums) {
  struct Case {
    const char* what;
    int8_t transpose;
    int32_t offset;
    uint8_t sysex_mode;
    uint8_t bank_msb;
    int channel, key, velocity;
    std::vector<Bytes> sent;
    int32_t sounding;
  };
  const std::vector<Case> cases = {
      {"plain", 0, 0, 0, 0, 0, 60, 100, {{0x90, 60, 100}}, 1},
      {"transposed up", 2, 0, 0, 0, 0, 60, 100, {{0x90, 62, 100}}, 1},
      {"drum channel keeps its key", 2, 0, 0, 0, 9, 60, 100, {{0x99, 60, 100}}, 1},
      {"drum kit keeps its key", 2, 0, 0, 127, 4, 60, 100, {{0x94, 60, 100}}, 1},
      {"offset raises", 0, 100, 0, 0, 0, 60, 64, {{0x90, 60, 127}}, 1},
      {"offset to 0 is a release", 0, -100, 0, 0, 0, 60, 64, {{0x90, 60, 0}}, 0},
      {"XG drum kit goes to channel 10", 0, 0, 8, 127, 3, 40, 90, {{0x99, 40, 90}}, 1},
      {"GS drum kit stays", 0, 0, 4, 127, 3, 40, 90, {{0x93, 40, 90}}, 1},
      {"transposed above 127 is dropped", 10, 0, 0, 0, 0, 120, 90, {}, 0},
      {"transposed below 0 is dropped", -5, 0, 0, 0, 0, 2, 90, {}, 0},
      {"key outside the table is dropped", 0, 0, 0, 0, 0, 200, 90, {}, 0},
  };
  for (const auto& c : cases) {
    SetUp();
    OpenPortZero();
    GPlayer.Transpose = c.transpose;
    GPlayer.VelocityOffset = c.offset;
    GPlayer.SysExMode = c.sysex_mode;
    {
      std::lock_guard<std::mutex> lock(MidiSendLock());
      GPlayer.Channels[static_cast<size_t>(c.channel)].BankMsb = c.bank_msb;
    }
    SendNote(0, true, c.key, c.channel, c.velocity);
    EXPECT_EQ(Sent(0), c.sent) << c.what;
    EXPECT_EQ(Books(c.channel).SoundingCount, c.sounding) << c.what;
    TearDown();
  }
}

TEST_F(MidiPortsTest, NoteOffReachesTheKeyThatSoundedAfterTranspositionChanged) {
  OpenPortZero();
  GPlayer.Transpose = 2;
  SendNote(0, true, 60, 0, 100);
  GPlayer.Transpose = 5;
  SendNote(0, false, 60, 0, 0);
  EXPECT_EQ(Sent(0), (std::vector<Bytes>{{0x90, 62, 100}, {0x80, 62, 0}}));
  EXPECT_EQ(Books(0).SoundingCount, 0);
  // With nothing held the note off takes the transposition of now.
  SendNote(0, false, 60, 0, 0);
  EXPECT_EQ(Sent(0).back(), (Bytes{0x80, 65, 0}));
}

TEST_F(MidiPortsTest, AMutedChannelSoundsItsHeldKeysWhenUnmuted) {
  OpenPortZero();
  GPlayer.Transpose = 3;
  GPlayer.VelocityOffset = -10;
  SendNote(0, true, 50, 2, 70);  // sounds before the mute; the mute resets it
  MuteChannel(0, 2, true);
  Recording(0).Clear();
  SendNote(0, true, 60, 2, 100);
  EXPECT_TRUE(Sent(0).empty());
  EXPECT_EQ(Books(2).SoundingCount, 1);
  MuteChannel(0, 2, false);
  // Sounded as booked: transposed and offset once.
  EXPECT_EQ(Sent(0), (std::vector<Bytes>{{0x92, 63, 90}}));
  SendNote(0, false, 60, 2, 0);
  EXPECT_EQ(Sent(0).back(), (Bytes{0x82, 63, 0}));
  EXPECT_EQ(Books(2).SoundingCount, 0);
}

TEST_F(MidiPortsTest, MutingResetsAndUnmutingTheDrumChannelSoundsNothing) {
  OpenPortZero();
  MuteChannel(0, 9, true);
  EXPECT_EQ(Sent(0), (std::vector<Bytes>{{0xB9, 120, 0}, {0xB9, 121, 0}, {0xB9, 123, 0}}));
  SendNote(0, true, 36, 9, 100);
  Recording(0).Clear();
  MuteChannel(0, 9, false);
  EXPECT_TRUE(Sent(0).empty());
  MuteChannel(0, 4, false);  // not muted before: nothing to sound
  EXPECT_TRUE(Sent(0).empty());
}

TEST_F(MidiPortsTest, ResetAndSilenceClearTheBooksAndSendTheirControllers) {
  GLastMidiOut = 1;
  GMidiOutDevices[1] = 1;
  ASSERT_TRUE(OpenMidiOuts(0));
  Recording(0).Clear();
  SendNote(0, true, 60, 5, 100);
  ResetChannel(0, 5);
  EXPECT_EQ(Books(5).SoundingCount, 0);
  EXPECT_EQ(Books(5).KeyVelocity[60], 0);
  SendNote(0, true, 61, 5, 100);
  SilenceChannel(0, 5);
  EXPECT_EQ(Books(5).SoundingCount, 0);
  EXPECT_EQ(Sent(0), (std::vector<Bytes>{{0x95, 60, 100},
                                        {0xB5, 120, 0},
                                        {0xB5, 121, 0},
                                        {0xB5, 123, 0},
                                        {0x95, 61, 100},
                                        {0xB5, 120, 0},
                                        {0xB5, 123, 0}}));
  Recording(0).Clear();
  Recording(1).Clear();
  SilenceAll();
  EXPECT_EQ(Sent(0).size(), 32u);
  ASSERT_EQ(Sent(1).size(), 32u);
  EXPECT_EQ(Sent(1)[31], (Bytes{0xBF, 123, 0}));
  // The books are kept even for a closed port.
  SendNote(7, true, 60, 1, 100);
  EXPECT_EQ(Books(1).SoundingCount, 1);
  ResetPort(7);
  EXPECT_EQ(Books(1).SoundingCount, 0);
}

TEST_F(MidiPortsTest, ProgramControlAndSysExMessages) {
  OpenPortZero();
  SendProgramChange(0, 3, 41);
  SendProgramChange(0, 16, 1);   // refused: no such channel
  SendProgramChange(0, 0, 128);  // refused: no such program
  SendControlChange(0, 4, 0, 127);
  SendShortMessage(0, 0xE1, 0x00, 0x40);
  SendProgramChange(5, 0, 1);  // closed port
  EXPECT_EQ(Sent(0), (std::vector<Bytes>{{0xC3, 41}, {0xB4, 0, 127}, {0xE1, 0x00, 0x40}}));
  EXPECT_EQ(Books(4).BankMsb, 127);
  EXPECT_EQ(Books(4).LastController, 0);
  EXPECT_EQ(Books(4).LastControllerValue, 127);

  const uint8_t gm_on[] = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
  SendSysEx(0, gm_on, sizeof gm_on);
  const auto messages = Recording(0).Messages();
  ASSERT_EQ(messages.back().Kind, TRecordedKind::Long);
  EXPECT_EQ(messages.back().Bytes, (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
}

TEST_F(MidiPortsTest, AuditionsAndThePlayerShareTheBooksSafely) {
  OpenPortZero();
  constexpr int kThreads = 4;
  constexpr int kKeys = 30;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int round = 0; round < 50; ++round) {
        for (int k = 0; k < kKeys; ++k) {
          SendNote(0, true, t * kKeys + k, 0, 100);
        }
        for (int k = 0; k < kKeys; k += 2) {
          SendNote(0, false, t * kKeys + k, 0, 0);
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(Books(0).SoundingCount, kThreads * kKeys / 2);
  EXPECT_EQ(Recording(0).Size(), size_t{kThreads} * 50 * (kKeys + kKeys / 2));
}

TEST(ByteOrder, SwapsWordsAndLongs) {
  EXPECT_EQ(SwapBytes16(0x01E0), 0xE001);
  EXPECT_EQ(SwapBytes32(0x4D546864u), 0x6468544Du);
  EXPECT_EQ(SwapBytes32(SwapBytes32(0x12345678u)), 0x12345678u);
}

}  // namespace
