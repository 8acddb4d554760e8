#include "midi/midi_file_writer.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <vector>

#include "midi/midi_event_parser.h"
#include "midi/midi_event_writer.h"
#include "base/rounding.h"
#include "platform/atomic_file.h"
#include "settings/settings.h"

namespace {

void PutNumber(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
}

void WriteBytes(std::ostream& out, const std::vector<uint8_t>& bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Event times of a song whose quarter note holds more ticks than a file's division:
// every absolute tick is scaled to the file's division and rounded to the nearest, so
// that rounding never adds up along a track and events at one tick stay together.
struct TTickScale {
  uint64_t From = 1;  // the song's ticks per quarter note
  uint64_t To = 1;    // the file's
  uint64_t operator()(uint64_t tick) const {
    return tick / From * To + ((tick % From) * To + From / 2) / From;
  }
};

// Walks the published events of the list, calling visit(event, delta, at) for each: at
// is the index of its bytes after the delta time. False with a reason when an event does
// not parse whole.
template <class Visit>
bool ForEachEvent(const TMidiByteList& list, std::string& why, Visit visit) {
  const size_t end = list.Published();
  const TMidiByteListSource source{list};
  uint8_t running = 0;
  for (size_t pos = 0; pos < end;) {
    size_t at = pos;
    uint32_t delta = 0;
    TMidiParse r = pos > 0 ? ParseMidiVarLen(source, at, end, delta, &why) : TMidiParse::Event;
    TMidiEvent ev;
    if (r == TMidiParse::Event) {
      r = ParseMidiEvent(source, at, end, false, running, ev, &why);
    }
    if (r != TMidiParse::Event) {
      if (r == TMidiParse::NeedMore) {
        why = "the last event is cut off";
      }
      why = "byte " + std::to_string(pos) + ": " + why;
      return false;
    }
    visit(ev, delta, at);
    pos = ev.Next;
  }
  return true;
}

// Appends the list's events to body as they stand.
bool CopyEvents(const TMidiByteList& list, std::vector<uint8_t>& body, bool& lastIsEnd,
                std::string& why) {
  if (!ForEachEvent(list, why, [&](const TMidiEvent& ev, uint32_t, size_t) {
        lastIsEnd = ev.IsEndOfTrack();
      })) {
    return false;
  }
  const size_t count = list.Published();
  body.reserve(body.size() + count + 8);
  for (size_t i = 0; i < count;) {
    const std::span<const uint8_t> run = list.SpanAt(i, count - i);
    body.insert(body.end(), run.begin(), run.end());
    i += run.size();
  }
  return true;
}

// Appends the list's events to body with their delta times scaled.
bool CopyScaledEvents(const TMidiByteList& list, const TTickScale& scale,
                      std::vector<uint8_t>& body, bool& lastIsEnd, std::string& why) {
  uint64_t tick = 0;
  uint64_t written = 0;  // scaled tick of the event before
  bool first = true;
  return ForEachEvent(list, why, [&](const TMidiEvent& ev, uint32_t delta, size_t at) {
    tick += delta;
    const uint64_t scaled = scale(tick);
    if (!first) {
      uint8_t bytes[4];
      const int n = VarLenBytes(static_cast<uint32_t>(scaled - written), bytes);
      body.insert(body.end(), bytes, bytes + n);
    }
    first = false;
    written = scaled;
    for (size_t i = at; i < ev.Next; ++i) {
      body.push_back(list.At(i));
    }
    lastIsEnd = ev.IsEndOfTrack();
  });
}

// The chunk body of one track: 0 delta, the event bytes (their times scaled when scale is
// given), end-of-track when missing.
bool TrackChunkBody(const TMidiFileTrackSource& track, const std::optional<TTickScale>& scale,
                    std::vector<uint8_t>& body, std::string& why) {
  body.assign(1, 0x00);
  bool lastIsEnd = false;
  if (track.Events) {
    const TMidiByteList& list = *track.Events;
    if (!(scale ? CopyScaledEvents(list, *scale, body, lastIsEnd, why)
                : CopyEvents(list, body, lastIsEnd, why))) {
      return false;
    }
    if (list.Published() > 0 && !lastIsEnd) {
      body.push_back(0x00);  // delta of the added end-of-track
    }
  }
  if (!lastIsEnd) {
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
  }
  if (body.size() > 0xFFFFFFFFu) {
    why = "the track is too long for a chunk";
    return false;
  }
  return true;
}

}  // namespace

uint32_t TicksPerQuarter(uint32_t ticksPerMeasure, int numerator, int denominator) {
  if (numerator <= 0 || denominator <= 0) {
    numerator = 4;
    denominator = 4;
  }
  const long double q = static_cast<long double>(ticksPerMeasure) / numerator *
                        (static_cast<long double>(denominator) / 4);
  return static_cast<uint32_t>(std::clamp<int64_t>(TruncToInt64(q), 1, UINT32_MAX));
}

bool WriteMidiFile(std::ostream& out, const std::vector<TMidiFileTrackSource>& tracks,
                   uint32_t ticksPerQuarter, std::string& error) {
  if (tracks.size() > 0xFFFF) {
    error = "too many tracks for a MIDI file: " + std::to_string(tracks.size());
    return false;
  }
  ticksPerQuarter = std::max<uint32_t>(ticksPerQuarter, 1);
  std::optional<TTickScale> scale;
  if (ticksPerQuarter > kMaxMidiFileDivision) {
    scale = TTickScale{ticksPerQuarter, kMaxMidiFileDivision};
  }
  const uint16_t division =
      static_cast<uint16_t>(std::min<uint32_t>(ticksPerQuarter, kMaxMidiFileDivision));
  // Every chunk is built before anything is written, so a broken list writes nothing.
  std::vector<std::vector<uint8_t>> bodies(tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    std::string why;
    if (!TrackChunkBody(tracks[i], scale, bodies[i], why)) {
      error = "track " + std::to_string(i + 1) + " (" + tracks[i].Name + "): " + why;
      return false;
    }
  }
  // 1. "MThd", 2. header length 6, 3. format 1, 4. chunk count, 5. ticks per quarter note.
  std::vector<uint8_t> header{'M', 'T', 'h', 'd'};
  PutNumber(header, 6, 4);
  PutNumber(header, 1, 2);
  PutNumber(header, static_cast<uint32_t>(tracks.size()), 2);
  PutNumber(header, division, 2);
  WriteBytes(out, header);
  // Each chunk's bodies go out as they are: a song's events can be tens of megabytes.
  for (const std::vector<uint8_t>& body : bodies) {
    std::vector<uint8_t> chunkHeader{'M', 'T', 'r', 'k'};
    PutNumber(chunkHeader, static_cast<uint32_t>(body.size()), 4);
    WriteBytes(out, chunkHeader);
    WriteBytes(out, body);
  }
  out.flush();
  if (!out) {
    error = "the MIDI file could not be written";
    return false;
  }
  return true;
}

bool WriteMidiFile(const std::string& fileName, const std::vector<TMidiFileTrackSource>& tracks,
                   uint32_t ticksPerQuarter, std::string& error) {
  namespace fs = std::filesystem;
  const fs::path target =
      fileName.empty() ? fs::path(ProgramDir) / "Resources" / "qem.mid" : fs::path(fileName);
  const TFileWriter write = [&](std::ostream& out, std::string& why) {
    return WriteMidiFile(out, tracks, ticksPerQuarter, why);
  };
  return WriteFileAtomically(target, write, &error);
}
