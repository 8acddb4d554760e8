#include "midi/midi_file_writer.h"
#include "render/song_midi_file.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>

#include "midi/midi_event_writer.h"
#include "midi/midi_file_reader.h"
#include "render/track_runtime.h"
#include "settings/settings.h"
#include "tests/support/midi_test_support.h"
#include "tests/support/keep.h"
#include "tests/support/temp_dir.h"

namespace {

using miditest::Bytes;
using miditest::ReadBytes;

constexpr uint32_t kTpm = 1920;

// A track list as the song window holds it, with runtimes, and the summary that mido and
// our reader must print for the file written from it.
class Song {
 public:
  TTreck& Add(const std::string& name, uint8_t channel) {
    TTreck& t = tracks_.emplace_back();
    t.Caption = name;
    t.Channel = channel;
    if (tracks_.size() > 1) {
      TTreck& prev = tracks_[tracks_.size() - 2];
      prev.Next = &t;
      t.Prev = &prev;
    }
    return t;
  }
  PTreck Head() { return tracks_.empty() ? nullptr : &tracks_.front(); }
  size_t Count() const { return tracks_.size(); }
  TTreck& operator[](size_t i) { return tracks_[i]; }

  void Note(size_t track, uint32_t tick, int key, bool on) {
    TTreck& t = tracks_[track];
    TTrackRuntime& rt = RuntimeOf(t);
    if (on) {
      WriteNoteOn(key, rt.KeyOnVelocity[key & 0x7F], t.Channel, rt, tick, kTpm);
    } else {
      WriteNoteOff(key, rt.KeyOffVelocity[key & 0x7F], t.Channel, rt, tick, kTpm);
    }
    const long double velocity = on ? rt.KeyOnVelocity[key] : rt.KeyOffVelocity[key];
    Expect(track) << "note " << track << " " << tick << " " << int(t.Channel) - 1 << " " << key << " "
              << static_cast<int>(velocity) << (on ? " on" : " off") << "\n";
  }
  void Tempo(uint32_t tick, long double bpm) {
    WriteTempo(RuntimeOf(tracks_[0]), tick, kTpm, bpm);
    Expect(0) << "tempo 0 " << tick << " " << TempoMicroseconds(bpm) << "\n";
  }
  void End(size_t track, uint32_t tick) {
    WriteEndOfTrack(RuntimeOf(tracks_[track]), tick, kTpm);
    Expect(track) << "end " << track << " 1\n";
  }
  std::string Expected(uint16_t division) const {
    std::string text = "format 1\ntracks " + std::to_string(tracks_.size()) + "\ndivision " +
                       std::to_string(division) + "\n";
    for (const std::ostringstream& lines : expected_) {
      text += lines.str();
    }
    return text;
  }

 private:
  std::ostringstream& Expect(size_t track) {
    while (expected_.size() <= track) {
      expected_.emplace_back();
    }
    return expected_[track];
  }

  std::deque<TTreck> tracks_;  // stable addresses for the links
  std::deque<std::ostringstream> expected_;  // summary lines per track
};

// A control track with tempo changes and three music tracks with chords, running status
// and controllers, as the render thread writes them.
void RenderSong(Song& song) {
  song.Add("Song", 0);
  for (uint8_t channel : {1, 10, 16}) {
    song.Add("Track " + std::to_string(channel), channel);
  }
  TTrackRuntime& control = RuntimeOf(song[0]);
  WriteNoticeEvent("VELTO v.1.0.0.0", control, 0, kTpm);
  WriteTrackName("Song", control, 0, kTpm);
  song.Tempo(0, 120);
  WriteTimeSignature(3, 4, control, 0, kTpm);
  control.TimeSigNumerator = 3;
  control.TimeSigDenominator = 4;
  for (size_t t = 1; t < song.Count(); ++t) {
    TTrackRuntime& rt = RuntimeOf(song[t]);
    const int ch = song[t].Channel;
    WriteTrackName(song[t].Caption, rt, 0, kTpm);
    WritePitchBend(ch, rt, 0, kTpm, 64);
    WriteController(7, 112, ch, rt, 0, kTpm);
    WriteController(11, 112, ch, rt, 0, kTpm);
    WriteController(10, 64, ch, rt, 0, kTpm);
    for (int key = 0; key < 128; ++key) {
      rt.KeyOnVelocity[key] = 20 + (key * 3 + t) % 100;
      rt.KeyOffVelocity[key] = 64;
    }
  }
  for (uint32_t step = 0; step < 12; ++step) {
    const uint32_t tick = step * 480;
    for (size_t t = 1; t < song.Count(); ++t) {
      const int key = 36 + static_cast<int>(t * 12 + step % 7);
      song.Note(t, tick, key, true);
      song.Note(t, tick, key + 4, true);  // a chord: running status
      song.Note(t, tick + 400, key, false);
      song.Note(t, tick + 400, key + 4, false);
    }
    if (step == 4) {
      song.Tempo(tick, 90);
    }
    if (step == 9) {
      song.Tempo(tick + 1, 100.5L);
    }
  }
  for (size_t t = 0; t < song.Count(); ++t) {
    song.End(t, 12 * 480);
  }
}

TEST(MidiFileWriter, MidoReadsTheFileAsWritten) {
  TTempDir dir;
  Song song;
  RenderSong(song);
  const std::string file = dir.File("song.mid");
  std::string error;
  ASSERT_TRUE(WriteSongMidiFile(file, song.Head(), kTpm, error)) << error;
  const std::string expected = song.Expected(640);
  EXPECT_EQ(miditest::MidoSummary(file), expected);

  TMidiFile back;
  ASSERT_TRUE(LoadMidiFile(file, back, error)) << error;
  EXPECT_EQ(miditest::ReaderSummary(back), expected);

  const Bytes bytes = ReadBytes(file);
  const Bytes header{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 4, 0x02, 0x80};
  ASSERT_GE(bytes.size(), header.size());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 14), header);
}

TEST(MidiFileWriter, RandomisedPositionsStillMakeAFileMidoReads) {
  TTempDir dir;
  Song song;
  song.Add("Song", 0);
  song.Add("Piano", 1);
  RuntimeOf(song[1]).PositionRnd = 700;
  for (uint32_t tick = 0; tick < 20 * kTpm; tick += 120) {
    WriteNoteOn(60, RuntimeOf(song[1]).KeyOnVelocity[60], 1, RuntimeOf(song[1]), tick, kTpm);
    WriteNoteOff(60, RuntimeOf(song[1]).KeyOffVelocity[60], 1, RuntimeOf(song[1]), tick + 100, kTpm);
  }
  WriteEndOfTrack(RuntimeOf(song[1]), 20 * kTpm, kTpm);
  const std::string file = dir.File("rnd.mid");
  std::string error;
  ASSERT_TRUE(WriteSongMidiFile(file, song.Head(), kTpm, error)) << error;
  const std::string summary = miditest::MidoSummary(file);
  size_t notes = 0;
  for (size_t at = summary.find("note 1 "); at != std::string::npos;
       at = summary.find("note 1 ", at + 1)) {
    ++notes;
  }
  EXPECT_EQ(notes, 2u * 20 * 16);
  EXPECT_NE(summary.find("end 0 1\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("end 1 1\n"), std::string::npos) << summary;
}

struct ChunkCase {
  const char* Name;
  std::function<void(TTreck&)> Fill;
  Bytes Chunk;  // "MTrk", length, body
};

TEST(MidiFileWriter, TrackChunks) {
  const ChunkCase cases[] = {
      {"only end of track",
       [](TTreck& t) { WriteEndOfTrack(RuntimeOf(t), 0, kTpm); },
       {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00}},
      {"no runtime", [](TTreck&) {},
       {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00}},
      {"end of track added",
       [](TTreck& t) { WriteNoteOn(60, RuntimeOf(t).KeyOnVelocity[60], 1, RuntimeOf(t), 0, kTpm); },
       {'M', 'T', 'r', 'k', 0, 0, 0, 8, 0x00, 0x90, 60, 81, 0x00, 0xFF, 0x2F, 0x00}},
      {"text ending in FF 2F 00 bytes is no end of track",
       [](TTreck& t) { WriteTextEvent(std::string("\xFF\x2F", 2), RuntimeOf(t), 0, kTpm); },
       {'M', 'T', 'r', 'k', 0, 0, 0, 10, 0x00, 0xFF, 0x01, 0x02, 0xFF, 0x2F, 0x00, 0xFF, 0x2F,
        0x00}},
  };
  for (const ChunkCase& c : cases) {
    Song song;
    c.Fill(song.Add("T", 1));
    std::ostringstream out;
    std::string error;
    ASSERT_TRUE(WriteSongMidiFile(out, song.Head(), kTpm, error)) << c.Name << ": " << error;
    const std::string s = out.str();
    EXPECT_EQ(Bytes(s.begin() + 14, s.end()), c.Chunk) << c.Name;
  }
}

TEST(MidiFileWriter, ChunksFollowTheTrackListAndTheHeaderCountsThem) {
  Song song;
  for (const char* name : {"A", "B", "C"}) {
    WriteTrackName(name, RuntimeOf(song.Add(name, 1)), 0, kTpm);
  }
  std::ostringstream out;
  std::string error;
  ASSERT_TRUE(WriteSongMidiFile(out, song.Head(), kTpm, error)) << error;
  const std::string s = out.str();
  EXPECT_EQ(s.substr(10, 2), std::string("\0\3", 2));
  EXPECT_EQ(s.substr(12, 2), std::string("\x01\xE0", 2));  // 4/4 at 1920 ticks: 480
  size_t at = 14;
  for (char name : {'A', 'B', 'C'}) {
    ASSERT_EQ(s.substr(at, 4), "MTrk");
    EXPECT_EQ(s[at + 8 + 4], name);  // 00 FF 03 01 name
    at += 8 + static_cast<uint8_t>(s[at + 7]);
  }
  EXPECT_EQ(at, s.size());
}

// 2/2 gives 480 as the formula does (1920 / 2 x 2 / 4): half notes of 960 ticks are 480 per quarter.
TEST(MidiFileWriter, Division) {
  const struct {
    uint32_t TicksPerMeasure;
    int Numerator;
    int Denominator;
    uint32_t Division;
  } cases[] = {
      {1920, 4, 4, 480}, {1920, 3, 4, 640},   {1920, 6, 8, 640},       {1920, 2, 2, 480},
      {1920, 7, 64, 4388}, {1920, 0, 4, 480}, {1920, 4, 0, 480},       {1, 4, 4, 1},
      {0, 4, 4, 1},      {1920000, 1, 64, 30720000}, {65535, 1, 4, 65535},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TicksPerQuarter(c.TicksPerMeasure, c.Numerator, c.Denominator), c.Division)
        << c.TicksPerMeasure << " " << c.Numerator << "/" << c.Denominator;
  }
}

// A quarter of 65535 ticks (65535 per measure in 1/4) is more than a file's division
// holds: the file gets 32767 and every time scaled by 32767/65535 from the track's start,
// tempo changes too, so it plays as long as the song; steps of 3 ticks become 1 and 2 in
// turn, never drifting.
TEST(MidiFileWriter, AQuarterLongerThanTheFileHoldsIsScaled) {
  constexpr uint32_t kQuarter = 65535;
  Song song;
  TTrackRuntime& control = RuntimeOf(song.Add("Song", 0));
  control.TimeSigNumerator = 1;
  control.TimeSigDenominator = 4;
  WriteTempo(control, 0, kQuarter, 120);
  WriteTempo(control, 2 * kQuarter, kQuarter, 60);
  WriteEndOfTrack(control, 4 * kQuarter, kQuarter);
  TTrackRuntime& piano = RuntimeOf(song.Add("Piano", 1));
  std::string expected =
      "format 1\ntracks 2\ndivision 32767\ntempo 0 0 500000\ntempo 0 65534 1000000\nend 0 1\n";
  for (uint32_t q = 0; q < 4; ++q) {
    if (q > 0) {
      WriteNoteOff(60, 64, 1, piano, q * kQuarter, kQuarter);
      expected += "note 1 " + std::to_string(q * 32767) + " 0 60 64 off\n";
    }
    WriteNoteOn(60, 100, 1, piano, q * kQuarter, kQuarter);
    expected += "note 1 " + std::to_string(q * 32767) + " 0 60 100 on\n";
    for (uint32_t k = 0; q == 0 && k < 10; ++k) {
      WriteNoteOn(72, 100, 1, piano, 6 * k, kQuarter);
      WriteNoteOff(72, 64, 1, piano, 6 * k + 3, kQuarter);
      expected += "note 1 " + std::to_string(3 * k) + " 0 72 100 on\nnote 1 " +
                  std::to_string(3 * k + 1) + " 0 72 64 off\n";
    }
  }
  WriteNoteOff(60, 64, 1, piano, 4 * kQuarter, kQuarter);
  WriteEndOfTrack(piano, 4 * kQuarter, kQuarter);
  expected += "note 1 131068 0 60 64 off\nend 1 1\n";
  TTempDir dir;
  const std::string file = dir.File("long.mid");
  std::string error;
  ASSERT_TRUE(WriteSongMidiFile(file, song.Head(), kQuarter, error)) << error;
  EXPECT_EQ(miditest::MidoSummary(file), expected);
}

size_t FilesIn(const TTempDir& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                           std::filesystem::directory_iterator()));
}

// A file is replaced whole or not at all; a failure says why.
TEST(MidiFileWriter, ReplacesAFileWholeOrLeavesItAndReportsFailures) {
  TTempDir dir;
  const std::string file = dir.File("song.mid");
  WriteBytes(file, "old");
  Song bad;
  TTrackRuntime& rt = RuntimeOf(bad.Add("Bad", 1));
  WriteEventByte(0x3C, rt);  // a data byte with no status
  WriteEventByte(0x40, rt);
  rt.Events.Publish();
  std::string error;
  EXPECT_FALSE(WriteSongMidiFile(file, bad.Head(), kTpm, error));
  EXPECT_NE(error.find("track 1 (Bad)"), std::string::npos) << error;
  EXPECT_EQ(::ReadBytes(file), "old");
  EXPECT_EQ(FilesIn(dir), 1u);

  Song song;
  WriteEndOfTrack(RuntimeOf(song.Add("T", 1)), 0, kTpm);
  ASSERT_TRUE(WriteSongMidiFile(file, song.Head(), kTpm, error)) << error;
  EXPECT_EQ(ReadBytes(file).size(), 14u + 12u);
  EXPECT_EQ(FilesIn(dir), 1u);

  error.clear();
  EXPECT_FALSE(WriteSongMidiFile("/nonexistent-folder/x.mid", song.Head(), kTpm, error));
  EXPECT_FALSE(error.empty());
  std::ostringstream failing;
  failing.setstate(std::ios::badbit);
  error.clear();
  EXPECT_FALSE(WriteSongMidiFile(failing, song.Head(), kTpm, error));
  EXPECT_FALSE(error.empty());

  // An empty name writes into the program folder.
  TKeep keep(ProgramDir);
  std::filesystem::create_directories(dir.Path() + "Resources");
  ProgramDir = dir.Path();
  ASSERT_TRUE(WriteSongMidiFile(std::string(), song.Head(), kTpm, error)) << error;
  EXPECT_TRUE(std::filesystem::exists(dir.File("Resources/qem.mid")));
}

}  // namespace
