// The harmonizer's rules file and the diatonic arithmetic that places a chord's voices.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "harmony/harmony_records.h"
#include "base/note_arithmetic.h"

// One voice of a chord: step 1..7 (0 = no position yet), octave (octave 5 begins at middle
// C; may go below 0 while the search moves a voice) and accidental.
struct HarmonyVoiceNote {
  int32_t Step = 0;
  int32_t Octave = 0;
  TKeySign Accidental = TKeySign::No;
  bool operator==(const HarmonyVoiceNote&) const = default;
};

// Bass, tenor, alto, soprano.
using THarmonyVoices = std::array<HarmonyVoiceNote, 4>;
enum THarmonyVoice : int { kBass = 0, kTenor = 1, kAlto = 2, kSoprano = 3 };

// The rule lists of one harmonization, read from the rules file.
struct THarmonyRules {
  std::vector<TLads> Lads;
  std::vector<TSteps> Steps;
  std::vector<TChords> Chords;
  std::vector<std::string> Directives;  // "word=keyword" lines as they stand
};

// The rules file of the installation (Resources/qem.hrm).
std::string HarmonyRulesPath();

// The normalised form of a rules line or a harmony text: lower case (code page 1251),
// {comments} removed, blanks collapsed and kept only between two word characters, trimmed.
std::string NormalizeRuleLine(std::string_view line);

// Reads the rules file into rules (cleared first). [location] lines set the position
// letters and [values] lines the voice ranges; both stay in force for later loads.
// False when the file cannot be read.
bool LoadHarmonyRules(const std::string& path, THarmonyRules& rules);
// The same from the lines of a rules file (code page 1251).
void ReadHarmonyRules(const std::vector<std::string>& lines, THarmonyRules& rules);

// Diatonic index ((octave - 1) * 7 + step), signed so that low octaves stay ordered.
int32_t DiatonicIndexOf(const HarmonyVoiceNote& note);
// MIDI key of a voice note, clamped to 0..127 (0 for a step outside 1..7).
inline int32_t VoiceKey(const HarmonyVoiceNote& note) {
  return MidiKeyOf(note.Step, note.Accidental, note.Octave);
}
// The key of the note's step and accidental in octave 1: equal for equal pitch classes.
int32_t PitchClassKey(const HarmonyVoiceNote& note);

// Moves a note count diatonic steps, carrying into the octave.
void AddSteps(HarmonyVoiceNote& note, int32_t count);
// The key signature (sharps positive, clamped to -7..7) on the note's step.
void ApplyKeyAccidental(HarmonyVoiceNote& note, int32_t key);
// One semitone up (raise) or down; double accidentals stay.
void ShiftAccidental(TKeySign& accidental, bool raise);
// Steps from C up to the tonic of the major key with key sharps (negative: flats).
int32_t TonicOffset(int32_t key);
// The mode's alteration of the note's degree, the tonic being tonicOffset steps above C
// and shifted by the step's key alteration.
void ApplyModeAlteration(HarmonyVoiceNote& note, int32_t tonicOffset, int32_t stepAlteration,
                         const TLads& lad);
// The first voicing of a chord of a step in a mode and key; the bass ends in octave 1.
void BuildChordVoicing(THarmonyVoices& voices, const TChords& chord, const TSteps& step,
                       const TLads& lad, int32_t key);
