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

// Ticks per quarter note for a measure of ticksPerMeasure ticks in numerator/denominator
// time, kept to 1..32767 (a numerator or denominator of 0 counts as 4/4).
uint16_t MidiFileDivision(uint32_t ticksPerMeasure, int numerator, int denominator);

// Writes the file to a stream. Each track's chunk is "MTrk", its length, a 0 delta time
// and the track's published event bytes; a list whose last event is not end-of-track
// gets one, a track with no events gets only end-of-track. The header counts the chunks
// written. False with a reason when the events of a list are broken or the stream fails.
bool WriteMidiFile(std::ostream& out, const std::vector<TMidiFileTrackSource>& tracks,
                   uint16_t division, std::string& error);

// Writes the file under fileName (empty: ProgramDir + "Resources/qem.mid") with
// WriteFileAtomically: a regular file is replaced only when it was written whole; the
// error names fileName and the system's reason.
bool WriteMidiFile(const std::string& fileName, const std::vector<TMidiFileTrackSource>& tracks,
                   uint16_t division, std::string& error);
