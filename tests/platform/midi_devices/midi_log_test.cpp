#include "platform/midi_devices/midi_log.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/clock.h"
#include "platform/text_lines.h"
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
