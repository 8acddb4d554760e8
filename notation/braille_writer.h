// Notes back to Braille: writes note lists as music lines the translation reads again.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "notation/notation_state.h"
#include "notation/note_record.h"

// Writer state of one voice.
struct TWriterVoice {
  int32_t LastOctave = 0;  // 0 = none written yet
  int32_t LastStep = 0;
  uint8_t TimeNum = 4;     // the writer's time signature
  uint8_t TimeDen = 4;
};

// What the writer keeps between measures: its own per-voice state and, beside it, the
// state a reader of the written text would have (key, time signature, accidental memory,
// last step and octave), so that it writes exactly the signs that reader needs.
struct TWriterContext {
  std::array<TWriterVoice, kVoiceCount> Voices;
  TReaderContext Reader;
  int32_t TicksPerMeasure = 1920;

  explicit TWriterContext(int32_t ticksPerMeasure = 1920) { ResetVoiceStates(ticksPerMeasure); }
  // Back to the start: nothing written, 4/4, no key.
  void ResetVoiceStates(int32_t ticksPerMeasure);
  // Ticks of a whole note of the voice, so that a measure lasts TicksPerMeasure.
  long double WholeNoteTicks(uint8_t voice) const;
};

// The accidental sign to write before a note or interval of the step so that a reader
// hears the accidental (possibly empty); updates the accidental memory.
std::string AccidentalSignText(TWriterContext& ctx, int32_t step, TKeySign accidental, uint8_t voice);

// The interval sign of an interval entry of a note, with the entry's octave sign in front
// when the reader would place it in another octave, and its accidental between them.
std::string IntervalSignText(const TNoteRec& note, const TIntervalRec& entry, const std::string& accidentalSign);

// The signs of one voice's notes of a measure (rests only: "m"), value signs included
// where the values would otherwise be read another way. `leading` is what the measure's
// text of this voice begins with (its signature).
std::string NoteToBraille(TWriterContext& ctx, const std::vector<const TNoteRec*>& notes, uint8_t voice,
                          const std::string& leading = {});

// Writes the notes from `first` (voice `voice`) measure by measure: one line per measure,
// the further voices of a measure (unless singleVoice) after "()". Line startMeasure - 1
// onward are replaced, or appended past the end; prefix goes before the first line.
void NoteListToBraille(TWriterContext& ctx, bool singleVoice, const TNoteRec* first, std::vector<std::string>& lines,
                       const std::string& prefix, int32_t startMeasure, uint8_t voice);

// The same with a fresh writer state for the measure length in ticks.
void NoteListToBraille(bool singleVoice, const TNoteRec* first, std::vector<std::string>& lines,
                       int32_t ticksPerMeasure, const std::string& prefix, int32_t startMeasure, uint8_t voice);
