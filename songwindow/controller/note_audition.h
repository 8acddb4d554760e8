// Note audition: the note at the Braille editor's caret is found by reading the track from
// measure 1, sounded on the track's output for 800 ms and described in speech.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/errors.h"
#include "base/note_arithmetic.h"
#include "notation/note_record.h"

class TSongWindow;

// Bits of the setting ModeTalk: the parts of a spoken description.
enum TTalkBit : int32_t {
  tkName = 0x1,
  tkAccidental = 0x2,
  tkOctave = 0x4,
  tkDuration = 0x8,
  tkSignature = 0x10,
  tkBlocks = 0x20,
  tkHarmony = 0x40,
  tkLabel = 0x80,
  tkMidiData = 0x100,
  tkArticulation = 0x200,
  tkBothDurations = 0x400,
  tkCapsSignal = 0x800,
  tkTies = 0x1000,
};

// What SpellNote describes: a note or rest as the audition read it, with the time and key
// signature of its voice.
struct TNoteSpelling {
  int32_t Step = 0;  // 1..7 = C..B; anything else is a rest
  TKeySign Accidental = TKeySign::No;
  int32_t Octave = 0;     // 1..9
  int32_t Value = 0;      // 1, 2, 4 or 8: the cell's value
  uint8_t ValueKind = 0;  // 1 larger values, 2 smaller values, 0 not known
  bool HasSignature = false;
  std::string LabelText;
  std::string BlockText;
  std::string MidiText;
  std::string HarmonyText;
  TShtrih Articulation = TShtrih::NonLegato;
  int32_t Beats = 0;         // time signature of the voice
  int32_t BeatValue = 0;
  int32_t KeySignature = 0;  // +n sharps, -n flats
};

// Builds the spoken description of a note by the bits of ModeTalk (code page 1251), with
// the placeholders "%points%" (where dots are named) and "%league%" (ties). HasExtras is
// set when the note carries a signature, a block, harmony, a label or MIDI data. False,
// with Description untouched, when ModeTalk is 0 or less.
bool SpellNote(std::string& Description, bool& HasExtras, const TNoteSpelling& note);

// What PlayNote is asked.
struct TAuditionQuery {
  int32_t Measure = 1;         // the measure to look in
  int32_t Caret = 1;           // 1-based column in the current voice's text
  bool Describe = true;        // build the description (with Scroll Lock on, Num Lock off)
  bool SoundIntervals = false; // also sound a chord interval written exactly at the caret
  bool Audible = true;         // sound and speak at all (false: locate only)
};

// What PlayNote found.
struct TAudition {
  bool Described = false;   // the result: a description was made or an error reported
  bool Found = false;       // the note at the caret was reached or an error reported
  std::string TokenText;    // the translator rule text covering the caret, else the last
                            // character of the note's signs
  int32_t SelStart = 0;     // 1-based start of the note's signs in the voice text (0: none)
  int32_t SelLength = 0;    // their length, up to the next note
  std::string Description;  // as spoken, without placeholders
  // A notation error met in advanced editing (signalled, advanced editing switched off):
  // its code (1 for a sign the reader could not read), the signs from the error on, its
  // measure and voice as read (the control track's line is voice 1), for the editor's
  // error step; ErrorColumn is where it lies in that voice's text.
  std::optional<TErrors> Error;
  int32_t ErrorColumn = 0;
};

struct TAuditionCache;

// PlayNote and TimerNoteOnTimer of one song window.
class TNoteAudition {
 public:
  explicit TNoteAudition(TSongWindow& window);
  ~TNoteAudition();

  // Finds the note whose signs end at Caret in the current voice of measure Measure,
  // reading the track from measure 1 (reader states per measure are kept, so an unchanged
  // beginning is not read again). Sounds it (with the intervals of its chord) unless the
  // voice text up to it equals the window's LastAuditionText, describes and speaks it.
  // A notation error met on the way is reported only in advanced editing: error signal,
  // Scroll Lock off (TurnScrollLockOff) and the caret at the end of the text read.
  TAudition PlayNote(const TAuditionQuery& query);
  // The 800 ms after a preview: every port silenced, the timer off.
  void TimerNoteOnTimer();

  // Switches advanced editing off the way the Scroll Lock key does (set by the editor).
  std::function<void()> TurnScrollLockOff;

 private:
  TSongWindow& window_;
  std::unique_ptr<TAuditionCache> cache_;
};
