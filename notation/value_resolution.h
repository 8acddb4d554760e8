// Value resolution: each Braille note cell stands for a large or a small value; this
// finds the one assignment that fills a measure exactly, with Braille's grouping of
// short notes, and encodes measures and solutions for the measure cache.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/rational.h"

// One note of a voice's measure as the resolution sees it.
struct TValueCell {
  uint8_t FixedKind = 0;  // 0 free, 1 large, 2 small
  uint8_t Value = 0;      // cell value 1, 2, 4, 8
  uint8_t Dots = 0;
  uint8_t Tuplet = 1;
};

// The value kind and value a note resolves to.
struct TValueChoice {
  uint8_t Kind = 0;
  uint8_t Value = 0;
  bool operator==(const TValueChoice&) const = default;
};

// Outcome of a search: code 0 with one choice per cell, or 2 (nothing fits, something was
// too long), 3 (nothing fits), 4 (more than one way), 5 (lengths beyond exact arithmetic).
struct TValueSearch {
  uint8_t Code = 0;
  std::vector<TValueChoice> Choices;
};

// Length of a measure of num/den as a fraction of a whole note.
TRational MeasureLength(uint8_t num, uint8_t den);

// Searches the assignments of large and small values (and grouped values: an eighth cell
// after a non-eighth value may take that value and kind) that fill the measure exactly.
// Plain solutions decide when there is one, or when grouping does not give exactly one;
// otherwise the grouped ones decide. Time and memory are linear in the number of cells.
TValueSearch SearchMeasureValues(const std::vector<TValueCell>& cells, const TRational& length);

// Sum of the cells with their fixed kinds (all must be fixed).
TRational FixedMeasureSum(const std::vector<TValueCell>& cells);

// Rests, largest first, that fill a gap measured in whole notes (1/1 .. 1/128).
std::vector<TValueChoice> GapRests(TRational gap);

// An excess as terms "q/d" of the measure length (d = 1, 2, 4 ... 128) joined by " + ".
std::string ExcessText(TRational excess, const TRational& length);

// The cache key of a measure: num/den as a decimal number, ":", then per cell its fixed
// kind ("l" or "s"), "r" and the tuplet number, the C cell of its value, one "." per dot.
std::string RhythmKey(uint8_t num, uint8_t den, const std::vector<TValueCell>& cells);

// Two letters per choice: "l" or "s", then "y", "n", "P" or "d".
std::string EncodeSolution(const std::vector<TValueChoice>& choices);

// Decodes a cached solution and checks it against the cells: length, letters, fixed kinds,
// values (the cell's own, or a grouped one), and the exact sum. False when anything fails.
bool DecodeSolution(const std::string& solution, const std::vector<TValueCell>& cells, const TRational& length,
                    std::vector<TValueChoice>& choices);
