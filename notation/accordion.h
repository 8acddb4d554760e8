// The accordion's left hand: bass buttons and chord buttons.
#pragma once

#include <cstdint>

#include "base/errors.h"
#include "notation/note_record.h"

// The "Accordion" settings, kept to their ranges (settings/settings.h).
struct TAccordionSettings {
  int32_t NoteBass;
  int32_t OctaveBass;
  int32_t RangeBass;    // octaves
  int32_t NoteChord;
  int32_t OctaveChord;
  int32_t RangeChord;   // octaves
};

// The settings globals as the accordion rules use them (a script may have set them
// out of range).
TAccordionSettings ClampedAccordionSettings();

// Octave of a bass-button note; appends the note's octave doublings to its intervals.
int32_t AccordionBassOctave(TNoteRec& note);

// Turns a chord-button note (holding the root) into its chord: kind 5 major, 6 minor,
// 7 seventh without fifth (diminished when octaveSignGiven and voiceOctave is 5).
// chordMergeState 0 makes the note itself the root; otherwise every member goes to the
// interval list. Another kind sets error 41 and changes nothing.
void AccordionChordNotes(TNoteRec& note, uint8_t chordKind, int32_t voiceOctave,
                         bool octaveSignGiven, uint8_t chordMergeState, TErrorRecord& errors);
