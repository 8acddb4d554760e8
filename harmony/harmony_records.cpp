#include "harmony/harmony_records.h"

#include <algorithm>

char PositionBroadly = 'b';
char PositionClosely = 'c';
char PositionMixed = 'm';
char PositionUnknown = 'u';

uint8_t BassMin = 8;
uint8_t BassMax = 29;
uint8_t TenorMin = 14;
uint8_t TenorMax = 33;
uint8_t AltoMin = 23;
uint8_t AltoMax = 44;
uint8_t SopranoMin = 31;
uint8_t SopranoMax = 53;

namespace {

bool IsDegreeDigit(char c) { return c >= '1' && c <= '7'; }

// The position kind a letter stands for, or -1 when it is none of the four.
int PositionOfLetter(char c) {
  if (c == PositionMixed) {
    return kPositionMixed;
  }
  if (c == PositionClosely) {
    return kPositionClosely;
  }
  if (c == PositionBroadly) {
    return kPositionBroadly;
  }
  if (c == PositionUnknown) {
    return kPositionUnknown;
  }
  return -1;
}

}  // namespace

void ParseChordLine(std::vector<TChords>& list, std::string_view key, std::string_view value) {
  TChords chord;
  const int position = key.size() > 1 ? PositionOfLetter(key.back()) : -1;
  if (position >= 0 && value.size() == 4 && std::all_of(value.begin(), value.end(), IsDegreeDigit)) {
    chord.Name = std::string(key.substr(0, key.size() - 1));
    chord.Position = static_cast<uint8_t>(position);
    for (size_t i = 0; i < 4; ++i) {
      chord.Degrees[i] = static_cast<uint8_t>(value[i] - '0');
    }
  }
  list.push_back(std::move(chord));
}

void ParseStepLine(std::vector<TSteps>& list, std::string_view key, std::string_view value) {
  TSteps step;
  step.Name = std::string(key);
  if (!value.empty() && value.front() >= '1' && value.front() <= '9') {
    step.Degree = value.front() - '0';
    value.remove_prefix(1);
  }
  if (value.size() == 2) {
    const char digit = value[1];
    if (value[0] == '-' && digit >= '0' && digit <= '7') {
      step.Alteration = -(digit - '0');
    } else if (value[0] == '+' && digit >= '1' && digit <= '7') {
      step.Alteration = digit - '0';
    }
  }
  list.push_back(std::move(step));
}

void ParseLadLine(std::vector<TLads>& list, std::string_view key, std::string_view value) {
  TLads lad;
  lad.Name = std::string(key);
  if (value.starts_with("major")) {
    lad.Kind = 0;
  } else if (value.starts_with("minor")) {
    lad.Kind = 1;
  }
  int32_t count = 0;
  for (const char c : value) {
    if (IsDegreeDigit(c)) {
      lad.Alterations[c - '1'] = count;
      count = 0;
    } else if (c == '-') {
      --count;
    } else if (c == '+') {
      ++count;
    }
  }
  list.push_back(std::move(lad));
}
