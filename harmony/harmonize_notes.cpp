// The harmonizer on the notes of a track: reading the note list and writing the chords.
#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "notation/note_record.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "harmony/harmonizer.h"

namespace {

// Voice 1 of the list in order.
std::vector<TNoteRec*> VoiceOneNotes(TNoteList& list) {
  std::vector<TNoteRec*> notes;
  for (TNoteRec* n = list.First; n != nullptr; n = n->Next) {
    notes.push_back(n);
  }
  return notes;
}

// The harmonizer's view of a note. A note harmonized before keeps its written melody in its
// record, so a second run starts from the melody and not from the bass written over it.
THarmonyNote HarmonyNoteOf(const TNoteRec& n) {
  THarmonyNote h;
  h.Written = HarmonyVoiceNote{n.Step, n.Octave, n.Accidental};
  if (n.Harmony) {
    h.Written = n.Harmony->Melody;
  }
  h.WholeNotes = n.Length().ToLongDouble();
  if (n.Signature) {
    h.HasSignature = true;
    h.Numerator = n.Signature->Numerator;
    h.Denominator = n.Signature->Denominator;
    h.SignatureKey = n.Signature->Key;
  }
  h.Text = n.AttachedText.value_or(std::string());
  return h;
}

uint8_t OctaveByte(int32_t octave) { return static_cast<uint8_t>(std::clamp(octave, 0, 255)); }

// The chord into the note: the bass as the note, the upper voices as its intervals.
void WriteChord(TNoteRec& n, const THarmonyVoices& chord) {
  n.Step = chord[kBass].Step;
  n.Octave = chord[kBass].Octave;
  n.Accidental = chord[kBass].Accidental;
  n.Articulation = TShtrih::NonLegato;
  FreeIntervals(n.Intervals);
  for (int v = kTenor; v <= kSoprano; ++v) {
    AddInterval(n.Intervals, static_cast<uint8_t>(chord[v].Step), OctaveByte(chord[v].Octave),
                chord[v].Accidental, 0, true);
  }
}

void SetHarmonyError(uint8_t code, const std::string& text, long double position,
                     int32_t ticksPerMeasure) {
  TErrors e;
  e.Code = code;
  e.Text = "<" + text + ">";
  e.Source = 2;
  e.Voice = 1;
  const long double measure = ticksPerMeasure > 0 ? std::floor(position / ticksPerMeasure) : 0;
  e.Measure = static_cast<uint32_t>(std::clamp<long double>(measure, 0, 4e9L)) + 1;
  GErrors.Set(e);
}

}  // namespace

bool HarmonizeNotes(TNoteList& list, long double& position, int32_t ticksPerMeasure,
                    uint32_t maxTries) {
  position = 0;
  const std::vector<TNoteRec*> notes = VoiceOneNotes(list);
  std::vector<THarmonyNote> input;
  for (const TNoteRec* n : notes) {
    input.push_back(HarmonyNoteOf(*n));
  }
  const auto asks = std::find_if(input.begin(), input.end(),
                                 [](const THarmonyNote& h) { return !h.Text.empty(); });
  if (asks == input.end()) {
    return true;
  }
  THarmonyRules rules;
  if (!LoadHarmonyRules(HarmonyRulesPath(), rules)) {
    HarmonyFailText = SubstituteArgs(LangStrOr(2221, "Не найден файл правил гармонизации %s."),
                                     {Utf8ToCp1251(HarmonyRulesPath()).Text});
    SetHarmonyError(29, asks->Text, 0, ticksPerMeasure);
    return false;
  }
  THarmonyResult result = HarmonizeSequence(input, rules, ticksPerMeasure, maxTries);
  position = result.Position;
  if (!result.Ok) {
    SetHarmonyError(result.Code, result.Text, result.Position, ticksPerMeasure);
    return false;
  }
  for (size_t i = 0; i < notes.size(); ++i) {
    if (result.States[i]) {
      notes[i]->Harmony = std::make_shared<HarmonyState>(std::move(*result.States[i]));
    }
    if (result.Chords[i]) {
      WriteChord(*notes[i], *result.Chords[i]);
      HarmonyWritten = true;
    }
  }
  return true;
}
