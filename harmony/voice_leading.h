// The voice-leading rules of the harmonizer. Each check is true when its rule is broken;
// with report set it puts its message (code page 1251) into HarmonyFailText.
#pragma once

#include <string>
#include <string_view>

#include "base/error_sources.h"
#include "harmony/harmony_state.h"

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
// Two voices that both change their pitch from a perfect fifth, octave or unison to the same.
bool Parallels(const HarmonyState& p, const HarmonyState& c, bool report);
