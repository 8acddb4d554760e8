#include "platform/midi_devices/midi_device.h"

#include <gtest/gtest.h>

#include "tests/support/sanitizers.h"

#include "tests/support/run_command.h"
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>

#include "platform/clock.h"
#include "platform/midi_devices/midi_fluidsynth.h"
#include "platform/midi_devices/midi_recorder.h"
#include "platform/midi_devices/midi_rtmidi.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;


TEST(ShortMessage, PacksAndUnpacksByKind) {
  struct Case {
    uint8_t status, d1, d2;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {0x90, 60, 100, {0x90, 60, 100}},  // note on
      {0x83, 60, 0, {0x83, 60, 0}},      // note off
      {0xC5, 41, 99, {0xC5, 41}},        // program change: one data byte
      {0xD0, 7, 0, {0xD0, 7}},           // channel pressure
      {0xE1, 0x00, 0x40, {0xE1, 0x00, 0x40}},
      {0xB0, 200, 255, {0xB0, 200 & 0x7F, 0x7F}},  // data bytes keep 7 bits
      {0xF8, 1, 2, {0xF8}},                        // clock: no data
      {0xF3, 5, 0, {0xF3, 5}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnpackShortMessage(PackShortMessage(c.status, c.d1, c.d2)), c.bytes)
        << std::hex << int(c.status);
  }
  EXPECT_EQ(PackShortMessage(0x90, 60, 100), 0x90u + 60u * 256u + 100u * 65536u);
}

TEST(Recorder, StampsEveryMessageWithTheClock) {
  TVirtualClock clock;
  auto backend = std::make_shared<TMidiRecorderBackend>(
      clock, std::vector<TRecorderPortOptions>{{"one"}, {"two"}});
  auto device = backend->Open("two");
  ASSERT_NE(device, nullptr);
  device->ShortMessage(PackShortMessage(0x90, 60, 90));
  clock.Advance(12.5);
  const uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  device->LongMessage(sysex, sizeof sysex);
  device->Reset();
  EXPECT_TRUE(device->Close());

  const auto messages = backend->Recording(1)->Messages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0].Bytes, (std::vector<uint8_t>{0x90, 60, 90}));
  EXPECT_DOUBLE_EQ(messages[0].TimeMs, 0);
  EXPECT_EQ(messages[1].Kind, TRecordedKind::Long);
  EXPECT_EQ(messages[1].Bytes.size(), sizeof sysex);
  EXPECT_DOUBLE_EQ(messages[1].TimeMs, 12.5);
  EXPECT_EQ(messages[2].Kind, TRecordedKind::Reset);
  EXPECT_EQ(messages[3].Kind, TRecordedKind::Close);
  EXPECT_EQ(backend->Recording(0)->Size(), 0u);
}

TEST(Recorder, RefusesAsConfigured) {
  TVirtualClock clock;
  TMidiRecorderBackend backend(clock, {{"shy", true, 0}, {"stubborn", false, 2}});
  EXPECT_EQ(backend.Open("shy"), nullptr);
  EXPECT_EQ(backend.Open("absent"), nullptr);
  auto device = backend.Open("stubborn");
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(device->Close());
  EXPECT_FALSE(device->Close());
  EXPECT_TRUE(device->Close());
  EXPECT_EQ(backend.CloseAttempts(1), 3);
}

TEST(DeviceList, KeepsBackendOrderAndOpensByIdentity) {
  TVirtualClock clock;
  auto first = std::make_shared<TMidiRecorderBackend>(
      clock, std::vector<TRecorderPortOptions>{{"a"}, {"b"}});
  auto second = std::make_shared<TMidiRecorderBackend>(
      clock, std::vector<TRecorderPortOptions>{{"c"}});
  SetMidiBackends({first, second});
  const auto items = ListMidiOutDevices();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].Name, "a");
  EXPECT_EQ(items[2].Name, "c");
  // Both backends share a name: the first one answers for it.
  auto device = OpenMidiOutDevice(items[1].Device);
  ASSERT_NE(device, nullptr);
  device->ShortMessage(PackShortMessage(0xC0, 5, 0));
  EXPECT_EQ(first->Recording(1)->Size(), 1u);
  EXPECT_EQ(OpenMidiOutDevice({"no such backend", "a"}), nullptr);
  SetMidiBackends({});
}

TEST(DeviceList, DefaultStartsWithTheBuiltInSynthesizer) {
  const auto backends = DefaultMidiBackends();
  ASSERT_FALSE(backends.empty());
  EXPECT_EQ(backends[0]->Name(), "fluidsynth");
  if (!fs::exists(TFluidSynthOptions().SoundFont)) {
    GTEST_SKIP() << "the General MIDI sound font is not installed";
  }
  const auto items = backends[0]->List();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].Device.Backend, "fluidsynth");
  EXPECT_EQ(backends[0]->Problem(), "");
}

TEST(DeviceList, TheSynthesizerIsListedOnlyWhenItsSoundFontLoads) {
  const TFluidSynthOptions standard;
  if (!fs::exists(standard.SoundFont)) {
    GTEST_SKIP() << "the General MIDI sound font " << standard.SoundFont << " is not installed";
  }
  TTempDir temp;
  {
    std::ofstream(temp.File("junk.sf2")) << "not a sound font";
    // The head of a real sound font: it looks like one and cannot be loaded.
    std::ifstream real(standard.SoundFont, std::ios::binary);
    std::string head(4096, '\0');
    real.read(head.data(), static_cast<std::streamsize>(head.size()));
    std::ofstream(temp.File("cut.sf2"), std::ios::binary) << head;
  }
  struct Case {
    std::string soundFont;
    std::string problem;
  };
  const std::vector<Case> cases = {
      {temp.File("missing.sf2"), "sound font " + temp.File("missing.sf2") + ": No such file or directory"},
      {temp.File("junk.sf2"), "sound font " + temp.File("junk.sf2") + " is not a SoundFont file"},
      {temp.File("cut.sf2"), "sound font " + temp.File("cut.sf2") + " cannot be loaded"},
  };
  for (const Case& c : cases) {
    TFluidSynthOptions options;
    options.SoundFont = c.soundFont;
    auto backend = std::make_shared<TFluidSynthBackend>(options);
    EXPECT_TRUE(backend->List().empty()) << c.soundFont;
    EXPECT_EQ(backend->Problem(), c.problem);
    EXPECT_EQ(backend->Open("synth"), nullptr);
    EXPECT_EQ(backend->Problem(), c.problem);
    SetMidiBackends({backend});
    EXPECT_EQ(MidiOutDeviceProblem(nullptr), c.problem);
    SetMidiBackends({});
  }
}


TEST(OfflineSynth, RendersTheNotesItIsSentIntoAWavFile) {
  if (kUninstrumentedLibrariesRace) {
    GTEST_SKIP() << "the device library's threads are not instrumented for ThreadSanitizer";
  }
  const TFluidSynthOptions options;
  if (!fs::exists(options.SoundFont)) {
    GTEST_SKIP() << "the General MIDI sound font " << options.SoundFont << " is not installed";
  }
  const fs::path wav = fs::temp_directory_path() / ("velto_offline_" + std::to_string(getpid()) + ".wav");
  TVirtualClock clock;
  TFluidSynthOfflineBackend backend(clock, wav.string());
  auto synth = backend.Open("synth");
  ASSERT_NE(synth, nullptr);
  synth->ShortMessage(PackShortMessage(0xC0, 0, 0));  // piano
  synth->ShortMessage(PackShortMessage(0x90, 69, 110));  // A 440 Hz
  clock.Advance(600);
  synth->ShortMessage(PackShortMessage(0x80, 69, 0));
  clock.Advance(1000);
  ASSERT_TRUE(synth->Close());

  TWavWindows measured;
  const TCommandRun run = MeasureWav(wav.string(), {{0.05, 0.45}, {2.2, 10.0}}, measured);
  fs::remove(wav);
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const double seconds = measured.Seconds;
  const auto [freq, rms_note] = measured.Windows[0];
  const double rms_late = measured.Windows[1].second;
  EXPECT_NEAR(seconds, 1.0 + options.TailMs / 1000, 0.05);  // clock at the close + the tail
  EXPECT_NEAR(freq, 440, 440 * 0.03);
  EXPECT_GT(rms_note, 300);
  EXPECT_LT(rms_late, rms_note / 20);
}

// A JACK server on the dummy backend under a name of its own, stopped at the end.
class TDummyJackServer {
 public:
  TDummyJackServer() : name_("velto_test_" + std::to_string(getpid())) {
    if (access("/usr/bin/jackd", X_OK) != 0) {
      return;
    }
    // The server keeps its metadata under "default" whatever its name, and stops at
    // the first client when that folder is missing.
    std::error_code ignored;
    fs::create_directories("/dev/shm/jack-" + std::to_string(getuid()) + "/default", ignored);
    signal(SIGPIPE, SIG_IGN);
    pid_ = fork();
    if (pid_ == 0) {
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execl("/usr/bin/jackd", "jackd", "-n", name_.c_str(), "-r", "-d", "dummy", "-r", "48000",
            "-p", "256", static_cast<char*>(nullptr));
      _exit(127);
    }
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    // The server is up once its socket folder exists.
    const fs::path sockets = "/dev/shm/jack-" + std::to_string(getuid()) + "/" + name_;
    for (int attempt = 0; attempt < 100 && !fs::exists(sockets); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~TDummyJackServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    unsetenv("JACK_DEFAULT_SERVER");
  }
  bool Started() const { return pid_ > 0; }

 private:
  std::string name_;
  pid_t pid_ = -1;
};

// Opens a monitor port on the interface, retrying while a server starts.
std::unique_ptr<TRtMidiMonitor> OpenMonitor(const std::string& api, std::string* error) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (auto monitor = TRtMidiMonitor::Open(api, "velto-monitor", error)) {
      return monitor;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return nullptr;
}

// Sends through the backend's output port that reaches the monitor.
void CheckOutputReachesMonitor(TMidiBackend& backend, TRtMidiMonitor& monitor) {
  TMidiOutDeviceItem target;
  for (const auto& item : backend.List()) {
    if (item.Device.Port.find("velto-monitor") != std::string::npos) {
      target = item;
    }
  }
  ASSERT_FALSE(target.Device.Port.empty()) << "the monitor port is not listed";
  auto device = backend.Open(target.Device.Port);
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(device->ShortMessage(PackShortMessage(0x90, 64, 77)));
  const uint8_t sysex[] = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
  ASSERT_TRUE(device->LongMessage(sysex, sizeof sysex));
  ASSERT_TRUE(device->ShortMessage(PackShortMessage(0x80, 64, 0)));
  const auto received = monitor.WaitForMessages(3, 5000);
  EXPECT_TRUE(device->Close());
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0], (std::vector<uint8_t>{0x90, 64, 77}));
  EXPECT_EQ(received[1], std::vector<uint8_t>(sysex, sysex + sizeof sysex));
  EXPECT_EQ(received[2], (std::vector<uint8_t>{0x80, 64, 0}));
}

TEST(RtMidiPorts, AlsaSequencerCarriesMessages) {
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) {
    GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing)";
  }
  std::string error;
  auto monitor = TRtMidiMonitor::Open("alsa", "velto-monitor", &error);
  ASSERT_NE(monitor, nullptr) << error;
  TRtMidiBackend backend("alsa");
  CheckOutputReachesMonitor(backend, *monitor);
}

TEST(RtMidiPorts, JackCarriesMessages) {
  if (kUninstrumentedLibrariesRace) {
    GTEST_SKIP() << "the device library's threads are not instrumented for ThreadSanitizer";
  }
  TDummyJackServer server;
  if (!server.Started()) {
    GTEST_SKIP() << "no JACK server to start (/usr/bin/jackd is missing)";
  }
  std::string error;
  auto monitor = OpenMonitor("jack", &error);
  if (monitor == nullptr) {
    GTEST_SKIP() << "the JACK dummy server did not come up: " << error;
  }
  TRtMidiBackend backend("jack");
  CheckOutputReachesMonitor(backend, *monitor);
}

}  // namespace
