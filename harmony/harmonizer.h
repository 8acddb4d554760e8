// The four-part harmonizer: a chord position for every note with a harmony text, found by a
// bounded search that goes back to earlier chords when a note has no position left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "harmony/harmony_rules.h"
#include "harmony/harmony_state.h"
#include "harmony/voice_leading.h"

// Set when a harmonization wrote a chord into a note (song preparation clears it).
extern bool HarmonyWritten;

// The positions tried before the search gives up (error 29).
constexpr uint32_t kHarmonySearchTries = 100000;

// One step of the search on one note: places r's current candidate (first voicing, or the
// bass an octave lower on a retry) and checks it against p1 (previous chord) and p2.
// True when the position stands; otherwise the candidate is dropped (Current moves on)
// or the bass was moved and false is returned for the caller to try again.
bool TryChordPosition(HarmonyState& r, const HarmonyState* p1, const HarmonyState* p2,
                      bool report);

// The first mode of lads (list order) and key (-7..7, ascending) in which chord as step
// gives voices (same steps and pitch classes). False when there is none.
bool IdentifyKey(const std::vector<TLads>& lads, const THarmonyVoices& voices,
                 const TChords& chord, const TSteps& step, TLads& lad, int32_t& key);

// The harmonizer's view of one note of a voice.
struct THarmonyNote {
  HarmonyVoiceNote Written;       // the written note; step 0 for a rest
  long double WholeNotes = 0;     // length as a fraction of a whole note
  bool HasSignature = false;      // a time and key signature starts here
  int32_t Numerator = 4;
  int32_t Denominator = 4;
  int32_t SignatureKey = 0;
  std::string Text;               // harmony text (code page 1251); empty: none
};

// The outcome of one harmonization.
struct THarmonyResult {
  bool Ok = false;
  long double Position = 0;       // the furthest time reached, in ticks
  uint8_t Code = 0;               // 28 no mode, 29 no position, 30 no step, 31 unknown key
  std::string Text;               // the harmony text at fault
  std::vector<std::optional<THarmonyVoices>> Chords;  // per note: the chord to write
  std::vector<std::optional<HarmonyState>> States;    // per note: its harmony record
  uint32_t Tries = 0;             // positions tried
  uint32_t Backtracks = 0;        // returns to an earlier chord
};

// Harmonizes a sequence of notes with the given rules. A measure lasts ticksPerMeasure
// ticks; a time signature scales the whole note. The search ends after maxTries positions.
THarmonyResult HarmonizeSequence(const std::vector<THarmonyNote>& notes, const THarmonyRules& rules,
                                 int32_t ticksPerMeasure, uint32_t maxTries = kHarmonySearchTries);

struct TNoteList;

// Harmonizes voice 1 of a note list: every note whose attached text ("{$...}") is a harmony
// text gets a chord, the bass as the note and tenor, alto and soprano as its intervals, and
// its harmony record. The rules are read from the installation only when a note asks for
// harmony. On failure GErrors holds the code (28..31), the text in "<" ">", source 2, voice 1
// and the measure of position, the furthest point reached in ticks; nothing is written.
bool HarmonizeNotes(TNoteList& list, long double& position, int32_t ticksPerMeasure,
                    uint32_t maxTries = kHarmonySearchTries);
