#include "midi/midi_file_writer.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <vector>

#include "midi/midi_event_parser.h"
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

// True when the published events of the list parse whole; lastIsEnd tells whether the
// last of them is end-of-track.
bool CheckEvents(const TMidiByteList& list, bool& lastIsEnd, std::string& why) {
  const size_t end = list.Published();
  uint8_t running = 0;
  lastIsEnd = false;
  for (size_t pos = 0; pos < end;) {
    TMidiEvent ev;
    const TMidiParse r =
        ParseMidiEvent(TMidiByteListSource{list}, pos, end, pos > 0, running, ev, &why);
    if (r != TMidiParse::Event) {
      if (r == TMidiParse::NeedMore) {
        why = "the last event is cut off";
      }
      why = "byte " + std::to_string(pos) + ": " + why;
      return false;
    }
    lastIsEnd = ev.IsEndOfTrack();
    pos = ev.Next;
  }
  return true;
}

// The chunk body of one track: 0 delta, the event bytes, end-of-track when missing.
bool TrackChunkBody(const TMidiFileTrackSource& track, std::vector<uint8_t>& body,
                    std::string& why) {
  body.assign(1, 0x00);
  bool lastIsEnd = false;
  if (track.Events) {
    const TMidiByteList& list = *track.Events;
    if (!CheckEvents(list, lastIsEnd, why)) {
      return false;
    }
    const size_t count = list.Published();
    body.reserve(count + 8);
    for (size_t i = 0; i < count;) {
      const std::span<const uint8_t> run = list.SpanAt(i, count - i);
      body.insert(body.end(), run.begin(), run.end());
      i += run.size();
    }
    if (count > 0 && !lastIsEnd) {
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

uint16_t MidiFileDivision(uint32_t ticksPerMeasure, int numerator, int denominator) {
  if (numerator <= 0 || denominator <= 0) {
    numerator = 4;
    denominator = 4;
  }
  const long double q = static_cast<long double>(ticksPerMeasure) / numerator *
                        (static_cast<long double>(denominator) / 4);
  return static_cast<uint16_t>(std::clamp<int64_t>(TruncToInt64(q), 1, 32767));
}

bool WriteMidiFile(std::ostream& out, const std::vector<TMidiFileTrackSource>& tracks,
                   uint16_t division, std::string& error) {
  if (tracks.size() > 0xFFFF) {
    error = "too many tracks for a MIDI file: " + std::to_string(tracks.size());
    return false;
  }
  // Every chunk is built before anything is written, so a broken list writes nothing.
  std::vector<std::vector<uint8_t>> bodies(tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    std::string why;
    if (!TrackChunkBody(tracks[i], bodies[i], why)) {
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
                   uint16_t division, std::string& error) {
  namespace fs = std::filesystem;
  const fs::path target =
      fileName.empty() ? fs::path(ProgramDir) / "Resources" / "qem.mid" : fs::path(fileName);
  const TFileWriter write = [&](std::ostream& out, std::string& why) {
    return WriteMidiFile(out, tracks, division, why);
  };
  return WriteFileAtomically(target, write, &error);
}
