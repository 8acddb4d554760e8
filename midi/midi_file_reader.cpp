#include "midi/midi_file_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/errors.h"
#include "midi/midi_event_parser.h"
#include "base/rounding.h"
#include "platform/atomic_file.h"

TMidiFile GMidiFile;
std::atomic<uint8_t> GSysExMode{0};

namespace {

// A bounds-checked view of the file's bytes.
struct TFileBytes {
  std::span<const uint8_t> Bytes;

  bool Has(size_t pos, size_t n) const { return pos <= Bytes.size() && Bytes.size() - pos >= n; }
  bool TagAt(size_t pos, const char* tag) const {
    return Has(pos, 4) && std::memcmp(Bytes.data() + pos, tag, 4) == 0;
  }
  uint32_t Number(size_t pos, int n) const {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      v = (v << 8) | Bytes[pos + i];
    }
    return v;
  }
};

// Offset of "MThd": at the start; in a RIFF file only at 20, after "RIFF" and five more
// words ("RMID" wrappers put it there); in any other file within the first 1024 bytes.
// False when there is none.
bool FindHeader(const TFileBytes& in, size_t& offset) {
  if (in.TagAt(0, "MThd")) {
    offset = 0;
    return true;
  }
  if (in.TagAt(0, "RIFF")) {
    offset = 20;
    return in.TagAt(offset, "MThd");
  }
  const size_t n = std::min(in.Bytes.size(), kMidiHeaderSearchBytes);
  for (size_t i = 0; i + 5 <= n; ++i) {
    if (in.TagAt(i, "MThd")) {
      offset = i;
      return true;
    }
  }
  return false;
}

// Reads "MThd" and its fields; pos ends after the header.
bool ReadHeader(const TFileBytes& in, TMidiFile& file, size_t& pos, std::string& error) {
  if (!FindHeader(in, pos)) {
    error = kNoMidiHeader;
    return false;
  }
  if (!in.Has(pos, 14)) {
    error = "the MIDI file header is cut off";
    return false;
  }
  file.HeaderLength = in.Number(pos + 4, 4);
  file.Format = static_cast<uint16_t>(in.Number(pos + 8, 2));
  if (file.Format > 2) {
    error = "Unknown MIDI file type: " + std::to_string(file.Format);
    return false;
  }
  if (file.HeaderLength < 6 || !in.Has(pos + 8, file.HeaderLength)) {
    error = "the MIDI file header length " + std::to_string(file.HeaderLength) + " is wrong";
    return false;
  }
  file.TrackCount = static_cast<uint16_t>(in.Number(pos + 10, 2));
  const uint16_t division = static_cast<uint16_t>(in.Number(pos + 12, 2));
  if (division == 0) {
    error = "the MIDI file has a division of 0 ticks per quarter note";
    return false;
  }
  if (division & 0x8000) {
    error = "the MIDI file counts time in SMPTE frames, which is not supported";
    return false;
  }
  file.Division = division;
  pos += 8 + file.HeaderLength;
  return true;
}

// Reads the "MTrk" chunks from pos: at most 255, stopping at the first other chunk.
bool ReadChunks(const TFileBytes& in, TMidiFile& file, size_t pos, std::string& error) {
  const size_t declared = file.TrackCount;
  while (pos < in.Bytes.size() && file.Tracks.size() < kMaxMidiFileTracks) {
    const size_t i = file.Tracks.size();
    if (!in.TagAt(pos, "MTrk")) {
      if (i < declared) {
        file.Warnings.push_back("Track header " + std::to_string(i + 1) +
                                " is not correct because it does not begin with \"MTrk\".");
      }
      break;
    }
    if (!in.Has(pos + 4, 4)) {
      error = "track chunk " + std::to_string(i + 1) + " is cut off in its header";
      return false;
    }
    const uint32_t length = in.Number(pos + 4, 4);
    pos += 8;
    if (!in.Has(pos, length)) {
      error = "track chunk " + std::to_string(i + 1) + " declares " + std::to_string(length) +
              " bytes but the file holds only " + std::to_string(in.Bytes.size() - pos);
      return false;
    }
    TMidiFileTrack& track = file.Tracks.emplace_back();
    track.ChunkLength = length;
    track.Data.assign(in.Bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                      in.Bytes.begin() + static_cast<std::ptrdiff_t>(pos + length));
    track.HasData = true;
    track.Index = static_cast<uint16_t>(i);
    pos += length;
  }
  if (file.Tracks.size() == kMaxMidiFileTracks && pos < in.Bytes.size()) {
    static const std::string kTooManyTracks =
        "Warning: Max number of MIDI tracks reached (255).\r\n"
        "I refuse to read any more from this file.";
    file.Warnings.push_back(kTooManyTracks);
  }
  file.TrackCount = static_cast<uint16_t>(file.Tracks.size());
  return true;
}

// What the analysis pass notes of one event.
struct TMark {
  uint64_t Tick;     // absolute file ticks
  uint16_t Track;    // order of tracks decides at equal ticks
  uint32_t Seq;      // order within a track
  bool IsTempo;      // else a change of the instrument standard
  uint32_t Value;    // microseconds per quarter note, or the standard found
};

// The standard a SysEx message names, or 0.
uint8_t SysExStandard(const std::vector<uint8_t>& data, const TMidiEvent& ev) {
  if (ev.Status != 0xF0 || ev.PayloadLength == 0) {
    return 0;
  }
  const uint8_t* p = data.data() + ev.PayloadOffset;
  if (p[0] == 0x7E || p[0] == 0x7F) {
    return kSysExGM;
  }
  if (ev.PayloadLength < 3) {
    return 0;
  }
  if (p[0] == 0x41 && p[2] == 0x16) {
    return kSysExMT32;
  }
  if (p[0] == 0x41 && p[2] == 0x42) {
    return kSysExGS;
  }
  if (p[0] == 0x43 && p[2] == 0x4C) {
    return kSysExXG;
  }
  return 0;
}

// True when a line of the text (CR, LF, CR LF or LF CR end a line) is exactly "MT-32".
bool TextNamesMt32(const std::vector<uint8_t>& data, const TMidiEvent& ev) {
  const std::string text(data.begin() + static_cast<std::ptrdiff_t>(ev.PayloadOffset),
                         data.begin() + static_cast<std::ptrdiff_t>(ev.PayloadOffset + ev.PayloadLength));
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      end = text.size();
    }
    if (text.compare(start, end - start, "MT-32") == 0) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

// Tempo of a meta event FF 51: its 1..4 bytes as a number; 0 when unusable.
uint32_t TempoOf(const std::vector<uint8_t>& data, const TMidiEvent& ev) {
  if (ev.PayloadLength == 0 || ev.PayloadLength > 4) {
    return 0;
  }
  uint32_t u = 0;
  for (uint32_t i = 0; i < ev.PayloadLength; ++i) {
    u = (u << 8) | data[ev.PayloadOffset + i];
  }
  return u;
}

// Walks one track's events up to end-of-track, noting tempos and standards; endTick is the
// tick of its last event. False with a reason when an event cannot be read.
bool ScanTrack(const TMidiFileTrack& track, uint16_t index, std::vector<TMark>& marks,
               uint64_t& endTick, std::string& error) {
  const std::vector<uint8_t>& data = track.Data;
  uint8_t running = 0;
  uint64_t tick = 0;
  uint32_t seq = 0;
  for (size_t pos = 0; pos < data.size();) {
    TMidiEvent ev;
    std::string why;
    const TMidiParse r = ParseMidiEvent(data, pos, data.size(), true, running, ev, &why);
    if (r != TMidiParse::Event) {
      if (r == TMidiParse::NeedMore) {
        why = "an event is cut off at the end of the chunk";
      }
      error = "track " + std::to_string(index + 1) + ", byte " + std::to_string(pos) + ": " + why;
      return false;
    }
    tick += ev.Delta;
    pos = ev.Next;
    if (ev.IsMeta() && ev.MetaType == 0x51) {
      if (const uint32_t u = TempoOf(data, ev); u != 0) {
        marks.push_back({tick, index, seq++, true, u});
      }
    } else if (ev.IsMeta() && ev.MetaType >= 0x01 && ev.MetaType <= 0x07) {
      if (TextNamesMt32(data, ev)) {
        marks.push_back({tick, index, seq++, false, 0});
      }
    } else if (const uint8_t standard = SysExStandard(data, ev); standard != 0) {
      marks.push_back({tick, index, seq++, false, standard});
    }
    if (ev.IsEndOfTrack()) {
      break;
    }
  }
  endTick = tick;
  return true;
}

// The analysis pass: plays the tracks through in file time, following the tempo
// (500000 microseconds per quarter note until the first tempo event), to find the
// instrument standard and the length in seconds.
bool AnalyseMidiFile(TMidiFile& file, std::string& error) {
  std::vector<TMark> marks;
  uint64_t endTick = 0;
  for (size_t i = 0; i < file.Tracks.size(); ++i) {
    uint64_t trackEnd = 0;
    if (!ScanTrack(file.Tracks[i], static_cast<uint16_t>(i), marks, trackEnd, error)) {
      return false;
    }
    endTick = std::max(endTick, trackEnd);
  }
  std::sort(marks.begin(), marks.end(), [](const TMark& a, const TMark& b) {
    return std::tie(a.Tick, a.Track, a.Seq) < std::tie(b.Tick, b.Track, b.Seq);
  });
  file.SysExMode = kSysExUnknown;
  long double ms = 0;
  long double msPerTick = 500.0L / file.Division;
  uint64_t lastTick = 0;
  for (const TMark& m : marks) {
    if (m.IsTempo) {
      ms += static_cast<long double>(m.Tick - lastTick) * msPerTick;
      lastTick = m.Tick;
      msPerTick = m.Value / 1000.0L / file.Division;
    } else if (m.Value != 0) {
      file.SysExMode = static_cast<uint8_t>(m.Value);
    } else if (file.SysExMode == kSysExUnknown) {
      file.SysExMode = kSysExMT32;  // the text "MT-32"
    }
  }
  ms += static_cast<long double>(endTick - lastTick) * msPerTick;
  file.DurationSeconds = static_cast<uint32_t>(std::clamp<int64_t>(RoundHalfEven(ms / 1000), 0, 0xFFFFFFFF));
  GSysExMode.store(file.SysExMode, std::memory_order_relaxed);
  return true;
}

}  // namespace

bool ReadMidiFile(std::span<const uint8_t> bytes, TMidiFile& file, std::string& error) {
  file = TMidiFile{};
  const TFileBytes in{bytes};
  size_t pos = 0;
  if (!ReadHeader(in, file, pos, error) || !ReadChunks(in, file, pos, error) ||
      !AnalyseMidiFile(file, error)) {
    file = TMidiFile{};
    return false;
  }
  return true;
}

bool LoadMidiFile(const std::string& fileName, TMidiFile& file, std::string& error) {
  file = TMidiFile{};
  // A FIFO or a device named by a handler program is refused, never waited on.
  std::string why;
  const std::optional<std::string> read = ReadFileBytes(fileName, &why, kMaxMidiFileBytes);
  if (!read) {
    error = why.find("larger than") != std::string::npos
                ? "the file is larger than a MIDI file can be (64 MiB)"
                : why;
    return false;
  }
  const std::vector<uint8_t> bytes(read->begin(), read->end());
  return ReadMidiFile(bytes, file, error);
}

bool LoadMidiFile(const std::string& fileName) {
  std::string error;
  if (LoadMidiFile(fileName, GMidiFile, error)) {
    return true;
  }
  TErrors e;
  e.Text = fileName + ": " + error;
  e.Source = 1;
  e.Code = 42;
  GErrors.Set(e);
  return false;
}

bool ReadMidiFileDelta(TMidiFileTrack& entry, uint32_t& delta) {
  size_t pos = entry.ReadPosition;
  if (!entry.HasData ||
      ParseMidiVarLen(entry.Data, pos, entry.Data.size(), delta, nullptr) != TMidiParse::Event) {
    entry.ReadPosition = entry.Data.size();
    delta = 0;
    return false;
  }
  entry.ReadPosition = pos;
  entry.LastDelta = delta;
  return true;
}
