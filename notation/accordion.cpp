#include "notation/accordion.h"

#include <algorithm>
#include <array>

#include "settings/settings.h"

namespace {

struct TSpelling {
  int32_t Step = 0;
  TKeySign Accidental = TKeySign::No;
};

// The first (step, accidental) from the root's step upward whose pitch lies `semitones`
// above the root; accidentals tried in the order flat, none, natural, sharp.
TSpelling SpellAbove(int32_t rootStep, TKeySign rootAccidental, int32_t semitones) {
  static constexpr std::array<TKeySign, 4> kOrder = {TKeySign::Flat, TKeySign::No, TKeySign::Natural,
                                                     TKeySign::Sharp};
  int32_t rootPitch = StepSemitone(rootStep) + AccidentalShift(rootAccidental);
  for (int32_t i = 0; i < 14; ++i) {
    int32_t step = (rootStep - 1 + i) % 7 + 1;
    int32_t octaveShift = (rootStep - 1 + i) / 7;
    for (TKeySign accidental : kOrder) {
      int32_t pitch = StepSemitone(step) + AccidentalShift(accidental) + 12 * octaveShift;
      if (pitch - rootPitch == semitones) {
        return {step, accidental};
      }
    }
  }
  return {rootStep, rootAccidental};
}

// The lowest octave, from the chord octave - 1 upward, that puts the member at or above
// the lowest chord pitch.
int32_t ChordMemberOctave(const TSpelling& member, const TAccordionSettings& s) {
  int32_t lowest = MidiKeyOf(s.NoteChord, TKeySign::No, s.OctaveChord);
  int32_t octave = s.OctaveChord - 1;
  while (octave < kHighestOctave && MidiKeyOf(member.Step, member.Accidental, octave) < lowest) {
    ++octave;
  }
  return octave;
}

// Appends the member's doublings above `octave`, so that it sounds in `range` octaves
// counting its own. A doubling whose key would lie above 127 is left out: clamped, it
// would sound another pitch.
void AddOctaveDoublings(TNoteRec& note, const TSpelling& member, int32_t octave, int32_t range) {
  for (int32_t k = 2; k <= range; ++k) {
    const int32_t doubling = octave + k - 1;
    if (StepSemitone(member.Step) + AccidentalShift(member.Accidental) + 12 * doubling > 127) {
      return;
    }
    AddInterval(note.Intervals, static_cast<uint8_t>(member.Step), static_cast<uint8_t>(doubling),
                member.Accidental, note.TieFlag, true);
  }
}

}  // namespace

TAccordionSettings ClampedAccordionSettings() {
  return {kAccordionStepRange.Clamp(AccordionNoteBass),
          kAccordionOctaveBassRange.Clamp(AccordionOctaveBass),
          kAccordionOctavesRange.Clamp(AccordionRangeBass),
          kAccordionStepRange.Clamp(AccordionNoteChord),
          kAccordionOctaveChordRange.Clamp(AccordionOctaveChord),
          kAccordionOctavesRange.Clamp(AccordionRangeChord)};
}

int32_t AccordionBassOctave(TNoteRec& note) {
  TAccordionSettings s = ClampedAccordionSettings();
  int32_t octave = note.Step >= s.NoteBass ? s.OctaveBass : s.OctaveBass + 1;
  if (note.Step < 1 || note.Step > 7) {
    return octave;  // a rest sounds in no octave
  }
  AddOctaveDoublings(note, {note.Step, note.Accidental}, octave, s.RangeBass);
  return octave;
}

void AccordionChordNotes(TNoteRec& note, uint8_t chordKind, int32_t voiceOctave,
                         bool octaveSignGiven, uint8_t chordMergeState, TErrorRecord& errors) {
  std::array<int32_t, 3> shape{};
  TSpelling root{note.Step, note.Accidental};
  switch (chordKind) {
    case 5:
      shape = {0, 4, 7};
      break;
    case 6:
      shape = {0, 3, 7};
      break;
    case 7:
      if (octaveSignGiven && voiceOctave == 5) {
        root = SpellAbove(note.Step, note.Accidental, 4);
        shape = {0, 3, 6};
      } else {
        shape = {0, 4, 10};
      }
      break;
    default:
      errors.Update([](TErrors& e) { e.Code = 41; });
      return;
  }
  if (root.Step < 1 || root.Step > 7) {
    errors.Update([](TErrors& e) { e.Code = 41; });
    return;
  }
  TAccordionSettings s = ClampedAccordionSettings();
  bool noteTaken = false;
  if (chordMergeState == 0) {
    note.Intervals.clear();
    note.Step = 0;
  }
  for (int32_t semitones : shape) {
    TSpelling member = semitones == 0 ? root : SpellAbove(root.Step, root.Accidental, semitones);
    int32_t octave = ChordMemberOctave(member, s);
    if (chordMergeState == 0 && !noteTaken) {
      note.Step = member.Step;
      note.Octave = octave;
      note.Accidental = member.Accidental;
      noteTaken = true;
    } else {
      AddInterval(note.Intervals, static_cast<uint8_t>(member.Step), static_cast<uint8_t>(octave),
                  member.Accidental, note.TieFlag, true);
    }
    AddOctaveDoublings(note, member, octave, s.RangeChord);
  }
}
