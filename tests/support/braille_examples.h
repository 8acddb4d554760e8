// The real Braille melodies of the examples folder, read from its cases.json.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TExpectedNote {
  std::optional<int> Key;  // nullopt: a rest
  std::string Duration;    // "num/den" of a whole note
};

struct TBrailleExample {
  std::string Name;
  int Key = 0;
  std::string Time;
  std::vector<std::string> MusicLines;
  std::vector<std::vector<TExpectedNote>> Expected;  // per measure
  std::vector<std::pair<int, int>> Ties;             // (measure, note), 0-based
};

// All cases; an empty list when the file cannot be read.
const std::vector<TBrailleExample>& BrailleExamples();
