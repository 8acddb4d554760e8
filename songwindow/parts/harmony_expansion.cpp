#include "songwindow/parts/harmony_expansion.h"

#include "base/note_arithmetic.h"
#include "model/song_text.h"
#include "notation/braille_writer.h"

namespace {

bool SamePitch(const TNoteRec& a, const TNoteRec& b) {
  return a.Step == b.Step && a.Accidental == b.Accidental && a.Octave == b.Octave;
}

bool SamePitch(const TIntervalRec& a, const TIntervalRec& b) {
  return a.Step == b.Step && a.Accidental == b.Accidental && a.Octave == b.Octave;
}

// The voice's note at a control note: its rhythm, and the tones the choice takes.
TNoteRec* ExpandedNote(TNoteList& list, const TNoteRec& control, const THarmonyChoice& choice) {
  TNoteRec* n = list.NewNote();
  if (choice.KeepNote) {
    n->Step = control.Step;
    n->Octave = control.Octave;
  }
  n->Value = control.Value;
  n->ValueKind = control.ValueKind;
  n->Dots = control.Dots;
  n->Tuplet = control.Tuplet;
  n->TieFlag = control.TieFlag;
  n->Accidental = control.Accidental;
  n->Articulation = TShtrih::NonLegato;
  n->Transposition = kNoTransposition;
  n->Signature = control.Signature;
  n->Measure = control.Measure;
  n->Voice = 1;
  for (size_t k = 0; k < choice.Members.size() && k < control.Intervals.size(); ++k) {
    if (choice.Members[k]) {
      const TIntervalRec& iv = control.Intervals[k];
      AddInterval(n->Intervals, iv.Step, iv.Octave, iv.Accidental, 0, false);
    }
  }
  if (n->Step == 0 && !n->Intervals.empty()) {
    const TIntervalRec lowest = n->Intervals.front();
    n->Step = lowest.Step;
    n->Octave = lowest.Octave;
    n->Accidental = lowest.Accidental;
    n->Intervals.erase(n->Intervals.begin());
  }
  return n;
}

// Ties the tones that `prior` repeats in `note`: the note itself and the first three
// chord notes, each with the one at the same place.
void TieRepeatedTones(TNoteRec& prior, const TNoteRec& note) {
  if (prior.Step > 0 && SamePitch(prior, note)) {
    prior.Articulation = TShtrih::Legatisimo;
  }
  for (size_t k = 0; k < 3 && k < prior.Intervals.size() && k < note.Intervals.size(); ++k) {
    if (SamePitch(prior.Intervals[k], note.Intervals[k])) {
      prior.Intervals[k].Flag = kIntervalTied;
    }
  }
}

}  // namespace

THarmonyExpansion ExpandHarmony(const TNoteRec* first, int32_t ticksPerMeasure,
                                const THarmonyChoiceAt& choiceAt) {
  THarmonyExpansion result;
  auto list = std::make_shared<TNoteList>();
  long double wholeTicks = ticksPerMeasure > 0 ? ticksPerMeasure : 1920;
  long double priorMeter = 1;  // 4/4
  long double tick = 0;
  TNoteRec* prior = nullptr;
  for (const TNoteRec* c = first; c != nullptr; c = c->Next) {
    if (c->Signature && c->Signature->Numerator > 0 && c->Signature->Denominator > 0) {
      const long double meter =
          static_cast<long double>(c->Signature->Numerator) / c->Signature->Denominator;
      wholeTicks = wholeTicks / meter * priorMeter;
      priorMeter = meter;
    }
    const std::optional<THarmonyChoice> choice = choiceAt(tick);
    if (!choice) {
      return {};
    }
    tick += NoteDuration(c->ValueKind, static_cast<uint8_t>(c->Value), c->Dots, c->Tuplet, wholeTicks);
    TNoteRec* n = ExpandedNote(*list, *c, *choice);
    if (choice->TieRepeated && prior != nullptr && c->Step > 0) {
      TieRepeatedTones(*prior, *n);
    }
    result.TookTones = result.TookTones || n->Step > 0;
    (prior == nullptr ? list->First : prior->Next) = n;
    prior = n;
  }
  result.Notes = std::move(list);
  return result;
}

std::vector<std::string> ExpansionLines(const TNoteRec* first, int32_t ticksPerMeasure) {
  std::vector<std::string> lines;
  NoteListToBraille(true, first, lines, ticksPerMeasure, "", 1, 1);
  for (std::string& line : lines) {
    line = CleanVoiceText(line);
  }
  return lines;
}

std::vector<std::string> WithVoiceTexts(std::vector<std::string> lines, uint16_t voice,
                                        const std::vector<std::string>& voiceTexts) {
  if (lines.size() < voiceTexts.size()) {
    lines.resize(voiceTexts.size(), "m");
  }
  for (size_t i = 0; i < voiceTexts.size(); ++i) {
    std::string before;
    std::string after;
    SplitVoiceText(lines[i], voice, before, after);
    std::vector<std::string> one = {before + CleanVoiceText(voiceTexts[i]) + after};
    TidyMusicLines(one);
    lines[i] = one.front();
  }
  return lines;
}
