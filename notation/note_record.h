// Note records: what the Braille translation produces and the render side reads.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/note_arithmetic.h"

struct HarmonyState;  // the harmonizer's record of a note (playback side)

// Articulations, carried as a byte.
enum class TShtrih : uint8_t { Staccatisimo = 0, Staccato = 1, NonLegato = 2, Legato = 3, Legatisimo = 4 };

// Flag of a tied interval entry.
constexpr uint8_t kIntervalTied = 4;

// No transposition (the byte is 128 + semitones).
constexpr uint8_t kNoTransposition = 128;

// One chord note of a note, with its sounding step and octave.
struct TIntervalRec {
  uint8_t Step = 0;    // 1..7
  uint8_t Octave = 0;
  TKeySign Accidental = TKeySign::No;
  uint8_t Flag = 0;    // kIntervalTied or 0
};

// A time and key signature that starts at a note.
struct TSignatureRec {
  uint8_t Numerator = 0;
  uint8_t Denominator = 0;
  int32_t Key = 0;  // +n sharps, -n flats
};

// One note, rest or chord note of a voice.
struct TNoteRec {
  int32_t Step = 0;    // 1..7 = C..B, 0 = rest
  int32_t Value = 0;   // cell value 1, 2, 4 or 8
  int32_t Octave = 0;
  long double Time = 0;             // start in ticks (set by the render side)
  uint8_t ValueKind = kValueKindUnresolved;
  uint8_t Dots = 0;
  uint8_t Tuplet = 1;               // 1 = none, 3 = triplet
  uint8_t TieFlag = 0;              // 1: the whole chord is tied ("Kc")
  uint8_t ChordTie = 0;             // 1 after a chord tie "Bc"
  std::optional<std::string> Clef;  // the clef sign before the note
  uint8_t Transposition = kNoTransposition;
  TKeySign Accidental = TKeySign::No;
  uint8_t OrnamentNumber = 0;       // 0 none, 1..4
  TKeySign OrnamentAccidental = TKeySign::No;
  TShtrih Articulation = TShtrih::NonLegato;
  TNoteRec* Next = nullptr;         // next note of the same voice run (borrowed)
  TNoteRec* VoiceChain = nullptr;   // first note of the next voice of the measure (borrowed)
  std::vector<TIntervalRec> Intervals;
  std::optional<std::string> BlockText;  // block calls of a ")" sign: "name:arg1;arg2", calls joined by ".)"
  std::optional<std::string> LabelText;  // label of a "<...>" group
  std::optional<std::string> AttachedText;          // "{$...}"
  std::optional<std::vector<uint8_t>> AttachedBytes;  // "{&...}"
  std::optional<TSignatureRec> Signature;
  std::shared_ptr<HarmonyState> Harmony;
  uint32_t Measure = 0;  // 1-based measure the note was written in
  uint8_t Voice = 0;     // 1-based voice the note was written in

  // Exact written length as a fraction of a whole note.
  TRational Length() const { return NoteFraction(ValueKind, static_cast<uint8_t>(Value), Dots, Tuplet); }
};

// The notes of one track. The list owns every note; the links between notes borrow.
// First is the first note of voice 1; voice 1 runs through all measures by Next, and
// the run of each further voice of a measure hangs on the VoiceChain of the voice below.
struct TNoteList {
  TNoteRec* First = nullptr;

  // A new default note owned by the list; it stays where it is until the list goes.
  TNoteRec* NewNote() { return &notes_.emplace_back(); }
  size_t Size() const { return notes_.size(); }

 private:
  std::deque<TNoteRec> notes_;
};

// Appends an interval entry at the end of the list (flag kIntervalTied when flagSource is
// not 0). With skipDuplicates nothing is added when an entry of the same step, octave and
// accidental exists.
void AddInterval(std::vector<TIntervalRec>& intervals, uint8_t step, uint8_t octave,
                 TKeySign accidental, uint8_t flagSource, bool skipDuplicates);

// Empties an interval list.
void FreeIntervals(std::vector<TIntervalRec>& intervals);

// Frees a note list with everything it owns; the head ends empty.
void FreeNoteList(std::shared_ptr<TNoteList>& list);
