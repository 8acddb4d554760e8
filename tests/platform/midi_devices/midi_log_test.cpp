#include "platform/midi_devices/midi_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/clock.h"
#include "platform/text_lines.h"
#include "tests/support/fifo_watchdog.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(MidiLog, EachMessageIsALineOfMillisecondsAndHexBytes) {
  TTempDir temp;
  const std::string path = temp.File("midi.log");
  TVirtualClock clock;
  clock.Advance(1000);
  TMidiLogBackend backend(path, clock);
  ASSERT_EQ(backend.List().size(), 1u);
  EXPECT_EQ(backend.List()[0].Name, "log");
  auto device = backend.Open(backend.List()[0].Device.Port);
  ASSERT_NE(device, nullptr);
  device->ShortMessage(PackShortMessage(0x90, 60, 100));
  clock.Advance(1012.7);
  device->ShortMessage(PackShortMessage(0xC5, 41, 0));
  const uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  device->LongMessage(sysex, sizeof sysex);
  device->Reset();
  EXPECT_TRUE(device->Close());
  // A device opened again counts from its own opening and appends.
  clock.Advance(2000);
  auto again = backend.Open("log");
  ASSERT_NE(again, nullptr);
  clock.Advance(2005);
  again->ShortMessage(PackShortMessage(0xB9, 123, 0));
  EXPECT_EQ(ReadTextLines(path).value(),
            (std::vector<std::string>{"0 90 3C 64", "12 C5 29", "12 F0 7E 7F 09 01 F7", "5 B9 7B 00"}));

  EXPECT_EQ(backend.Open("another port"), nullptr);
  TMidiLogBackend unwritable(temp.File("missing/midi.log"), clock);
  EXPECT_EQ(unwritable.Open("log"), nullptr);
}

// What the log cannot be: refused at once with its reason, never waited on.
TEST(MidiLog, AFifoWithoutAReaderAFolderOrADeviceIsRefusedWithItsReason) {
  TTempDir temp;
  const std::string fifo = temp.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TVirtualClock clock;
  const struct {
    std::string Path;
    std::string Reason;
  } cases[] = {
      {fifo, "no program reads from this FIFO"},
      {temp.Path(), "Is a directory"},
      {"/dev/full", "not a regular file or a FIFO"},
      {"/dev/null", "not a regular file or a FIFO"},
      {temp.File("missing/midi.log"), "No such file or directory"},
  };
  TFifoWatchdog watchdog({fifo});
  for (const auto& c : cases) {
    TMidiLogBackend backend(c.Path, clock);
    EXPECT_EQ(backend.Open("log"), nullptr) << c.Path;
    EXPECT_EQ(backend.Problem(), c.Path + ": " + c.Reason);
  }
  EXPECT_TRUE(watchdog.Done()) << "an open waited for a reader of the FIFO";
  EXPECT_TRUE(TakeMidiDeviceFaults().empty());
}

// A FIFO that a program reads takes the lines; when the reader stops reading, and when it
// goes away, the log says so once and takes nothing more, never waiting again.
TEST(MidiLog, AFifoWhoseReaderStopsOrGoesIsAFaultNotedOnce) {
  TTempDir temp;
  const std::string fifo = temp.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TVirtualClock clock;
  TMidiLogBackend backend(fifo, clock);
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto stalled = backend.Open("log");
  ASSERT_NE(stalled, nullptr) << backend.Problem();
  EXPECT_TRUE(stalled->ShortMessage(PackShortMessage(0x90, 60, 100)));
  char line[16] = {};
  ASSERT_EQ(::read(reader, line, sizeof line), 11);
  EXPECT_EQ(std::string(line, 11), "0 90 3C 64\n");

  // Nobody reads now: once the FIFO is full, the line after is given up.
  int sent = 0;
  while (stalled->ShortMessage(PackShortMessage(0x80, 60, 0)) && sent < 1000000) {
    ++sent;
  }
  EXPECT_GT(sent, 0);
  EXPECT_FALSE(stalled->ShortMessage(PackShortMessage(0x80, 60, 0)));
  std::vector<TMidiDeviceFault> faults = TakeMidiDeviceFaults();
  ASSERT_EQ(faults.size(), 1u) << "said once, not for every message";
  EXPECT_EQ(faults[0].Device, "log");
  EXPECT_EQ(faults[0].Reason, fifo + ": the program reading this FIFO does not read");

  // The reader goes away: EPIPE, not SIGPIPE that would end the program.
  auto gone = backend.Open("log");
  ASSERT_NE(gone, nullptr);
  stalled.reset();
  ::close(reader);
  EXPECT_FALSE(gone->ShortMessage(PackShortMessage(0x90, 62, 100)));
  EXPECT_FALSE(gone->ShortMessage(PackShortMessage(0x80, 62, 0)));
  faults = TakeMidiDeviceFaults();
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].Reason, fifo + ": no program reads from this FIFO any more");
}

TEST(MidiLog, ComesLastInTheDeviceListAndPortZeroStartsOnIt) {
  TTempDir temp;
  ::setenv("VELTO_MIDI_LOG", temp.File("midi.log").c_str(), 1);
  const TMidiBackends withLog = DefaultMidiBackends();
  ::unsetenv("VELTO_MIDI_LOG");
  ASSERT_FALSE(withLog.empty());
  EXPECT_EQ(withLog.back()->Name(), "log");
  EXPECT_NE(DefaultMidiBackends().back()->Name(), "log");

  const std::vector<TMidiOutDeviceItem> devices = {
      {"synth", {"fluidsynth", "synth"}}, {"port", {"rtmidi-alsa", "p"}}, {"log", {"log", "log"}}};
  EXPECT_EQ(StartingMidiOutDevice(devices), 2);
  EXPECT_EQ(StartingMidiOutDevice({devices[0], devices[1]}), 0);
  EXPECT_EQ(StartingMidiOutDevice({}), 0);
}

}  // namespace
