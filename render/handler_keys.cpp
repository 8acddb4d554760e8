// keys [first [.. last]] ... endkeys: runs its body once for every key that sounds now in
// a range of voices, with the key values set: the note itself, the grace note or mordent
// note that replaces it at this tick, its chord notes, or the harmony part it plays.
#include "base/note_arithmetic.h"
#include "notation/note_record.h"
#include "render/handler_execution.h"
#include "render/track_runtime.h"

namespace {

enum TOrnament : uint8_t {
  kUpperGrace = 1,
  kLowerGrace = 2,
  kUpperMordent = 3,
  kLowerMordent = 4,
};

// An ornament and the side of its auxiliary note, in the order the rules test them.
struct TOrnamentSide {
  uint8_t Ornament;
  int Direction;
};
constexpr TOrnamentSide kMordents[] = {{kUpperMordent, +1}, {kLowerMordent, -1}};
constexpr TOrnamentSide kGraceNotes[] = {{kLowerGrace, -1}, {kUpperGrace, +1}};

uint8_t KeyByte(int32_t key) { return static_cast<uint8_t>(key); }

// The written key of a note.
uint8_t MainKey(const TNoteRec& n) { return KeyByte(MidiKeyOf(n.Step, n.Accidental, n.Octave)); }

// The step above (+1) or below (-1) the note, with the ornament's accidental.
uint8_t AuxKey(const TNoteRec& n, int direction) {
  int32_t step = n.Step + direction;
  int32_t octave = n.Octave;
  if (step > 7) {
    step = 1;
    ++octave;
  } else if (step < 1) {
    step = 7;
    --octave;
  }
  return KeyByte(MidiKeyOf(step, n.OrnamentAccidental, octave));
}

bool Has(const TNoteRec* n, uint8_t ornament) { return n != nullptr && n->OrnamentNumber == ornament; }

// A key and a length, as the prior and next key values are given.
struct TKeyAndLength {
  uint8_t Key = 0;
  TNeighbourLength Length;  // 0 unless set
};

TKeyAndLength KeyOf(uint8_t key, long double length) {
  TKeyAndLength k;
  k.Key = key;
  k.Length = length;
  return k;
}

// The key of a neighbouring note with that note's written length, less `less`.
TKeyAndLength WrittenKeyOf(const TNoteRec& n, long double wholeTicks, long double less) {
  TKeyAndLength k;
  k.Key = MainKey(n);
  k.Length.SetWritten(n, wholeTicks, less);
  return k;
}

// What one visit of an own note works on.
struct TOwnNote {
  const TQueueEntry& Entry;
  const TNoteRec& Note;
  const TNoteRec* Prior;
  const TNoteRec* Next;
  long double WholeTicks;   // ticks of a whole note in this voice
  long double F;            // grace-note length
  long double M;            // mordent note length
  int64_t Elapsed() const { return RoundHalfEven(Entry.Length - Entry.Remaining); }
  int64_t Left() const { return RoundHalfEven(Entry.Remaining); }
};

// The key heard before the current one (the first rule that applies).
TKeyAndLength PriorKey(const TOwnNote& o) {
  const int64_t e = o.Elapsed();
  const int64_t r = o.Left();
  const long double L = o.Entry.Length;
  if (Has(&o.Note, kLowerGrace)) {
    return KeyOf(AuxKey(o.Note, -1), o.F);
  }
  if (Has(o.Next, kLowerGrace) && r <= RoundHalfEven(o.F)) {
    return KeyOf(MainKey(o.Note), L - o.F);
  }
  if (Has(&o.Note, kUpperGrace)) {
    return KeyOf(AuxKey(o.Note, +1), o.F);
  }
  if (Has(o.Next, kUpperGrace) && r <= RoundHalfEven(o.F)) {
    return KeyOf(MainKey(o.Note), L - o.F);
  }
  for (const auto& [mordent, direction] : kMordents) {
    if (Has(&o.Note, mordent) && o.M <= e && e < 2 * o.M) {
      return KeyOf(MainKey(o.Note), o.M);
    }
    if (Has(&o.Note, mordent) && e >= 2 * o.M) {
      return KeyOf(AuxKey(o.Note, direction), o.M);
    }
    if (Has(o.Prior, mordent)) {
      return WrittenKeyOf(*o.Prior, o.WholeTicks, 2 * o.M);
    }
  }
  if (o.Prior == nullptr) {
    return {};
  }
  return WrittenKeyOf(*o.Prior, o.WholeTicks, 0);
}

// The key heard after the current one (the first rule that applies).
TKeyAndLength NextKey(const TOwnNote& o) {
  const int64_t e = o.Elapsed();
  const int64_t r = o.Left();
  if (Has(o.Next, kLowerGrace) && RoundHalfEven(o.F) < r) {
    return KeyOf(AuxKey(*o.Next, -1), o.F);
  }
  if (Has(o.Next, kUpperGrace) && RoundHalfEven(o.F) < r) {
    return KeyOf(AuxKey(*o.Next, +1), o.F);
  }
  for (const auto& [mordent, direction] : kMordents) {
    if (Has(&o.Note, mordent) && e < o.M) {
      return KeyOf(AuxKey(o.Note, direction), o.M);
    }
    if (Has(&o.Note, mordent) && e < 2 * o.M) {
      return KeyOf(MainKey(o.Note), o.Entry.Length - 2 * o.M);
    }
    if (Has(o.Next, mordent)) {
      return KeyOf(MainKey(*o.Next), o.M);
    }
  }
  if (o.Next == nullptr) {
    return {};
  }
  return WrittenKeyOf(*o.Next, o.WholeTicks, 0);
}

// The articulation factor of a plain note: negative factors are fixed lengths in ticks.
double ShtrihFactorOf(const TNoteRec& n, const TTrackRuntime& track) {
  switch (n.Articulation) {
    case TShtrih::Legato:
    case TShtrih::Legatisimo: return 1.0;
    case TShtrih::NonLegato: return track.NonLegatoFactor;
    case TShtrih::Staccato: return track.StaccatoFactor;
    case TShtrih::Staccatisimo: return -track.StaccatissimoLength;
  }
  return 1.0;
}

// The key values of a plain note.
void SetPlainKey(const TOwnNote& o, const TTrackRuntime& track, TRenderContext& k) {
  const int64_t length = RoundHalfEven(o.Entry.Length);
  k.KeyName = MainKey(o.Note);
  k.KeyLength = static_cast<int32_t>(length);
  k.KeyPosition = static_cast<int32_t>(length - RoundHalfEven(o.Entry.Remaining));
  k.KeyPressed = o.Entry.StartsNow;
  k.ShtrihFactor = ShtrihFactorOf(o.Note, track);
}

// The key values of the current key of an own note (the first rule that applies). Most
// notes and their next notes have no ornament: those skip the ornaments' rounding.
void SetCurrentKey(const TOwnNote& o, const TTrackRuntime& track, TRenderContext& k) {
  if (o.Note.OrnamentNumber == 0 && (o.Next == nullptr || o.Next->OrnamentNumber == 0)) {
    SetPlainKey(o, track, k);
    return;
  }
  const long double L = o.Entry.Length;
  const long double R = o.Entry.Remaining;
  const int64_t e = o.Elapsed();
  const int64_t r = o.Left();
  const int64_t f = RoundHalfEven(o.F);
  for (const auto& [grace, direction] : kGraceNotes) {
    if (Has(o.Next, grace) && f >= r) {
      // The next note's grace note sounds in the last F ticks of this one.
      k.KeyName = AuxKey(*o.Next, direction);
      k.KeyLength = static_cast<int32_t>(f);
      k.KeyPosition = static_cast<int32_t>(e);
      k.KeyPressed = r == f;
      k.ShtrihFactor = 1.0;
      return;
    }
  }
  for (const auto& [mordent, direction] : kMordents) {
    if (!Has(&o.Note, mordent)) {
      continue;
    }
    k.ShtrihFactor = 1.0;
    if (o.M <= e && e < 2 * o.M) {
      k.KeyName = AuxKey(o.Note, direction);
      k.KeyLength = static_cast<int32_t>(RoundHalfEven(o.M));
      k.KeyPosition = static_cast<int32_t>(RoundHalfEven(L - R - o.M));
      k.KeyPressed = e == RoundHalfEven(o.M);
    } else if (e < o.M) {
      k.KeyName = MainKey(o.Note);
      k.KeyLength = static_cast<int32_t>(RoundHalfEven(o.M));
      k.KeyPosition = static_cast<int32_t>(e);
      k.KeyPressed = e == 0;
    } else {
      k.KeyName = MainKey(o.Note);
      k.KeyLength = static_cast<int32_t>(RoundHalfEven(L - 2 * o.M));
      k.KeyPosition = static_cast<int32_t>(RoundHalfEven(L - R - 2 * o.M));
      k.KeyPressed = e == RoundHalfEven(2 * o.M);
    }
    return;
  }
  SetPlainKey(o, track, k);
}

// The written length of a note of voice list v at the voice's time signature.
long double LengthOf(const TNoteRec* n, const TTrackRuntime& track, size_t v) {
  if (n == nullptr) {
    return 0;
  }
  return NoteDuration(n->ValueKind, static_cast<uint8_t>(n->Value), n->Dots, n->Tuplet,
                      track.VoiceWholeTicks[v]);
}

uint8_t IntervalKey(const TNoteRec* n, size_t i) {
  if (n == nullptr || i >= n->Intervals.size()) {
    return 0;
  }
  const TIntervalRec& iv = n->Intervals[i];
  return KeyByte(MidiKeyOf(iv.Step, iv.Accidental, iv.Octave));
}

int HarmonyFlagCount(const std::array<uint8_t, 4>& parts) {
  int count = 0;
  for (uint8_t p : parts) {
    count += p != 0 ? 1 : 0;
  }
  return count;
}

}  // namespace

TStatementFlow THandlerExecution::Keys(const TProgramNode& s) {
  long double first = s.ExprA != nullptr ? Evaluate(s.ExprA.get()) : 0;
  long double last = s.ExprB != nullptr ? Evaluate(s.ExprB.get()) : 0;
  if (Failed()) {
    PlaceText(WordText(145, "!", "в одном из выражений оператора Keys!"), true);
    return TStatementFlow::kGoOn;
  }
  if (first == 0) {
    first = last;
  }
  if (last == 0) {
    last = first;
  }
  // Voice list 0 is the control track's line: the track's own voices are 1, 2, ...
  const bool everyVoice = first == 0 && last == 0;
  auto inRange = [&](const TQueueEntry& entry) {
    const long double v = entry.Voice;
    return entry.Voice >= 1 && (everyVoice || (first <= v && v <= last));
  };
  TRenderContext& k = tick_.Render;
  const TTrackRuntime& track = runtime_;
  auto ownNote = [&](const TQueueEntry& entry, int parts) {
    return entry.Note != nullptr && parts == 0 && (entry.Note->Step > 0 || track.RestsAsKeys);
  };

  k.KeyCount = 0;
  for (const TQueueEntry& entry : track.NoteQueue) {
    if (!tick_.CountsKeys || !inRange(entry) || entry.Voice >= kVoiceCount) {
      continue;  // no statement of the program asks for the count, or not in range
    }
    const int parts = HarmonyFlagCount(track.HarmonyParts[entry.Voice]);
    k.KeyCount += ownNote(entry, parts) ? 1 + entry.Note->Intervals.size() : parts;
  }
  k.KeyNumber = 0;
  for (const TQueueEntry& entry : track.NoteQueue) {
    if (!inRange(entry) || entry.Voice >= kVoiceCount) {
      continue;
    }
    const int parts = HarmonyFlagCount(track.HarmonyParts[entry.Voice]);
    const bool own = ownNote(entry, parts);
    if (!own && parts == 0) {
      continue;  // a rest, or a voice that has ended: no key
    }
    const bool goesOn = own ? VisitOwnNote(entry, s.Body) : VisitHarmonyParts(entry, s.Body);
    if (!goesOn) {
      return TStatementFlow::kEndList;
    }
    if (Aborted()) {
      break;
    }
  }
  if (Failed()) {
    PlaceText(WordText(145, "!", "в одном из выражений оператора Keys!"), true);
  }
  return TStatementFlow::kGoOn;
}

// The note of the entry, then its chord notes: false when the body broke.
bool THandlerExecution::VisitOwnNote(const TQueueEntry& entry, PProgram body) {
  const TTrackRuntime& track = runtime_;
  TRenderContext& k = tick_.Render;
  const size_t v = entry.Voice;
  const TOwnNote o{entry,
                   *entry.Note,
                   track.PriorNotes[v],
                   track.NextNotes[v],
                   track.VoiceWholeTicks[v],
                   track.ForshlagLength,
                   track.MordentLength};
  if (tick_.NeighbourKeys) {
    const TKeyAndLength prior = PriorKey(o);
    const TKeyAndLength next = NextKey(o);
    k.PriorKeyName = prior.Key;
    k.PriorKeyLength = prior.Length;
    k.NextKeyName = next.Key;
    k.NextKeyLength = next.Length;
  }
  ++k.KeyNumber;
  SetCurrentKey(o, track, k);
  if (!RunList(body)) {
    return false;
  }
  for (size_t i = 0; i < entry.Note->Intervals.size() && !Aborted(); ++i) {
    const TIntervalRec& iv = entry.Note->Intervals[i];
    k.KeyName = KeyByte(MidiKeyOf(iv.Step, iv.Accidental, iv.Octave));
    if (tick_.NeighbourKeys) {
      k.PriorKeyName = IntervalKey(o.Prior, i);
      k.NextKeyName = IntervalKey(o.Next, i);
    }
    ++k.KeyNumber;
    k.KeyLength = static_cast<int32_t>(RoundHalfEven(entry.Length));
    k.KeyPosition =
        static_cast<int32_t>(RoundHalfEven(entry.Length) - RoundHalfEven(entry.Remaining));
    k.KeyPressed = entry.StartsNow;
    k.ShtrihFactor = ShtrihFactorOf(*entry.Note, track);
    if (!RunList(body)) {
      return false;
    }
  }
  return true;
}

// The harmony parts the entry's voice plays, bass first: false when the body broke.
bool THandlerExecution::VisitHarmonyParts(const TQueueEntry& entry, PProgram body) {
  TRenderContext& k = tick_.Render;
  const TTrackRuntime* control = ControlTrack().Runtime.get();
  const TNoteRec* prior = control != nullptr ? control->PriorNotes[0] : nullptr;
  const TNoteRec* next = control != nullptr ? control->NextNotes[0] : nullptr;
  const auto& parts = runtime_.HarmonyParts[entry.Voice];
  for (size_t p = 0; p < parts.size() && !Aborted(); ++p) {
    if (parts[p] == 0) {
      continue;
    }
    // Part 1 is the control track's note itself, part p its (p - 1)-th chord note.
    if (tick_.NeighbourKeys) {
      k.PriorKeyName = p == 0 ? (prior != nullptr ? MainKey(*prior) : 0) : IntervalKey(prior, p - 1);
      k.PriorKeyLength = k.PriorKeyName != 0 ? LengthOf(prior, *control, 0) : 0;
      k.NextKeyName = p == 0 ? (next != nullptr ? MainKey(*next) : 0) : IntervalKey(next, p - 1);
      k.NextKeyLength = k.NextKeyName != 0 ? LengthOf(next, *control, 0) : 0;
    }
    ++k.KeyNumber;
    k.KeyLength = static_cast<int32_t>(RoundHalfEven(k.Harmony.Lengths[p]));
    k.KeyPosition = static_cast<int32_t>(RoundHalfEven(k.Harmony.Positions[p]));
    k.KeyPressed = k.Harmony.Pressed[p] != 0;
    k.KeyName = k.Harmony.Keys[p];
    k.ShtrihFactor = runtime_.NonLegatoFactor;
    if (!RunList(body)) {
      return false;
    }
  }
  return true;
}
