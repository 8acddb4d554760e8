// The rendered song as a Standard MIDI File: the track list's event lists, head first,
// at the ticks per quarter note of the song's first time signature.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "model/track.h"

// Ticks per quarter note of the rendered song, for the file writer and the player alike:
// from the time signature of the first note of the head's notes, else the one the head
// last wrote, else 4/4; at least 1.
uint32_t SongTicksPerQuarter(PTreck firstTrack, uint32_t ticksPerMeasure);

// WriteMidiFile over the track list from firstTrack.
bool WriteSongMidiFile(std::ostream& out, PTreck firstTrack, uint32_t ticksPerMeasure,
                       std::string& error);
bool WriteSongMidiFile(const std::string& fileName, PTreck firstTrack, uint32_t ticksPerMeasure,
                       std::string& error);
