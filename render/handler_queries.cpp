// The expression queries of a handler run: the track's performance state, the keys of
// the running "keys" statement, the running block's values and the voices' time tables.
#include <cmath>
#include <string_view>

#include "handler/handler_globals.h"
#include "base/note_arithmetic.h"
#include "render/handler_execution.h"
#include "render/track_runtime.h"

namespace {

long double Truth(bool b) { return b ? 127.0L : 0.0L; }

// A key number 0..127 from a query argument, or nothing.
std::optional<size_t> KeyIndex(int64_t k) {
  if (k < 0 || k > 127) {
    return std::nullopt;
  }
  return static_cast<size_t>(k);
}

// Voice list of a voice number: the track's own voices are 1, 2, ... (0 is the control
// track's line), kept inside the tables.
size_t VoiceList(long double voice) {
  return static_cast<size_t>(RoundHalfEven(std::fabs(voice)) % kVoiceCount);
}

// The label of a note as compared with a name: its text up to the first ":".
std::string_view LabelName(const TNoteRec& note) {
  if (!note.LabelText) {
    return {};
  }
  std::string_view label = *note.LabelText;
  return label.substr(0, label.find(':'));
}

}  // namespace

long double THandlerExecution::Query(THandlerExprKind kind, const long double* argument) {
  const TRenderContext& k = tick_.Render;
  const TTrackRuntime& t = runtime_;
  const long double l = argument != nullptr ? *argument : 0;
  switch (kind) {
    case ekKeyName: return k.KeyName;
    case ekKeyCount: return k.KeyCount;
    case ekKeyNumber: return k.KeyNumber;
    case ekPriorKeyName: return k.PriorKeyName;
    case ekNextKeyName: return k.NextKeyName;
    case ekPriorKeyLength: return k.PriorKeyLength.Value();
    case ekNextKeyLength: return k.NextKeyLength.Value();
    case ekShtrihFactor: return k.ShtrihFactor;
    case ekKeyPressed:
    case ekKeyLength:
    case ekKeyPosition:
    case ekKeyOn:
    case ekKeyOff: return KeyTableQuery(kind, argument);
    case ekStartBlock:
    case ekBeginBlock:
    case ekBlockKeyName:
    case ekVoice: return BlockQuery(kind);
    case ekNextLocation: return NextLocation(l);
    case ekTempo: return ControlTrack().Tempo;
    case ekInstrument: return t.Instrument;
    case ekPitch: return t.PitchValue;
    case ekTranspose: return t.Transpose;
    case ekController:
      return t.ControllerValues[static_cast<size_t>(RoundHalfEven(std::fabs(l)) % 128)];
    case ekPositionRnd: return t.PositionRnd;
    case ekPositionShift: return t.PositionShift;
    case ekNonLegato: return t.NonLegatoFactor;
    case ekStaccato: return t.StaccatoFactor;
    case ekStaccatissimo: return t.StaccatissimoLength;
    case ekForshlag: return t.ForshlagLength;
    case ekMordento: return t.MordentLength;
    case ekRest: return Truth(t.RestsAsKeys);
    case ekCountVoices: return t.HighestVoice;
    case ekSegmentCount:
    case ekSegmentSize: {
      const TNoteList* notes = tick_.Track.NoteList.get();
      const TNoteRec* head = notes != nullptr ? notes->First : nullptr;
      if (RoundHalfEven(l) == -1 && head != nullptr && head->Signature) {
        return kind == ekSegmentCount ? head->Signature->Numerator : head->Signature->Denominator;
      }
      const size_t v = VoiceList(l);
      return kind == ekSegmentCount ? t.VoiceBeats[v] : t.VoiceBeatValue[v];
    }
    default: return 0;
  }
}

// startblock, beginblock, keyname and voice of the running block; the tick, 0 and 0
// outside blocks.
long double THandlerExecution::BlockQuery(THandlerExprKind kind) const {
  const TBlockFrame* run = CurrentRun();
  switch (kind) {
    case ekStartBlock: return run != nullptr ? run->StartTick : tick_.Position;
    case ekBeginBlock: return run != nullptr ? run->BlockTick : tick_.Position;
    case ekBlockKeyName: return run != nullptr ? run->Key : 0;
    default: return run != nullptr ? run->Voice : 0;
  }
}

// keypressed, keylength, keyposition, keyon, keyoff: of the current key of "keys"
// without an argument, else of the key given (a key outside 0..127 gives 0).
long double THandlerExecution::KeyTableQuery(THandlerExprKind kind,
                                             const long double* argument) const {
  const TRenderContext& k = tick_.Render;
  const TTrackRuntime& t = runtime_;
  if (kind == ekKeyOn || kind == ekKeyOff) {
    std::optional<size_t> key = KeyIndex(k.KeyName);
    if (argument != nullptr) {
      const int64_t n = TruncToInt64(*argument);
      key = n < 0 ? std::nullopt : KeyIndex(n % 128);
    }
    if (!key) {
      return 0;
    }
    return kind == ekKeyOn ? t.KeyOnVelocity[*key] : t.KeyOffVelocity[*key];
  }
  if (argument == nullptr) {
    switch (kind) {
      case ekKeyPressed: return Truth(k.KeyPressed);
      case ekKeyLength: return k.KeyLength;
      default: return k.KeyPosition;
    }
  }
  const std::optional<size_t> key = KeyIndex(RoundHalfEven(*argument));
  if (!key) {
    return 0;
  }
  switch (kind) {
    case ekKeyPressed: return Truth(t.KeyLength[*key] > 0 && t.KeyPosition[*key] == 0);
    case ekKeyLength: return t.KeyLength[*key];
    default: return t.KeyPosition[*key];
  }
}

// Ticks from now to the start of the next note of the running block's voice whose label
// is the compile's Strings[nameIndex]; 0 when no such note follows.
long double THandlerExecution::NextLocation(long double nameIndex) const {
  const TBlockFrame* run = CurrentRun();
  const int64_t index = RoundHalfEven(nameIndex);
  const std::vector<std::string>& strings = GHandlerCompile.Strings;
  if (index < 0 || static_cast<uint64_t>(index) >= strings.size()) {
    return 0;
  }
  const std::string_view name = strings[static_cast<size_t>(index)];
  const uint8_t voice = run != nullptr ? run->Voice : 0;
  const TTrackRuntime& t = runtime_;
  for (const TQueueEntry& entry : t.NoteQueue) {
    if (entry.Voice != voice || entry.Note == nullptr || voice >= kVoiceCount) {
      continue;
    }
    long double whole = t.VoiceWholeTicks[voice];
    uint8_t beats = t.VoiceBeats[voice];
    uint8_t beatValue = t.VoiceBeatValue[voice];
    long double distance = entry.Remaining;
    for (const TNoteRec* n = entry.Note->Next; n != nullptr; n = n->Next) {
      if (n->Signature && n->Signature->Numerator != 0 && n->Signature->Denominator != 0) {
        const long double a = n->Signature->Numerator;
        const long double b = n->Signature->Denominator;
        whole = whole / (a / b) * (static_cast<long double>(beats) / beatValue);
        beats = n->Signature->Numerator;
        beatValue = n->Signature->Denominator;
      }
      if (LabelName(*n) == name) {
        return distance;
      }
      distance += NoteDuration(n->ValueKind, static_cast<uint8_t>(n->Value), n->Dots, n->Tuplet, whole);
    }
    return 0;
  }
  return 0;
}
