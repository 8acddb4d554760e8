// Writes event lists as a format-1 Standard MIDI File: one track chunk per list, in order.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include <vector>

#include "midi/midi_byte_list.h"

// One track chunk's source: its published events (null: an empty track) and the name
// that errors give it.
struct TMidiFileTrackSource {
  const TMidiByteList* Events = nullptr;
  std::string Name;
};

// The largest division a file's header holds (its top bit marks SMPTE time).
constexpr uint32_t kMaxMidiFileDivision = 32767;

// Ticks per quarter note for a measure of ticksPerMeasure ticks in numerator/denominator
// time, at least 1 (a numerator or denominator of 0 counts as 4/4).
uint32_t TicksPerQuarter(uint32_t ticksPerMeasure, int numerator, int denominator);

// Writes the file to a stream. Each track's chunk is "MTrk", its length, a 0 delta time
// and the track's published event bytes; a list whose last event is not end-of-track
// gets one, a track with no events gets only end-of-track. The header counts the chunks
// written. ticksPerQuarter is the song's: up to kMaxMidiFileDivision it is the file's
// division and the bytes go out as they are; above it the division is
// kMaxMidiFileDivision and every event's time is scaled to it, so that the file plays at
// the song's tempo. False with a reason when the events of a list are broken or the
// stream fails.
bool WriteMidiFile(std::ostream& out, const std::vector<TMidiFileTrackSource>& tracks,
                   uint32_t ticksPerQuarter, std::string& error);

// Writes the file under fileName (empty: ProgramDir + "Resources/qem.mid") with
// WriteFileAtomically: a regular file is replaced only when it was written whole; the
// error names fileName and the system's reason.
bool WriteMidiFile(const std::string& fileName, const std::vector<TMidiFileTrackSource>& tracks,
                   uint32_t ticksPerQuarter, std::string& error);
