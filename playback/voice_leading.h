// The voice-leading rules of the harmonizer. Each check is true when its rule is broken;
// with report set it puts its message (code page 1251) into HarmonyFailText.
#pragma once

#include <string>
#include <string_view>

#include "playback/harmony_state.h"

// The reason of the last failed harmonization (code page 1251).
extern std::string HarmonyFailText;

// A UTF-8 literal of this module (ASCII and Cyrillic) as code page 1251 bytes.
std::string HarmonyText(std::string_view utf8);

// c: the chord being placed; p: the previous harmony chord; p2: the one before that.
bool BassTenorUnison(const HarmonyState& c, bool report);
bool AllVoicesOneWay(const HarmonyState& p, const HarmonyState& c, bool report);
bool BassFourthsOrFifths(const HarmonyState& p2, const HarmonyState& p, const HarmonyState& c,
                         bool report);
bool AugmentedInterval(const HarmonyState& p, const HarmonyState& c, bool report);
bool BassRepetition(const HarmonyState& p, const HarmonyState& c, bool report);
bool BassSopranoSameWay(const HarmonyState& p, const HarmonyState& c, bool report);
bool HeldVoiceMoves(const HarmonyState& p, const HarmonyState& c, bool report);
bool VariedVoiceStays(const HarmonyState& p, const HarmonyState& c, bool report);
// Ranges, overlapping the neighbouring voices of the previous chord and bass leaps; without
// a previous chord (p null) only the ranges.
bool RangeOrCrossing(const HarmonyState* p, const HarmonyState& c, bool report);
bool Parallels(const HarmonyState& p, const HarmonyState& c, bool report);
