// Records of the harmony rules: chords, scale steps and modes, and their line parsers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Position kinds of a chord: how its voices are spread.
enum THarmonyPosition : uint8_t {
  kPositionBroadly = 0,
  kPositionClosely = 1,
  kPositionMixed = 2,
  kPositionUnknown = 3,  // also: any position, when a harmony text names none
};

// The letters that end a chord name in the rules (settable by the rules' [location]).
extern char PositionBroadly;
extern char PositionClosely;
extern char PositionMixed;
extern char PositionUnknown;

// Voice ranges of the harmonizer as diatonic indices ((octave - 1) * 7 + step).
extern uint8_t BassMin;
extern uint8_t BassMax;
extern uint8_t TenorMin;
extern uint8_t TenorMax;
extern uint8_t AltoMin;
extern uint8_t AltoMax;
extern uint8_t SopranoMin;
extern uint8_t SopranoMax;

// One chord: its name without the position letter, the position kind and the scale degrees
// (1..7, counted from the step's root) of bass, tenor, alto and soprano.
struct TChords {
  std::string Name;  // empty for a malformed entry
  uint8_t Position = kPositionUnknown;
  std::array<uint8_t, 4> Degrees{1, 1, 1, 1};
};
using PChords = const TChords*;

// One scale step: its degree (1..9, 0 when none) and the shift of the key signature
// (-7..+7) in which the step's chord is built.
struct TSteps {
  std::string Name;
  int32_t Degree = 0;
  int32_t Alteration = 0;
};
using PSteps = const TSteps*;

// One mode: major (0), minor (1) or other (2), and the alteration of each degree 1..7.
struct TLads {
  std::string Name;
  int32_t Kind = 2;
  std::array<int32_t, 7> Alterations{};
};
using PLads = const TLads*;

// Each parser appends one record made from a rules entry "key=value" (key and value as
// they stand after normalisation). A malformed chord entry appends a record with an
// empty name, which no chord name matches.
void ParseChordLine(std::vector<TChords>& list, std::string_view key, std::string_view value);
void ParseStepLine(std::vector<TSteps>& list, std::string_view key, std::string_view value);
void ParseLadLine(std::vector<TLads>& list, std::string_view key, std::string_view value);
