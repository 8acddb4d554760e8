#include "midi/midi_event_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "render/track_runtime.h"
#include "tests/support/midi_test_support.h"

namespace {

using miditest::AllBytes;
using miditest::Bytes;

struct VarLenCase {
  uint32_t Value;
  Bytes Expected;
};

TEST(MidiEventWriter, VariableLengthQuantities) {
  const VarLenCase cases[] = {
      {0, {0x00}},
      {127, {0x7F}},
      {128, {0x81, 0x00}},
      {1920, {0x8F, 0x00}},
      {0x3FFF, {0xFF, 0x7F}},
      {0x4000, {0x81, 0x80, 0x00}},
      {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
      {0x200000, {0x81, 0x80, 0x80, 0x00}},
      {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
      {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},  // four bytes at most
  };
  for (const VarLenCase& c : cases) {
    TTrackRuntime rt;
    WriteVarLen(c.Value, rt);
    EXPECT_EQ(AllBytes(rt), c.Expected) << c.Value;
  }
}

constexpr uint32_t kTpm = 1920;

struct EventCase {
  const char* Name;
  std::function<void(TTrackRuntime&)> Write;
  Bytes Expected;
};

// Writes note-ons of the keys at the tick on the channel.
void On(TTrackRuntime& rt, std::initializer_list<int> keys, int channel, uint32_t tick = 0) {
  for (int key : keys) {
    WriteNoteOn(key, rt.KeyOnVelocity[key & 0x7F], channel, rt, tick, kTpm);
  }
}

std::vector<EventCase> EventCases() {
  using R = TTrackRuntime;
  return {
      {"first event has no delta", [](R& rt) { WriteTrackName("Bass", rt, 0, kTpm); },
       {0xFF, 0x03, 0x04, 'B', 'a', 's', 's'}},
      {"note on after note on keeps running status", [](R& rt) { On(rt, {60, 64}, 1); },
       {0x90, 60, 81, 0x00, 64, 81}},
      {"note off after note on writes its status",
       [](R& rt) {
         On(rt, {60}, 2);
         WriteNoteOff(60, rt.KeyOffVelocity[60], 2, rt, 480, kTpm);
         On(rt, {62}, 2, 480);
       },
       {0x91, 60, 81, 0x83, 0x60, 0x81, 60, 81, 0x00, 0x91, 62, 81}},
      {"a meta event forces the status byte",
       [](R& rt) { On(rt, {60}, 1), WriteTextEvent("x", rt, 0, kTpm), On(rt, {62}, 1); },
       {0x90, 60, 81, 0x00, 0xFF, 0x01, 0x01, 'x', 0x00, 0x90, 62, 81}},
      {"another channel forces the status byte",
       [](R& rt) { WriteController(7, 100, 1, rt, 0, kTpm), WriteController(7, 100, 2, rt, 0, kTpm); },
       {0xB0, 7, 100, 0x00, 0xB1, 7, 100}},
      {"opening events of a music track on channel 3",
       [](R& rt) {
         WriteTrackName("P", rt, 3840, kTpm);
         WritePitchBend(3, rt, 3840, kTpm, 64);
         WriteController(7, 112, 3, rt, 3840, kTpm);
         WriteController(11, 112, 3, rt, 3840, kTpm);
         WriteController(10, 64, 3, rt, 3840, kTpm);
       },
       {0xFF, 0x03, 0x01, 'P', 0x00, 0xE2, 0x00, 0x40, 0x00, 0xB2, 0x07, 0x70, 0x00, 0x0B, 0x70,
        0x00, 0x0A, 0x40}},
      {"pitch bend 8192", [](R& rt) { WritePitchBend(1, rt, 0, kTpm, 8192); }, {0xE0, 0x40, 0x00}},
      {"pitch bend 64 + 128 * 5, fraction cut",
       [](R& rt) { WritePitchBend(16, rt, 0, kTpm, 704.9L); }, {0xEF, 0x05, 0x40}},
      {"program change and poly pressure",
       [](R& rt) { WriteProgramChange(19, 10, rt, 0, kTpm), WritePolyPressure(60, 33, 10, rt, 0, kTpm); },
       {0xC9, 19, 0x00, 0xA9, 60, 33}},
      {"tempo 120", [](R& rt) { WriteTempo(rt, 0, kTpm, 120); }, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},
      // Kept on purpose: a tempo event is three bytes in every MIDI file, whatever the tempo.
      {"tempo 1000 still three bytes", [](R& rt) { WriteTempo(rt, 0, kTpm, 1000); },
       {0xFF, 0x51, 0x03, 0x00, 0xEA, 0x60}},
      {"tempo 2 is kept to the slowest", [](R& rt) { WriteTempo(rt, 0, kTpm, 2); },
       {0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF}},
      {"tempo 0 is the slowest", [](R& rt) { WriteTempo(rt, 0, kTpm, 0); },
       {0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF}},
      {"tempo 1e9 is the fastest", [](R& rt) { WriteTempo(rt, 0, kTpm, 1e9L); },
       {0xFF, 0x51, 0x03, 0x00, 0x00, 0x01}},
      {"time signature 6/8", [](R& rt) { WriteTimeSignature(6, 8, rt, 0, kTpm); },
       {0xFF, 0x58, 0x04, 0x06, 0x03, 0x0C, 0x08}},
      {"time signature 5/6 rounds the exponent down", [](R& rt) { WriteTimeSignature(5, 6, rt, 0, kTpm); },
       {0xFF, 0x58, 0x04, 0x05, 0x02, 0x18, 0x08}},
      {"end of track", [](R& rt) { On(rt, {60}, 1), WriteEndOfTrack(rt, 1920, kTpm); },
       {0x90, 60, 81, 0x8F, 0x00, 0xFF, 0x2F, 0x00}},
      {"no channel event for the control track or channel 17",
       [](R& rt) {
         On(rt, {60}, 0);
         WriteController(7, 1, 17, rt, 0, kTpm);
         WritePitchBend(-1, rt, 0, kTpm, 64);
         WriteTrackName("", rt, 100, kTpm);
       },
       {0xFF, 0x03, 0x00}},
      // Kept on purpose: a data byte with bit 7 set would be read as a status byte.
      {"data bytes keep their low seven bits",
       [](R& rt) {
         WriteController(135, 200, 1, rt, 0, kTpm);
         WriteProgramChange(130, 1, rt, 0, kTpm);
         WriteNoteOff(188, rt.KeyOffVelocity[188 & 0x7F], 1, rt, 0, kTpm);
       },
       {0xB0, 7, 72, 0x00, 0xC0, 2, 0x00, 0x80, 60, 81}},
      {"velocities are clamped, halves to even",
       [](R& rt) {
         rt.KeyOnVelocity[60] = 300;
         rt.KeyOnVelocity[61] = -4;
         rt.KeyOnVelocity[62] = 64.5L;
         On(rt, {60, 61, 62}, 1);
       },
       {0x90, 60, 127, 0x00, 61, 0, 0x00, 62, 64}},
      {"a track name of 200 bytes carries its length as a quantity",
       [](R& rt) { WriteTrackName(std::string(2, 'n'), rt, 0, kTpm), WriteTrackName(std::string(200, 'n'), rt, 0, kTpm); },
       [] {
         Bytes b = {0xFF, 0x03, 0x02, 'n', 'n', 0x00, 0xFF, 0x03, 0x81, 0x48};
         b.insert(b.end(), 200, 'n');
         return b;
       }()},
  };
}

TEST(MidiEventWriter, EventBytes) {
  for (const EventCase& c : EventCases()) {
    TTrackRuntime rt;
    c.Write(rt);
    EXPECT_EQ(AllBytes(rt), c.Expected) << c.Name;
    EXPECT_EQ(rt.Events.Published(), rt.Events.Size()) << c.Name;
  }
}

TEST(MidiEventWriter, DeltaAloneIsNotPublished) {
  TTrackRuntime rt;
  WriteNoteOn(60, rt.KeyOnVelocity[60], 1, rt, 0, kTpm);
  const size_t published = rt.Events.Published();
  WriteDeltaTime(rt, 960, kTpm);
  EXPECT_GT(rt.Events.Size(), published);
  EXPECT_EQ(rt.Events.Published(), published);
}

// Deltas of a list: the first event has none.
std::vector<uint32_t> Deltas(const TTrackRuntime& rt) {
  std::vector<uint32_t> deltas;
  uint8_t running = 0;
  const size_t end = rt.Events.Published();
  for (size_t pos = 0; pos < end;) {
    TMidiEvent ev;
    EXPECT_EQ(ParseMidiEvent(TMidiByteListSource{rt.Events}, pos, end, pos > 0, running, ev, nullptr),
              TMidiParse::Event);
    deltas.push_back(ev.Delta);
    pos = ev.Next;
  }
  return deltas;
}

TEST(MidiEventWriter, WithoutRandomisationDeltasAreTickDifferences) {
  TTrackRuntime rt;
  const uint32_t ticks[] = {3840, 3840, 3900, 5760, 5761, 100000};
  rt.LastEventTick = 3840;
  for (uint32_t t : ticks) {
    WriteNoteOn(60, rt.KeyOnVelocity[60], 1, rt, t, kTpm);
  }
  EXPECT_EQ(Deltas(rt), (std::vector<uint32_t>{0, 0, 60, 1860, 1, 94239}));
}

TEST(MidiEventWriter, TickBeforeTheLastEventLandsWithIt) {
  TTrackRuntime rt;
  WriteNoteOn(60, rt.KeyOnVelocity[60], 1, rt, 1000, kTpm);
  WriteNoteOn(61, rt.KeyOnVelocity[61], 1, rt, 400, kTpm);   // out of order: no 4-billion delta
  WriteNoteOn(62, rt.KeyOnVelocity[62], 1, rt, 1480, kTpm);  // measured from 1000
  EXPECT_EQ(Deltas(rt), (std::vector<uint32_t>{0, 0, 480}));
}

// A simple repeatable sequence of ticks with chords (equal ticks) and gaps.
std::vector<uint32_t> TickSequence(uint32_t seed, int count) {
  std::vector<uint32_t> ticks;
  uint32_t t = 0;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const uint32_t step = (seed >> 24) % 5;
    t += step == 0 ? 0 : (step == 1 ? 1 : (seed >> 8) % 700);
    ticks.push_back(t);
  }
  return ticks;
}

// With randomisation every event lands at its tick + the offset the writer keeps (so no
// delta was cut at 0), events of one tick land together, and after a long rest the carry
// is given back in full.
TEST(MidiEventWriter, RandomisedPositionsKeepOrderAndGiveBackTheCarry) {
  for (int32_t amplitude : {1, 10, 240, 960, 5000}) {
    for (uint32_t seed : {1u, 7u, 99u}) {
      TTrackRuntime rt;
      rt.PositionRnd = amplitude;
      std::vector<uint32_t> ticks = TickSequence(seed, 400);
      std::vector<int64_t> landed;
      bool carried = false;
      for (uint32_t t : ticks) {
        WriteNoteOn(60, rt.KeyOnVelocity[60], 1, rt, t, kTpm);
        carried = carried || rt.HumanizeCarry != 0;
        landed.push_back(static_cast<int64_t>(t) + rt.HumanizeOffset);
        if (landed.size() > 1 && ticks[landed.size() - 1] == ticks[landed.size() - 2]) {
          EXPECT_EQ(landed.back(), landed[landed.size() - 2]);
        }
      }
      // Two events after long rests, where the sine is at its top: the first takes back the
      // carry, the second lands exactly at its displacement.
      const uint32_t top = (ticks.back() / (2 * kTpm) + 20) * 2 * kTpm + kTpm / 2;
      for (uint32_t t : {top, top + 40 * kTpm}) {
        WriteNoteOn(60, rt.KeyOnVelocity[60], 1, rt, t, kTpm);
        landed.push_back(static_cast<int64_t>(t) + rt.HumanizeOffset);
        EXPECT_EQ(rt.HumanizeCarry, 0) << amplitude << " " << seed;
      }
      EXPECT_EQ(rt.HumanizeOffset, amplitude) << amplitude << " " << seed;
      if (amplitude >= 960) {
        EXPECT_TRUE(carried) << "the sequence never held a displacement back";
      }
      const std::vector<uint32_t> deltas = Deltas(rt);
      int64_t time = landed.front();
      for (size_t i = 1; i < deltas.size(); ++i) {
        time += deltas[i];
        ASSERT_EQ(time, landed[i]) << "amplitude " << amplitude << " seed " << seed << " event " << i;
      }
    }
  }
}

}  // namespace
