// Music arithmetic shared by the notation and rendering code: keys, note lengths,
// diatonic indices, character classes, hex digits and a guarded division.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/rational.h"

// Accidentals, carried as a byte. No = nothing written.
enum class TKeySign : uint8_t { DoubleFlat = 0, Flat = 1, No = 2, Natural = 3, Sharp = 4, DoubleSharp = 5 };

// Value kinds of a note cell: each cell stands for a large or a small value.
constexpr uint8_t kValueKindUnresolved = 0;
constexpr uint8_t kValueKindLarge = 1;  // whole, half, quarter, eighth
constexpr uint8_t kValueKindSmall = 2;  // 16th, 32nd, 64th, 128th

// Lowest and highest octave that hold MIDI keys.
constexpr int32_t kLowestOctave = 0;
constexpr int32_t kHighestOctave = 10;
// Highest octave a note may reach: the nearest-position rule may carry a melody past the
// keys (MidiKeyOf holds them at 127) and back down; a chord note keeps its octave in a byte.
constexpr int32_t kHighestNoteOctave = 255;

// x / n when n >= 1, else 0.
double SafeDiv(int32_t n, double x);

// Length in ticks of a note: kind 1 = large values, any other = small; value 1, 2, 4 or 8
// (any other value gives 0); each dot adds half of what the last added; a tuplet > 1
// scales by 2 / tuplet.
long double NoteDuration(uint8_t kind, uint8_t value, uint8_t dots, uint8_t tuplet,
                         long double wholeTicks);

// The same length exactly, as a fraction of a whole note. Dots past the 24th are ignored.
TRational NoteFraction(uint8_t kind, uint8_t value, uint8_t dots, uint8_t tuplet);

// Semitone of step 1..7 (C..B) above C; -1 for any other step.
int32_t StepSemitone(int32_t step);

// Semitone shift of an accidental (-2..+2).
int32_t AccidentalShift(TKeySign accidental);

// MIDI key of a written note, clamped to 0..127; steps outside 1..7 give 0.
int32_t MidiKeyOf(int32_t step, TKeySign accidental, int32_t octave);

// 0..15 for a hex digit, 0 for any other character.
uint8_t HexDigitValue(char c);

// Sum of the character-class bits of a text: 1 letters, 2 number characters (digits,
// commas, a leading minus), 4 anything else but the blank, 8 the blank. Empty gives 0.
uint8_t ClassifyText(std::string_view text);

// (octave - 1) * 7 + step, kept in a byte.
uint8_t DiatonicIndex(uint8_t step, uint8_t octave);

// The octave clamped to kLowestOctave..kHighestNoteOctave.
int32_t ClampOctave(int64_t octave);
