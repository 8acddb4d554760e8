// The rendered song as a Standard MIDI File: the track list's event lists, head first,
// with the division from the time signature the head's runtime last wrote.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "model/track.h"

// Ticks per quarter note of the song's file (4/4 when the head has no runtime).
uint16_t SongMidiDivision(PTreck firstTrack, uint32_t ticksPerMeasure);

// WriteMidiFile over the track list from firstTrack.
bool WriteSongMidiFile(std::ostream& out, PTreck firstTrack, uint32_t ticksPerMeasure,
                       std::string& error);
bool WriteSongMidiFile(const std::string& fileName, PTreck firstTrack, uint32_t ticksPerMeasure,
                       std::string& error);
