// The playback side's state of one track (PTreck::Runtime): compiled handler program,
// rendered event bytes, render state, note queue, running blocks and MIDI-file players
// (the player thread keeps its reading state in records of its own). A plain record; each
// group says which code fills it. The initial values are the ones a new track starts
// from; render_state.h resets them before each render.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "notation/note_record.h"
#include "model/track.h"
#include "handler/handler_program.h"
#include "render/marked_values.h"
#include "midi/midi_byte_list.h"
#include "midi/midi_event_writer.h"
#include "midi/midi_file_records.h"

// Voices a track's per-voice tables hold (voice lists 0..51).
constexpr int kVoiceCount = 52;
// MIDI-file player slots of a track.
constexpr int kMidiPlayerSlots = 256;
// The transposition-sign memory when no sign is in force.
constexpr uint8_t kNoTranspositionSign = 128;

// Command flags of a queue entry: set when the entry takes a note, cleared as the note's
// commands are applied.
constexpr uint8_t kQueueBlocksPending = 0x02;         // block calls not started yet
constexpr uint8_t kQueuePartsPending = 0x04;          // voice-part switches not applied yet
constexpr uint8_t kQueueTranspositionPending = 0x10;  // transposition sign not applied yet
constexpr uint8_t kQueueAllPending = 0xFF;

// One voice of the note queue: the note that sounds now in that voice.
struct TQueueEntry {
  TNoteRec* Note = nullptr;      // borrowed from the track's NoteList; nullptr: the voice ended
  uint8_t Voice = 0;             // voice list: 0 = the first voice of a measure, 1 the second ...
  long double Remaining = 0;     // ticks left of the note
  long double Length = 0;        // the note's full length in ticks
  uint8_t Flags = kQueueAllPending;
  bool StartsNow = true;         // the note begins at the current tick (cleared by the render)
};

// A handler block started by a note (or by the render thread) and run once per tick
// until it ends with "break".
struct TActiveBlock {
  long double StartTick = 0;  // tick at which the block was started
  long double BlockTick = 0;  // the tick of the block's first run ("beginblock")
  uint8_t Key = 0;            // MIDI key of the note that started the block
  uint8_t Voice = 0;          // voice list of that note
  std::string Name;           // the call text as written ("name:args" or "name")
  std::string SecondText;     // given by the caller; empty for blocks started by notes
  PBlock Block = nullptr;     // borrowed from the track's Program.Blocks
  PProgram Program = nullptr; // borrowed: the block's statements
  std::vector<PExpression> Args;    // compiled argument expressions, in order (owned)
  std::vector<std::string> Lines;   // copy of the block lines given when it was started
  uint8_t Flag = 0;                 // given by the caller
  bool Begun = false;               // the block has run at least once
  bool Finished = false;            // set when a run ended with "break"
};

// A player of a MIDI file loaded by the handler language ("->play"). The executor sets a
// slot up; the render thread advances it.
struct TMidiPlayerSlot {
  uint32_t TrackNumber = 0;   // track of the file (0-based)
  uint16_t FileIndex = 0;     // TMidi::Index of the file
  uint32_t Division = 0;      // file ticks per quarter note
  const std::vector<uint8_t>* EventData = nullptr;  // borrowed from the control track's files
  bool Playing = false;
  double NextEventTime = 0;   // song ticks of the next event
  bool FirstPass = false;     // the first delta time is still to be read (the render keeps
                              // its own read position from then on)
};

// The rendered MIDI events and their writer state come from TMidiTrackOutput
// (midi_event_writer.h appends, the player and the file writer read).
struct TTrackRuntime : TMidiTrackOutput {
  // ---- Compiled handler program (module_assembly.h compiles it; the executor runs it) ----
  THandlerProgram Program;        // statement tree, variables, arrays, constants, blocks
  bool UsesBlockLibrary = false;  // song preparation: the track's notes call library blocks
  uint16_t TrackIndex = 0;        // the track's number that music-text errors carry

  // ---- Per-key state (index: MIDI key 0..127) ----
  std::array<long double, 128> KeyOnVelocity = FilledKeys(81.0L);
  std::array<long double, 128> KeyOffVelocity = FilledKeys(81.0L);
  TMarkedValues KeyLength;                     // length of the note on the key, 0 = none
  std::array<long double, 128> KeyPosition{};  // ticks it has sounded, 0 = not started
  std::array<uint8_t, 128> KeyState{};         // tie state of the key's note
  std::array<uint8_t, 128> KeySounding{};      // 1 while a note on of the key is out

  // ---- Performance state the handler and the MIDI-file players change ----
  // A controller is written when its value and the value last written differ: the marks
  // of both tables say which may differ.
  TMarkedValues ControllerValues{DefaultControllers()};
  TMarkedValues ControllersSent;  // value last written per controller
  uint8_t Instrument = 0;
  uint8_t LastInstrument = 0;      // program last written
  long double PitchValue = 64.0L;  // coarse + 128 * fine; 64 is the centre
  long double LastPitchValue = 0;  // pitch bend last written
  int32_t Transpose = 0;           // semitones added to every key
  int32_t PositionShift = 0;       // ticks the queue is moved by ("positionshift")
  int32_t AppliedShift = 0;        // the shift already applied to the queue
  long double ForshlagLength = 60.0L;  // grace-note length, ticks
  long double MordentLength = 60.0L;   // mordent note length, ticks
  double LegatoFactor = 1.0;
  double StaccatoFactor = 0.2;
  double NonLegatoFactor = 0.95;
  double StaccatissimoLength = 10.0;  // ticks
  bool RestsAsKeys = false;           // "rest": rests are visited by "keys"

  // Time signature last written (control track).
  uint8_t TimeSigNumerator = 4;
  uint8_t TimeSigDenominator = 4;

  // ---- Note queue and voices (note_events.h) ----
  std::list<TQueueEntry> NoteQueue;        // one entry per voice, in voice order
  uint16_t HighestVoice = 0;               // highest voice list queued
  uint8_t TranspositionSign = kNoTranspositionSign;  // the sign last applied, 128 = none
  long double TrackClock = 0;              // the track's position while seeking
  std::array<TNoteRec*, kVoiceCount> PriorNotes{};  // note heard before, per voice (borrowed)
  std::array<TNoteRec*, kVoiceCount> NextNotes{};   // note heard after, per voice (borrowed)
  // Harmony parts a voice plays (parts 1 bass, 2 tenor, 3 alto, 4 soprano: index 0..3),
  // and the voice's "l" switch beside them.
  std::array<std::array<uint8_t, 4>, kVoiceCount> HarmonyParts{};
  std::array<uint8_t, kVoiceCount> VoiceLFlag{};
  // Time signature in force per voice: ticks of a whole note, numerator, denominator.
  std::array<long double, kVoiceCount> VoiceWholeTicks = FilledVoices(1920.0L);
  std::array<uint8_t, kVoiceCount> VoiceBeats = FilledBeats();
  std::array<uint8_t, kVoiceCount> VoiceBeatValue = FilledBeats();

  // ---- Running handler blocks (note_events.h starts them, the render thread runs them) ----
  std::list<TActiveBlock> ActiveBlocks;

  // ---- MIDI-file players of the handler language ----
  std::array<TMidiPlayerSlot, kMidiPlayerSlots> MidiPlayers{};  // slot n is MidiPlayers[n - 1]
  uint16_t MidiPlayerCount = 0;                                 // slots 1..count in use
  // MIDI files loaded by the handler language (control track only).
  std::unique_ptr<TMidi> HandlerMidiFiles;

  static std::array<long double, 128> FilledKeys(long double v) {
    std::array<long double, 128> a;
    a.fill(v);
    return a;
  }
  static std::array<long double, 128> DefaultControllers() {
    std::array<long double, 128> a{};
    a[7] = 112.0L;
    a[10] = 64.0L;
    a[11] = 112.0L;
    return a;
  }
  static std::array<long double, kVoiceCount> FilledVoices(long double v) {
    std::array<long double, kVoiceCount> a;
    a.fill(v);
    return a;
  }
  static std::array<uint8_t, kVoiceCount> FilledBeats() {
    std::array<uint8_t, kVoiceCount> a;
    a.fill(4);
    return a;
  }
};

// Gives the track a new runtime record. Kept out of line, so that RuntimeOf is small
// enough to be inlined: the render asks for it many times a tick.
[[gnu::noinline]] inline TTrackRuntime& CreateRuntime(TTreck& track) {
  track.Runtime = std::make_shared<TTrackRuntime>();
  return *track.Runtime;
}

// The track's runtime record, created on first use.
inline TTrackRuntime& RuntimeOf(TTreck& track) {
  if (!track.Runtime) [[unlikely]] {
    return CreateRuntime(track);
  }
  return *track.Runtime;
}
