// The program's ASCII-Braille cell table: notes, rests, octave signs, accidentals,
// intervals and number digits.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/note_arithmetic.h"

// Step (1..7) and value (1, 2, 4, 8) of a note cell; false, with both 0, for any other
// character (rests included).
bool BrailleNoteCell(char c, int32_t& step, int32_t& value);

// Value (1, 2, 4, 8) of a rest cell 'm', 'u', 'v', 'x'; 0 for any other character.
int32_t RestCellValue(char c);

// Index 0..3 of a cell value 1, 2, 4, 8 (the row of the cell table); -1 for any other.
int32_t CellValueIndex(int32_t value);

// The cell of a note (step 1..7) or rest (step 0) of value 1, 2, 4 or 8; empty otherwise.
std::string_view BrailleCellOfNote(int32_t step, int32_t value);

// Octave (1..9) of an octave sign ("AA", "A", "B", "L", "!", "K", "@", ",", ",,"); 0 otherwise.
int32_t OctaveOfSign(std::string_view sign);

// The octave sign of octave 1..9; empty for other numbers.
std::string_view OctaveSignText(int32_t octave);

// The accidental of an accidental sign ("((", "(", "\", "M", "MM"); false otherwise.
bool AccidentalOfSign(std::string_view sign, TKeySign& accidental);

// Interval number (2..8) of a single interval sign character; 0 otherwise.
int32_t IntervalOfSign(char c);

// The single interval sign of interval 2..8 (8 = octave); 0 otherwise.
char IntervalSignOf(int32_t interval);

// Upper number digits 'a'..'i' = 1..9, 'j' = 0; -1 for other characters.
int32_t UpperDigitValue(char c);

// Lower number digits '0'..'9'; -1 for other characters.
int32_t LowerDigitValue(char c);

// The number sign.
constexpr char kNumberSign = 'V';
