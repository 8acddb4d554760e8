#include "midi/midi_file_reader.h"
#include "render/handler_midi_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "render/track_runtime.h"
#include "tests/support/midi_test_support.h"

namespace {

using miditest::Bytes;
using miditest::CorpusDir;
using miditest::ReadBytes;

std::string Corpus(const std::string& name) {
  return (CorpusDir() / name).string();
}

TMidiFile Load(const std::string& name) {
  TMidiFile file;
  std::string error;
  EXPECT_TRUE(LoadMidiFile(Corpus(name), file, error)) << name << ": " << error;
  return file;
}

// Files mido wrote: our reader sees the same format, track count, division, notes, tempos
// and track ends as mido, and has nothing to warn about.
TEST(MidiFileReader, AgreesWithMidoOnTheCorpus) {
  for (const char* name : {"format0.mid", "format1.mid", "format2.mid", "gs.mid", "xg.mid",
                           "gm.mid", "mt32.mid", "long_header.mid", "odd_meta.mid"}) {
    const TMidiFile file = Load(name);
    const std::string mido = miditest::MidoSummary(CorpusDir() / name);
    ASSERT_EQ(mido.rfind("format", 0), 0u) << name << ": " << mido;
    EXPECT_EQ(miditest::ReaderSummary(file), mido) << name;
    EXPECT_EQ(file.Tracks.size(), file.TrackCount) << name;
    EXPECT_TRUE(file.Warnings.empty()) << name;
  }
}

// A RIFF wrapper and junk before the header: the same file as format1.mid.
TEST(MidiFileReader, FindsTheHeaderInsideRiffAndAfterJunk) {
  const std::string plain = miditest::ReaderSummary(Load("format1.mid"));
  for (const char* name : {"riff.mid", "junk100.mid", "junk1019.mid"}) {
    EXPECT_EQ(miditest::ReaderSummary(Load(name)), plain) << name;
  }
}

TEST(MidiFileReader, DetectsTheInstrumentStandard) {
  const std::pair<const char*, uint8_t> cases[] = {
      {"format1.mid", kSysExUnknown}, {"gm.mid", kSysExGM},   {"gs.mid", kSysExGS},
      {"xg.mid", kSysExXG},           {"mt32.mid", kSysExMT32}};
  for (const auto& [name, mode] : cases) {
    EXPECT_EQ(Load(name).SysExMode, mode) << name;
    EXPECT_EQ(GSysExMode, mode) << name << ": the player's mode follows the file read last";
  }
  TMidiFile refused;
  std::string error;
  EXPECT_FALSE(ReadMidiFile(Bytes{'M', 'T', 'h', 'd'}, refused, error));
  EXPECT_EQ(GSysExMode, kSysExMT32) << "a refused file changes no mode";
  GSysExMode = 0;
}

Bytes Chunk(const Bytes& body) {
  Bytes out{'M', 'T', 'r', 'k', 0, 0, static_cast<uint8_t>(body.size() >> 8),
            static_cast<uint8_t>(body.size())};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Header(uint16_t format, uint16_t count, uint16_t division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format),
          static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count),
          static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
}

TEST(MidiFileReader, DurationFollowsTempoChangesOfEveryTrack) {
  // Division 96: one second a quarter for two quarters, then two seconds a quarter
  // (set on the other track) for three more quarters: 8 s.
  Bytes bytes = Header(1, 2, 96);
  const Bytes tempo = Chunk({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x81, 0x40, 0xFF, 0x51,
                             0x03, 0x1E, 0x84, 0x80, 0x00, 0xFF, 0x2F, 0x00});
  const Bytes notes = Chunk({0x00, 0x90, 0x3C, 0x40, 0x83, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF,
                             0x2F, 0x00});
  bytes.insert(bytes.end(), tempo.begin(), tempo.end());
  bytes.insert(bytes.end(), notes.begin(), notes.end());
  TMidiFile file;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(bytes, file, error)) << error;
  EXPECT_EQ(file.DurationSeconds, 8u);
}

TEST(MidiFileReader, MissingTrackHeaderKeepsTheTracksBeforeIt) {
  const TMidiFile file = Load("missing_track.mid");
  EXPECT_EQ(file.TrackCount, 2u);
  ASSERT_EQ(file.Warnings.size(), 1u);
  EXPECT_EQ(file.Warnings[0],
            "Track header 3 is not correct because it does not begin with \"MTrk\".");
}

TEST(MidiFileReader, ReadsAtMost255Tracks) {
  Bytes bytes = Header(1, 300, 96);
  const Bytes chunk = Chunk({0x00, 0xFF, 0x2F, 0x00});
  for (int i = 0; i < 300; ++i) {
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  TMidiFile file;
  std::string error;
  ASSERT_TRUE(ReadMidiFile(bytes, file, error)) << error;
  EXPECT_EQ(file.TrackCount, 255u);
  ASSERT_EQ(file.Warnings.size(), 1u);
  EXPECT_EQ(file.Warnings[0],
            "Warning: Max number of MIDI tracks reached (255).\r\nI refuse to read any more from "
            "this file.");
}

// Broken files are refused with a reason that names the fault.
TEST(MidiFileReader, RefusesBrokenFilesWithAReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"empty.mid", "no \"MThd\""},
      {"header_only.mid", "header is cut off"},
      {"header_cut.mid", "header is cut off"},
      {"junk1020.mid", "no \"MThd\""},
      {"riff_no_midi.mid", "no \"MThd\""},
      {"format3.mid", "Unknown MIDI file type: 3"},
      {"division0.mid", "division of 0"},
      {"smpte.mid", "SMPTE"},
      {"header_length_huge.mid", "header length 2147483647"},
      {"chunk_too_long.mid", "declares 5000 bytes"},
      {"chunk_header_cut.mid", "cut off in its header"},
      {"varlen5.mid", "longer than 4 bytes"},
      {"data_byte_high.mid", "status byte where a data byte"},
      {"no_status.mid", "no status byte"},
      {"meta_past_end.mid", "cut off at the end of the chunk"},
      {"sysex_past_end.mid", "cut off at the end of the chunk"},
      {"event_cut.mid", "cut off at the end of the chunk"},
  };
  for (const auto& [name, reason] : cases) {
    TMidiFile file;
    std::string error;
    EXPECT_FALSE(LoadMidiFile(Corpus(std::string("broken/") + name), file, error)) << name;
    EXPECT_NE(error.find(reason), std::string::npos) << name << ": " << error;
    EXPECT_TRUE(file.Tracks.empty()) << name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(CorpusDir() / "broken"),
                          std::filesystem::directory_iterator()),
            std::size(cases));
}

// Every prefix of a good file is read or refused, never read out of bounds.
TEST(MidiFileReader, EveryCutOfAGoodFileIsHandled) {
  const Bytes whole = ReadBytes(Corpus("format1.mid"));
  for (size_t n = 0; n < whole.size(); ++n) {
    TMidiFile file;
    std::string error;
    if (!ReadMidiFile(std::span(whole.data(), n), file, error)) {
      EXPECT_FALSE(error.empty()) << n;
    }
  }
}

TEST(MidiFileReader, LoadingIntoTheGlobalRecordReportsRefusals) {
  GErrors.Reset();
  EXPECT_TRUE(LoadMidiFile(Corpus("format2.mid")));
  EXPECT_EQ(GMidiFile.TrackCount, 2u);
  EXPECT_EQ(GErrors.Code(), 0);
  const std::string broken = Corpus("broken/format3.mid");
  EXPECT_FALSE(LoadMidiFile(broken));
  const TErrors e = GErrors.Take();
  EXPECT_EQ(e.Code, 42);
  EXPECT_EQ(e.Source, 1);
  EXPECT_EQ(e.Text, broken + ": Unknown MIDI file type: 3");
  EXPECT_TRUE(GMidiFile.Tracks.empty());
}

// One event decoded into a fresh track.
struct DecodeCase {
  const char* Name;
  Bytes Data;  // events without delta times, decoded one after the other
  std::function<void(const TMidiFileTrack&, const TTrackRuntime&)> Check;
};

constexpr uint32_t kTpm = 1920;

TEST(MidiFileReader, DecodesEventsIntoTheTrack) {
  const DecodeCase cases[] = {
      {"note on", {0x91, 60, 100},
       [](const TMidiFileTrack& e, const TTrackRuntime& t) {
         EXPECT_EQ(t.KeyOnVelocity[60], 100);
         EXPECT_EQ(t.KeyLength[60], 1920000);
         EXPECT_EQ(t.KeyPosition[60], 0);
         EXPECT_EQ(e.LastKey, 60);
         EXPECT_EQ(e.Channel, 1);
       }},
      {"note on with velocity 0 ends the note with 81", {0x90, 60, 100, 60, 0},
       [](const TMidiFileTrack&, const TTrackRuntime& t) {
         EXPECT_EQ(t.KeyOffVelocity[60], 81);
         EXPECT_EQ(t.KeyPosition[60], 1920000);
       }},
      {"note off", {0x90, 61, 100, 0x80, 61, 32},
       [](const TMidiFileTrack&, const TTrackRuntime& t) {
         EXPECT_EQ(t.KeyOffVelocity[61], 32);
         EXPECT_EQ(t.KeyPosition[61], t.KeyLength[61]);
       }},
      {"bank and controller", {0xB3, 0, 5, 7, 99},
       [](const TMidiFileTrack& e, const TTrackRuntime& t) {
         EXPECT_EQ(t.ControllerValues[0], 5);
         EXPECT_EQ(t.ControllerValues[7], 99);
         EXPECT_EQ(e.Bank, 5);
         EXPECT_EQ(e.LastController, 7);
       }},
      {"program", {0xC0, 19},
       [](const TMidiFileTrack& e, const TTrackRuntime& t) {
         EXPECT_EQ(t.Instrument, 19);
         EXPECT_EQ(e.Program, 19);
       }},
      {"pitch bend centre", {0xE0, 0x00, 0x40},
       [](const TMidiFileTrack& e, const TTrackRuntime& t) {
         EXPECT_EQ(t.PitchValue, 64);
         EXPECT_EQ(e.PitchBend, 0);
       }},
      {"pitch bend is coarse + 128 * fine", {0xE0, 0x05, 0x41},
       [](const TMidiFileTrack& e, const TTrackRuntime& t) {
         EXPECT_EQ(t.PitchValue, 65 + 128 * 5);
         EXPECT_EQ(e.PitchBend, 65 * 128 + 5 - 8192);
       }},
      {"pressure, SysEx and meta events change nothing",
       {0xA0, 60, 1, 0xD0, 2, 0xF0, 0x02, 0x41, 0xF7, 0xFF, 0x58, 0x06, 4, 2, 24, 8, 0x90, 0x90},
       [](const TMidiFileTrack& e, const TTrackRuntime& t) {
         EXPECT_EQ(t.KeyOnVelocity[60], 81);
         EXPECT_TRUE(e.Playing);
       }},
      {"end of track", {0xFF, 0x2F, 0x00},
       [](const TMidiFileTrack& e, const TTrackRuntime&) { EXPECT_FALSE(e.Playing); }},
  };
  for (const DecodeCase& c : cases) {
    TMidiFileTrack entry;
    entry.Data = c.Data;
    entry.HasData = true;
    entry.Playing = true;
    TTrackRuntime track;
    int events = 0;
    while (!DecodeMidiFileEvent(entry, kTpm, track)) {
      ASSERT_LT(++events, 100) << c.Name;
    }
    EXPECT_EQ(entry.ReadPosition, c.Data.size()) << c.Name;
    c.Check(entry, track);
  }
}

TEST(MidiFileReader, DecodingStopsSafelyOnBrokenData) {
  for (const Bytes& data : {Bytes{0x3C, 0x40}, Bytes{0x90, 0x3C}, Bytes{0xFF, 0x01, 0x7F},
                            Bytes{0x90, 0x80, 0x40}, Bytes{}}) {
    TMidiFileTrack entry;
    entry.Data = data;
    entry.HasData = true;
    TTrackRuntime track;
    EXPECT_TRUE(DecodeMidiFileEvent(entry, kTpm, track));
    EXPECT_EQ(entry.ReadPosition, data.size());
  }
}

// A handler player walks a whole track: delta, event, delta, event, ... to the end.
TEST(MidiFileReader, PlayerWalksATrackToItsEnd) {
  TMidiFile file = Load("format0.mid");
  TMidiFileTrack& entry = file.Tracks[0];
  entry.Playing = true;
  TTrackRuntime track;
  int events = 0;
  uint64_t ticks = 0;
  uint32_t delta = 0;
  while (entry.Playing && ReadMidiFileDelta(entry, delta)) {
    ticks += delta;
    if (DecodeMidiFileEvent(entry, kTpm, track)) {
      break;
    }
    ++events;
  }
  EXPECT_FALSE(entry.Playing);
  EXPECT_EQ(events, 15);  // tempo, program, controller, 8 notes, bend, 2 notes, end
  EXPECT_EQ(ticks, 2110u);
  EXPECT_EQ(track.Instrument, 60);
  EXPECT_EQ(track.ControllerValues[7], 100);
  EXPECT_EQ(track.KeyOffVelocity[61], 81);  // ended by a note on with velocity 0
}

TEST(MidiFileRecords, ListIndexesAndTakeOver) {
  std::unique_ptr<TMidi> list;
  EXPECT_EQ(AddMidiFile(list, "a.mid", "a").Index, 0);
  AddMidiFile(list, "b.mid", "b");
  TMidi& third = AddMidiFile(list, "c.mid", "c");
  EXPECT_EQ(third.Index, 2);
  EXPECT_EQ(list.get(), &third);
  EXPECT_EQ(FindMidiFileByIndex(list.get(), 0)->Name, "a");
  EXPECT_EQ(FindMidiFileByIndex(list.get(), 3), nullptr);

  TMidiFile file = Load("format2.mid");
  const Bytes second = file.Tracks[1].Data;
  TakeOverMidiFile(file, third);
  EXPECT_EQ(third.TrackCount, 2u);
  EXPECT_EQ(third.Division, 96u);
  EXPECT_EQ(third.Tracks[1].Data, second);
  EXPECT_EQ(third.Tracks[1].Index, 1);
  EXPECT_TRUE(third.Tracks[1].HasData);
  EXPECT_FALSE(file.Tracks[1].HasData);
  EXPECT_TRUE(file.Tracks[1].Data.empty());
  FreeMidiFileList(list);
  EXPECT_EQ(list, nullptr);
}

}  // namespace
