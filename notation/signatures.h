// Signatures at a measure start, whole-measure rests and clef transpositions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "notation/measure_text.h"
#include "notation/notation_state.h"

// At a measure start: takes a key and time signature prefix (naturals, then sharps or
// flats, the number sign, upper digits, lower digits) off the text into token and parses
// it. True when such a prefix was taken (its numbers may still be invalid).
bool ReadSignatures(TReaderContext& ctx, TMeasureText& text, std::string& token, uint8_t voice,
                    TErrorRecord& errors);

// Applies a signature text to the voice: key signs change the key relative to its current
// value (a sign that does not fit sets error 11), then the numerator in upper digits and
// the denominator in lower digits. A numerator above 255 or a denominator other than 1, 2,
// 4 ... 128 is left 0. True when both are positive.
bool ParseSignature(TReaderContext& ctx, std::string_view signature, uint8_t voice, TErrorRecord& errors);

// When the text is "m", empty, or begins with "m()" or "()", and the voice has a time
// signature, writes the rest cells that fill the measure in place of the "m" (or before
// the text).
void ExpandMeasureRest(TReaderContext& ctx, TMeasureText& text, uint8_t voice);

// The rest cells that fill a measure of num/den.
std::string MeasureRestCells(uint8_t num, uint8_t den);

// Reads an octave transposition after a clef ("!V" or ".V" and a number 8 or 5 in upper
// digits for upward, lower digits for downward) into token; 128 + semitones, or 128.
uint8_t ReadClefTransposition(TReaderContext& ctx, TMeasureText& text, std::string& token, uint8_t voice);
