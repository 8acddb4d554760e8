// The render's globals in one place: the song-level values the UI thread reads, the run of
// a play (what the transport asks of the preparation and the render), and the render
// context (the state one render keeps between the note queue, the handler executor and the
// render thread).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "handler/handler_program.h"
#include "render/track_runtime.h"

struct TNoteRec;

// ---- Song-level globals (shared with the UI thread) ----

// The song's length in ticks: the longest label walk of the last compilation. The main
// window's timer reads it while a render runs.
extern std::atomic<uint32_t> GSongLength;
// The song clock in ticks; written only by the render thread.
extern std::atomic<uint32_t> GRenderPosition;
// Set while a preparation or render is under way, and left set by one that failed
// (the stop command treats it as a render still running).
extern std::atomic<bool> GRendering;
// The player has been started for this render (or must not be).
extern std::atomic<bool> GPlayerStarted;
// Set when a compilation failed: the song must be prepared again before it renders.
extern std::atomic<bool> GPrepareAgain;

// ---- One play: what the transport asks of the preparation and the render ----

// The transport owns the run of its plays and resets it before each one starts, so that
// a stop request made at any time after the start reaches the render.
struct TRenderRun {
  std::atomic<bool> Stop{false};          // stop request; the render and long handler loops obey it
  uint16_t FromMeasure = 1;               // the measure the play starts from (1-based; 0 as 1)
  std::atomic<uint16_t> StartMeasure{1};  // the measure the running render started from
  uint16_t Voice = 0;                     // the voice played alone (1-based), 0 = all voices
  int TrackCount = 0;                     // tracks of the prepared song

  // Makes the run that of a play from `fromMeasure` of `voice`, with no stop requested.
  void Reset(uint16_t fromMeasure, uint16_t voice);
};

// The run the preparation and the render read: the one the transport installed, else one
// of the render's own (a render started without a transport, as in tests and tools).
TRenderRun& RenderRun();
// Installs the run RenderRun answers; nullptr goes back to the render's own.
void SetRenderRun(TRenderRun* run);

// Time signature in force per voice while module assembly registers labels (voice 0..51):
// ticks of a whole note, numerator and denominator.
extern std::array<long double, kVoiceCount> VoiceWholeNoteTicks;
extern std::array<uint8_t, kVoiceCount> VoiceBeats;
extern std::array<uint8_t, kVoiceCount> VoiceBeatValue;

// Asked by an "interruption" statement with its snapshot number, its scope path text, the
// track whose handler reached it and the render position: shows the snapshot and returns
// once it is closed; true when the user asked not to see it again. The program serves it
// through the snapshot broker; while unset, rendering goes on at once.
struct TTreck;
using THandlerInterruption = std::function<bool(uint8_t number, const std::string& scopePath,
                                                const TTreck& track, uint32_t position)>;
extern THandlerInterruption GHandlerInterruption;

// ---- The render context: reset at the start of every render ----

// What a running block offers its statements: "parameter n", "startblock", "keyname" ...
// The executor keeps a stack of them while blocks run and perform each other.
struct TBlockFrame {
  const std::vector<PExpression>* Params = nullptr;  // argument expressions (borrowed)
  long double StartTick = 0;                         // tick the block was started at
  long double BlockTick = 0;                         // the running block's own tick value
  uint8_t Key = 0;                                   // key of the note that started it
  uint8_t Voice = 0;                                 // voice of that note
};

// Harmony parts generated from the control track: index 0..3 = part 1 (bass) .. 4 (soprano).
struct THarmonyPartState {
  std::array<long double, 4> Lengths{};             // ticks of the part's current key, 0 = none
  std::array<long double, 4> Positions{};           // ticks it has sounded
  std::array<uint8_t, 4> Pressed{};                 // 1 when the key begins at this tick
  std::array<uint8_t, 4> Keys{};                    // MIDI keys
  std::array<uint8_t, 4> Articulation{2, 2, 2, 2};  // TShtrih per part; NonLegato
};

// The length of the key heard before or after the current one. A visit of an own note
// leaves a note's written length to be worked out when a statement asks for it (the
// divisions cost more than the rest of the visit, and few bodies ask): it keeps what the
// length is made of, not the note, which may be gone by then.
class TNeighbourLength {
 public:
  TNeighbourLength& operator=(long double length) {
    written_ = false;
    length_ = length;
    return *this;
  }
  // The written length of `note` at `wholeTicks` ticks a whole note, less `less`.
  void SetWritten(const TNoteRec& note, long double wholeTicks, long double less);
  long double Value() const;

 private:
  bool written_ = false;  // the length is the note's written length less less_
  uint8_t kind_ = 0;      // the note's value kind, value, dots and tuplet
  uint8_t value_ = 0;
  uint8_t dots_ = 0;
  uint8_t tuplet_ = 0;
  long double wholeTicks_ = 0;
  long double less_ = 0;
  long double length_ = 0;  // the length itself, unless written_
};

struct TRenderContext {
  // Keys of the running "keys" statement.
  uint8_t KeyCount = 0;      // keys it visits
  uint8_t KeyNumber = 0;     // 1-based number of the current key
  uint8_t KeyName = 0;       // MIDI key of the current key
  int32_t KeyLength = 0;     // ticks
  int32_t KeyPosition = 0;   // ticks elapsed in the current key
  bool KeyPressed = false;   // the current key begins at this tick
  uint8_t PriorKeyName = 0;  // key heard before in the same voice, 0 = none
  TNeighbourLength PriorKeyLength;
  uint8_t NextKeyName = 0;  // key heard after it, 0 = none
  TNeighbourLength NextKeyLength;
  double ShtrihFactor = 1.0;  // articulation factor of the current key

  // Blocks being started: the lines given to the next StartBlock, and the name of the
  // block last started without arguments.
  std::vector<std::string> BlockLines;
  std::string CurrentBlockName;

  THarmonyPartState Harmony;

  long double LastTempo = 0;  // tempo last written as an event

  // Endless "positionsong" loops: the furthest tick a handler ran at, and the jumps back
  // made since.
  uint32_t FurthestTick = 0;
  uint32_t BackwardJumps = 0;
};

extern TRenderContext GRender;

// Puts the render context back to its starting values.
void ResetRenderContext();
