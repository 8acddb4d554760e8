// Note queues per voice, the commands written with notes (block calls, transposition signs,
// voice-part switches, time signatures), running block records, and seeking the queues to
// a render position without writing events.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "model/track.h"
#include "render/render_globals.h"
#include "render/track_runtime.h"

// Which commands of a note are applied when a voice reaches it.
enum class TNoteCommands : uint8_t {
  All,            // rendering: start the note's blocks too
  WithoutBlocks,  // seeking: state only; blocks of notes passed over are not started
};

// Error codes of the note commands.
constexpr uint8_t kErrorUnknownBlockCall = 1;  // text: "block not found" and the call
constexpr uint8_t kErrorVoicePart = 32;        // text: what was left of the part text

// The length in ticks of a note in a voice whose whole note lasts `wholeTicks`.
long double NoteTicks(const TNoteRec& note, long double wholeTicks);

// The per-track part of a refill: transposition memory, rests-as-keys, player slots and
// running blocks dropped, per-voice tables to 4/4 with a whole note of ticksPerMeasure,
// sounding keys ended (KeyLength := KeyPosition), clock 0, LastEventTick := position.
void ResetTrackQueueState(TTreck& track, uint32_t position, int ticksPerMeasure);

// Refills the queues of `first` and every track after it at `position`: one entry per voice
// list of the first measure, the notes' commands applied (blocks only for tracks after the
// control track whose handlers are on), lengths computed. Clears the harmony-part state.
// Stops at the first error, which it leaves in `errors`.
void QueueTrackNotes(PTreck first, TErrorRecord& errors, uint32_t position, int ticksPerMeasure);

// Advances the queues of `first` and every track after it, without writing events or
// starting blocks, until every track has reached `position` or has no notes left.
void SeekTracksToPosition(PTreck first, TErrorRecord& errors, uint32_t position,
                          int ticksPerMeasure);

// Moves `track`'s queue on by `step` ticks; `position` is the tick the queue reaches.
// Every voice whose note has run out takes its following notes (prior and next notes,
// time signatures, lengths and the notes' commands as `which` says); a note that heads
// further voice lists queues them; voices without notes are removed. The render thread
// calls it once per tick with step 1 (0 in the first tick). Stops at the first error.
void AdvanceTrackQueue(TTreck& track, long double step, uint32_t position, int ticksPerMeasure,
                       TErrorRecord& errors, TNoteCommands which);

// Applies a voice-part text ("l+", "b+", "t-", "a+", "s-" ... in a row) to voice `voice`
// of the track and returns what is left: empty when the whole text applied, else the text
// from the first switch that is unknown or already in force.
std::string ApplyVoicePartPrefixes(std::string_view text, uint8_t voice, TTrackRuntime& runtime);

// What a running block is started with.
struct TBlockStart {
  std::string Name;        // the call text
  std::string SecondText;  // empty for blocks started by notes
  PBlock Block = nullptr;  // the block (borrowed from the track's program)
  std::vector<PExpression> Args;
  uint8_t Flag = 0;
  uint8_t Voice = 0;
  uint8_t Key = 0;
  long double StartTick = 0;
};

// Start a block: the record gets the start, a copy of GRender.BlockLines (then cleared)
// and BlockTick 0. StartBlock links it at the end of the list, StartBlockFirst at the head.
TActiveBlock& StartBlock(std::list<TActiveBlock>& list, TBlockStart start);
TActiveBlock& StartBlockFirst(std::list<TActiveBlock>& list, TBlockStart start);

// Starts the blocks a note calls ("name", or "name:arg1;arg2", calls joined by ".)") on
// `track` at `position`: each name must be a block (not a function) of the track's
// program; arguments are compiled at the track's top scope. On failure sets code 1 (or
// the expression's code) with source 2, the measure of `position`, the track's own voice
// and the track's index (voice list 0, the control track's line: voice 1 of the control
// track), and returns false.
bool StartNoteBlocks(TTreck& track, const TNoteRec& note, uint8_t voice, uint32_t position,
                     int ticksPerMeasure, TErrorRecord& errors);

// Runs every running block of `track` at `position`, in order, through `run` (the
// executor's RunHandlerBlock: false when the block ended with "break"). A block's first
// run sets its BlockTick to `position`. While a block runs the error text is "Блок: " +
// its name; the text before the walk is put back afterwards unless an error was raised.
// Ended blocks are dropped. Stops at the first error.
using TBlockRunner = std::function<bool(const TBlockFrame& frame, PProgram program)>;
void RunActiveBlocks(TTreck& track, uint32_t position, const TBlockRunner& run,
                     TErrorRecord& errors);

// The two tests of the seek loop.
bool AnyTrackBehind(PTreck first, uint32_t position);
bool AnyTrackHasNotes(PTreck first);
