// The General MIDI instrument names (programs 0..127) and drum names (keys 27..87), as
// the loaded language gives them (code page 1251). Built in: the English name, and for an
// instrument " - " and its Russian name.
#pragma once

#include <string>

inline constexpr int kGmInstrumentCount = 128;
inline constexpr int kGmFirstDrumKey = 27;
inline constexpr int kGmLastDrumKey = 87;
// Language text of program p is kGmInstrumentTextBase + p, of drum key k kGmDrumTextBase + k.
inline constexpr int kGmInstrumentTextBase = 1700;
inline constexpr int kGmDrumTextBase = 1900;

// Empty outside the ranges.
std::string GmInstrumentName(int program);
std::string GmDrumName(int key);
