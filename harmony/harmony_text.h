// Reading the harmony text written on a note: directives, mode, step and chord.
#pragma once

#include <string>

#include "harmony/harmony_rules.h"
#include "harmony/harmony_state.h"

// Reads a harmony text into state, whose inherited fields (melody voice, flags) are set
// already: "[directives][mode]step[chord][position letter[soprano degree]][=[mode]step]".
// Blanks between the parts are skipped. Fills the directive flags, NamedLad, Step, the
// candidate chords, StepsRef and LadRef. False when the text names no step.
bool ReadHarmonyText(const std::string& text, const THarmonyRules& rules, HarmonyState& state);

// Applies one directive keyword to a harmony record; false for an unknown keyword.
bool ApplyHarmonyDirective(const std::string& keyword, HarmonyState& state);
