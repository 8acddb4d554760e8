#include "harmony/harmonizer.h"

#include <algorithm>

#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "harmony/harmony_text.h"

bool HarmonyWritten = false;

namespace {

int32_t Di(const HarmonyState& s, int v) { return DiatonicIndexOf(s.Voices[v]); }

void ShiftOctaves(HarmonyState& r, int from, int to, int32_t by) {
  for (int v = from; v <= to; ++v) {
    r.Voices[v].Octave += by;
  }
}

// Lowers the bass an octave; false when it stands in the lowest octave already.
bool DropBass(HarmonyState& r) {
  if (r.Voices[kBass].Octave - 1 < kLowestOctave) {
    return false;
  }
  --r.Voices[kBass].Octave;
  return true;
}

bool DropCandidate(HarmonyState& r) {
  ++r.Current;
  r.Voices = THarmonyVoices{};
  return false;
}

// The written note in its voice: the same step and pitch; the other voices follow its octave.
// A candidate that does not hold the note names that as the reason only while no rule has
// been named at this point: the rule that blocked a fitting candidate tells more.
bool PutMelodyInPlace(HarmonyState& r, bool report) {
  HarmonyVoiceNote& melody = r.Voices[r.MelodyVoice];
  if (melody.Step != r.Melody.Step || PitchClassKey(melody) != PitchClassKey(r.Melody)) {
    if (report && HarmonyFailText.empty()) {
      HarmonyFailText = LangStrOr(2218, "Нота мелодии не входит в аккорд.");
    }
    return false;
  }
  ShiftOctaves(r, kBass, kSoprano, r.Melody.Octave - melody.Octave);
  return true;
}

// Raises voices from..to an octave at a time until the upper three stand high enough.
template <class Enough>
void RaiseUntil(HarmonyState& r, int from, Enough enough) {
  while (!enough()) {
    ShiftOctaves(r, from, kSoprano, 1);
  }
}

// The first placement of a candidate: the voicing, the melody in its voice, the voices
// raised over the previous chord (or to their ranges) and the bass brought into its range.
bool PlaceFirstTime(HarmonyState& r, const HarmonyState* p1, bool report) {
  BuildChordVoicing(r.Voices, r.Chords[r.Current], r.Step, *r.Lad, r.Key);
  const bool rest = r.Melody.Step == 0;
  if (!rest && !PutMelodyInPlace(r, report)) {
    return false;
  }
  const int from = rest ? kBass : kTenor;
  if (p1 == nullptr && r.MelodyIsWrittenBass()) {
    for (int v = kTenor; v <= kSoprano; ++v) {
      const uint8_t low = v == kTenor ? TenorMin : v == kAlto ? AltoMin : SopranoMin;
      while (Di(r, v) < low) {
        ++r.Voices[v].Octave;
      }
    }
  } else if (p1 == nullptr && rest) {
    RaiseUntil(r, kBass, [&] {
      return Di(r, kTenor) >= TenorMin && Di(r, kAlto) >= AltoMin && Di(r, kSoprano) >= SopranoMin;
    });
  } else if (p1 != nullptr && (rest || r.MelodyIsWrittenBass())) {
    RaiseUntil(r, from, [&] {
      return Di(r, kTenor) >= Di(*p1, kBass) && Di(r, kAlto) >= Di(*p1, kTenor) &&
             Di(r, kSoprano) >= Di(*p1, kAlto);
    });
  }
  if (!r.MelodyIsWrittenBass()) {
    while (Di(r, kBass) > BassMax) {
      --r.Voices[kBass].Octave;
    }
  }
  return true;
}

// The checks that r's flags ask for, in their order; true at the first broken one.
bool AnyRuleBroken(const HarmonyState& r, const HarmonyState* p1, const HarmonyState* p2,
                   bool report) {
  if (p1 == nullptr) {
    return r.NoFrames == 0 && RangeOrCrossing(nullptr, r, report);
  }
  const HarmonyState& p = *p1;
  return (r.AllowParallels == 0 && Parallels(p, r, report)) ||
         (r.NoFrames == 0 && RangeOrCrossing(&p, r, report)) ||
         (r.BassSopranoFree == 0 && BassSopranoSameWay(p, r, report)) ||
         HeldVoiceMoves(p, r, report) || VariedVoiceStays(p, r, report) ||
         (r.AllowBassRepetition == 0 && BassRepetition(p, r, report)) ||
         (r.AllowAllVoicesSameWay == 0 && AllVoicesOneWay(p, r, report)) ||
         (r.AllowAugmented == 0 && AugmentedInterval(p, r, report)) ||
         (r.AllowBassLeaps == 0 && p2 != nullptr && BassFourthsOrFifths(*p2, p, r, report)) ||
         (r.AllowBassTenorUnison == 0 && BassTenorUnison(r, report));
}

}  // namespace

bool TryChordPosition(HarmonyState& r, const HarmonyState* p1, const HarmonyState* p2,
                      bool report) {
  if (r.Exhausted() || !r.Lad) {
    return false;
  }
  if (!r.HasPosition()) {
    if (!PlaceFirstTime(r, p1, report)) {
      return DropCandidate(r);
    }
  } else if (r.MelodyIsWrittenBass() || !DropBass(r)) {
    return DropCandidate(r);
  }
  while (Di(r, kBass) >= BassMin && AnyRuleBroken(r, p1, p2, report)) {
    if (r.MelodyIsWrittenBass() || !DropBass(r)) {
      return DropCandidate(r);
    }
  }
  if (Di(r, kBass) < BassMin) {
    return DropCandidate(r);
  }
  return true;
}

bool IdentifyKey(const std::vector<TLads>& lads, const THarmonyVoices& voices,
                 const TChords& chord, const TSteps& step, TLads& lad, int32_t& key) {
  for (const TLads& candidate : lads) {
    for (int32_t k = -7; k <= 7; ++k) {
      THarmonyVoices built;
      BuildChordVoicing(built, chord, step, candidate, k);
      bool same = true;
      for (int v = kBass; v <= kSoprano; ++v) {
        same = same && built[v].Step == voices[v].Step &&
               PitchClassKey(built[v]) == PitchClassKey(voices[v]);
      }
      if (same) {
        lad = candidate;
        key = k;
        return true;
      }
    }
  }
  return false;
}

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

// The state of one harmonization: the notes, their times, the records and the tries spent.
class THarmonySearch {
 public:
  THarmonySearch(const std::vector<THarmonyNote>& notes, const THarmonyRules& rules,
                 int32_t ticksPerMeasure, uint32_t maxTries)
      : notes_(notes), rules_(rules), maxTries_(maxTries) {
    MeasureTimes(ticksPerMeasure);
    states_.resize(notes.size());
    result_.Chords.resize(notes.size());
  }

  THarmonyResult Run();

 private:
  void MeasureTimes(int32_t ticksPerMeasure);
  size_t PrevHarmony(size_t i) const;
  bool Prepare(size_t i);
  bool Modulate(size_t i, size_t p1);
  void ResetAfter(size_t j);
  bool Fail(uint8_t code, size_t i);

  const std::vector<THarmonyNote>& notes_;
  const THarmonyRules& rules_;
  const uint32_t maxTries_;
  std::vector<long double> start_;           // ticks at the start of each note
  std::vector<long double> end_;
  std::vector<size_t> lastSignature_;        // the last note at or before i with a signature
  std::vector<std::optional<HarmonyState>> states_;
  size_t furthest_ = 0;                      // the harmony note at the furthest point
  THarmonyResult result_;
};

// Start and end of every note; a signature scales the whole note by old over new.
void THarmonySearch::MeasureTimes(int32_t ticksPerMeasure) {
  long double whole = ticksPerMeasure;
  int32_t num = 4;
  int32_t den = 4;
  long double time = 0;
  size_t signature = kNone;
  for (size_t i = 0; i < notes_.size(); ++i) {
    const THarmonyNote& n = notes_[i];
    if (n.HasSignature) {
      signature = i;
      if (n.Numerator > 0 && n.Denominator > 0) {
        whole = whole * (static_cast<long double>(num) / den) /
                (static_cast<long double>(n.Numerator) / n.Denominator);
        num = n.Numerator;
        den = n.Denominator;
      }
    }
    lastSignature_.push_back(signature);
    start_.push_back(time);
    time += n.WholeNotes * whole;
    end_.push_back(time);
  }
}

size_t THarmonySearch::PrevHarmony(size_t i) const {
  while (i > 0) {
    --i;
    if (!notes_[i].Text.empty()) {
      return i;
    }
  }
  return kNone;
}

// Creates the record on the first visit; on every visit sets its key and mode from the
// previous harmony note (or a signature since), then applies a modulation.
bool THarmonySearch::Prepare(size_t i) {
  const size_t p1 = PrevHarmony(i);
  const HarmonyState* prev = p1 == kNone ? nullptr : &*states_[p1];
  if (!states_[i]) {
    HarmonyState r;
    r.Melody = notes_[i].Written;
    if (prev != nullptr) {
      r.MelodyVoice = prev->MelodyVoice;
      r.AllowBassTenorUnison = prev->AllowBassTenorUnison;
      r.AllowBassRepetition = prev->AllowBassRepetition;
    }
    if (!ReadHarmonyText(notes_[i].Text, rules_, r)) {
      return Fail(30, i);
    }
    states_[i] = std::move(r);
  }
  HarmonyState& r = *states_[i];
  const size_t sig = lastSignature_[i];
  const bool newSignature = sig != kNone && (p1 == kNone || sig > p1);
  r.Key = newSignature ? notes_[sig].SignatureKey : prev != nullptr ? prev->Key : 0;
  r.Lad = r.NamedLad ? r.NamedLad : prev != nullptr ? prev->Lad : std::nullopt;
  if (!r.Lad) {
    return Fail(28, i);
  }
  if (r.Chords.empty()) {
    HarmonyFailText = LangStrOr(2219, "Такого аккорда нет в правилах гармонизации.");
    return Fail(29, i);
  }
  return p1 == kNone || Modulate(i, p1);
}

// After a note that names its chord's step in a new key: the key (and, unless this note
// names one, the mode) in which that chord is what it was written as.
bool THarmonySearch::Modulate(size_t i, size_t p1) {
  const HarmonyState& prev = *states_[p1];
  HarmonyState& r = *states_[i];
  if (!prev.StepsRef || prev.Exhausted()) {
    return true;
  }
  const std::vector<TLads> named = prev.LadRef ? std::vector<TLads>{*prev.LadRef} : rules_.Lads;
  TLads lad;
  int32_t key = 0;
  if (IdentifyKey(named, prev.Voices, prev.Chords[prev.Current], *prev.StepsRef, lad, key)) {
    r.Key = key;
    if (!r.NamedLad) {
      r.Lad = lad;
    }
    return true;
  }
  return r.NamedLad ? true : Fail(31, i);
}

// Every harmony note after j starts again from its first candidate.
void THarmonySearch::ResetAfter(size_t j) {
  for (size_t k = j + 1; k < states_.size(); ++k) {
    if (states_[k]) {
      states_[k]->Current = 0;
      states_[k]->Voices = THarmonyVoices{};
    }
    result_.Chords[k].reset();
  }
  result_.Chords[j].reset();
}

bool THarmonySearch::Fail(uint8_t code, size_t i) {
  result_.Code = code;
  result_.Text = notes_[i].Text;
  return false;
}

THarmonyResult THarmonySearch::Run() {
  size_t i = 0;
  while (i < notes_.size()) {
    if (notes_[i].Text.empty()) {
      result_.Position = std::max(result_.Position, end_[i]);
      ++i;
      continue;
    }
    if (!Prepare(i)) {
      return result_;
    }
    HarmonyState& r = *states_[i];
    const size_t p1 = PrevHarmony(i);
    const size_t p2 = p1 == kNone ? kNone : PrevHarmony(p1);
    const bool report = result_.Position <= start_[i];
    if (report && i != furthest_) {
      furthest_ = i;
      HarmonyFailText.clear();
    }
    bool placed = false;
    while (!placed && !r.Exhausted()) {
      if (++result_.Tries > maxTries_) {
        const std::string reason = HarmonyFailText;
        HarmonyFailText = LangStrOr(
            2220, "Поиск прекращён: перебрано слишком много вариантов расположения аккордов.");
        if (!reason.empty()) {
          HarmonyFailText += " " + reason;
        }
        Fail(29, furthest_);
        return result_;
      }
      placed = TryChordPosition(r, p1 == kNone ? nullptr : &*states_[p1],
                                p2 == kNone ? nullptr : &*states_[p2], report);
    }
    if (!placed) {
      if (p1 == kNone) {
        Fail(29, i);
        return result_;
      }
      ResetAfter(p1);
      ++result_.Backtracks;
      i = p1;
      continue;
    }
    // Written even outside the ranges when "free" lifted them: the parts follow the chord.
    result_.Chords[i] = r.Voices;
    result_.Position = std::max(result_.Position, end_[i]);
    ++i;
  }
  result_.Ok = true;
  result_.States = std::move(states_);
  return result_;
}

}  // namespace

THarmonyResult HarmonizeSequence(const std::vector<THarmonyNote>& notes, const THarmonyRules& rules,
                                 int32_t ticksPerMeasure, uint32_t maxTries) {
  HarmonyFailText.clear();
  THarmonySearch search(notes, rules, ticksPerMeasure, maxTries);
  return search.Run();
}
