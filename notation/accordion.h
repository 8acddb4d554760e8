// The accordion's left hand: bass buttons and chord buttons.
#pragma once

#include <cstdint>

#include "base/errors.h"
#include "notation/note_record.h"

// The "Accordion" settings, clamped to sane ranges.
struct TAccordionSettings {
  int32_t NoteBass;     // 1..7
  int32_t OctaveBass;   // 0..9
  int32_t RangeBass;    // 1..3 octaves
  int32_t NoteChord;    // 1..7
  int32_t OctaveChord;  // 1..9
  int32_t RangeChord;   // 1..3 octaves
};

// The settings globals as the accordion rules use them.
TAccordionSettings ClampedAccordionSettings();

// Octave of a bass-button note; appends the note's octave doublings to its intervals.
int32_t AccordionBassOctave(TNoteRec& note);

// Turns a chord-button note (holding the root) into its chord: kind 5 major, 6 minor,
// 7 seventh without fifth (diminished when octaveSignGiven and voiceOctave is 5).
// chordMergeState 0 makes the note itself the root; otherwise every member goes to the
// interval list. Another kind sets error 41 and changes nothing.
void AccordionChordNotes(TNoteRec& note, uint8_t chordKind, int32_t voiceOctave,
                         bool octaveSignGiven, uint8_t chordMergeState, TErrorRecord& errors);
