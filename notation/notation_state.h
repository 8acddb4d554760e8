// The reader's state: per-voice notation state of 52 voices and the signs pending
// between calls. One context belongs to one translation or audition, which resets it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/note_arithmetic.h"

constexpr int kVoiceCount = 52;       // voices 1..51; entry 0 unused
constexpr int kMaxVoice = 51;
constexpr size_t kMaxPendingSigns = 51;

// Hand modes of a voice.
constexpr uint8_t kHandUpward = 0;     // intervals counted upward from the note
constexpr uint8_t kHandDownward = 1;   // intervals counted downward
constexpr uint8_t kHandAccordion = 2;  // accordion left hand

// Passage value modes of a voice.
constexpr uint8_t kValueModeSmall = 0;
constexpr uint8_t kValueModeLarge = 1;
constexpr uint8_t kValueModeNone = 2;

// Sign kinds returned by the token reader.
enum class TSignKind : uint8_t {
  None = 0,             // accidental prefix; nothing recognised; error
  Note = 1,             // note or rest cell
  Octave = 2,           // octave sign (prefix)
  Interval = 3,         // interval sign
  LargeValues = 4,      // "B((1", "B(1"
  SmallValues = 5,      // ",((1", ",(1"
  Slur = 6,             // "c"
  DoubleSlur = 7,       // "cc"
  Tie = 8,              // "Ac"
  ChordTie = 9,         // "Bc", "BcBc"
  ChordTieAll = 10,     // "Kc"
  Dot = 11,             // "."
  Staccato = 12,        // "8", "88"
  Staccatissimo = 13,   // ",8", ",8,8"
  Crescendo = 14,       // ")cr."
  BlockCall = 15,       // ")name:args." block call
  Label = 16,           // "<name>" label
  Signature = 17,       // a time signature starts (read or inherited)
  InAccord = 18,        // "()": the next voice of the measure follows
  NoEffect = 19,        // not produced by the reader
  AttachedText = 20,    // "{$...}"
  AttachedHex = 21,     // "{&...}"
  Ornament = 22,        // "5", "6", "!5", "!6"
  Clef = 23,            // clef signs
  FinalBar = 24,        // "(k"
};

// Notation state of one voice.
struct TVoiceState {
  int32_t Key = 0;            // +n sharps, -n flats
  uint8_t TimeNum = 0;        // 0 = none yet
  uint8_t TimeDen = 0;
  std::array<TKeySign, 8> Accidentals{};  // memory of this measure, steps 1..7
  int32_t LastStep = 0;       // step of the last note read (0 none)
  int32_t LastValue = 0;      // cell value of the last note read
  uint8_t Mode = kHandUpward;
  uint8_t ValueMode = kValueModeNone;
  bool StaccatoPassage = false;
  bool StaccatissimoPassage = false;
  bool SlurPassage = false;
  int32_t Step = 0;           // the caller's step variable of this voice
  int32_t Octave = 0;         // the caller's octave variable (0 = no octave sign yet)

  TVoiceState() { Accidentals.fill(TKeySign::No); }
  bool HasTimeSignature() const { return TimeNum != 0 && TimeDen != 0; }
};

// Everything the token reader keeps between calls.
struct TReaderContext {
  std::array<TVoiceState, kVoiceCount> Voices;
  std::vector<TSignKind> PendingSigns;  // modifier signs read since the last terminal sign
  bool MeasureStart = false;            // the text being read begins a measure
  int32_t OctaveBeforeSign = 0;         // to undo an octave sign before a rest or clef
  std::string LastClef;
  uint8_t Transposition = 128;          // 128 = none
  uint8_t OrnamentNumber = 0;
  TKeySign OrnamentAccidental = TKeySign::No;
  std::string AttachedText;             // "{$...}"
  std::string HexText;                  // "{&...}", lower-cased
  std::string BlockText;                // ")..." block call, without ")" and the closing "."
  std::string LabelText;                // "<...>" label, without the brackets
  bool OctaveSignGiven = false;         // an octave sign was read since the last note
  bool IntervalDoubled = false;         // the last interval sign was doubled
  int32_t IntervalOctave = 0;           // octave sign given with the last interval, 0 = none
  uint8_t ChordTieRepeat = 0;           // "BcBc" repeat counter

  TReaderContext() { Reset(); }
  // Back to the state before any text was read.
  void Reset();
  TVoiceState& Voice(uint8_t voice) { return Voices[voice < kVoiceCount ? voice : 0]; }
  bool Pending(TSignKind kind) const;
};
