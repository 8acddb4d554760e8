// The handler executor: runs a track's compiled handler statements at one render tick.
//
// The render thread calls, per tick and per playing music track:
//   THandlerTick tick{render, track, ticksPerMeasure, songLength, position, errors};
//   RunHandlerStatements(program.ProgramTree, tick);            // the main program
//   for each running block b:
//     TBlockFrame frame{&b.Args, b.StartTick, b.BlockTick, b.Key, b.Voice};
//     b.Finished = !RunHandlerBlock(frame, b.Program, tick);
//   if (tick.JumpTarget != position) ...jump...
// Nothing waits (except an "interruption" while its callback runs); every statement
// finishes within the tick, and loops give way to a stop request. A run error names the
// statement's line (Source 1 or 3, ModuleLine, Module), the measure and the tracks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "model/track.h"
#include "handler/handler_expression.h"
#include "handler/handler_program.h"

#include "render/render_globals.h"
#include "settings/settings.h"

// One tick of one track: what the statements read and where their effects go.
struct THandlerTick {
  THandlerTick(TRenderContext& render, TTreck& track, uint32_t ticksPerMeasure,
               uint32_t songLength, uint32_t position, TErrorRecord& errors)
      : Render(render),
        Track(track),
        TicksPerMeasure(ticksPerMeasure),
        SongLength(songLength),
        Position(position),
        JumpTarget(position),
        Errors(errors) {}

  TRenderContext& Render;     // key, harmony-part and stop state of the render
  TTreck& Track;              // the track whose program runs
  uint32_t TicksPerMeasure;   // measure numbers of errors, period of the event writers
  uint32_t SongLength;        // "lengthsong"
  uint32_t Position;          // the render position (the tick)
  uint32_t JumpTarget;        // Position, until "positionsong" asks for another tick
  TErrorRecord& Errors;       // a code set here ends the run and the render
  // The song's first track when the caller knows it (the render does); else the run
  // finds it from Track when a statement needs it, and keeps it here.
  TTreck* ControlTrack = nullptr;
  // Statements (and loop rounds) the track's handler may run within this tick, and how
  // many it ran: past the budget the run stops with kErrorEndlessHandler. The render sets
  // the budget from its settings.
  uint64_t StatementBudget = kDefaultHandlerStatementsPerTick;
  uint64_t StatementsRun = 0;
  // Set by a statement that stored a value other than the one it replaced (track state,
  // variables, arrays): the render passes over quiet ticks only after runs that changed
  // nothing.
  bool StateChanged = false;
  // "keys" works out the keys before and after the current one, and counts the keys it
  // visits, only when set.
  bool NeighbourKeys = true;
  bool CountsKeys = true;
};

// Runs the statement list from `first` for the track at the tick, outside any block.
// False when a "break" left the list (directly or from the body of an "if", "evry" or
// time block); true otherwise, also when an error or a stop request ended the run.
bool RunHandlerStatements(PProgram first, THandlerTick& tick);

// Runs a running block's program with its arguments and block values (what "parameter",
// "startblock", "beginblock", "keyname" and "voice" read in it). False when a "break" at
// its top level ended it (the block is then finished).
bool RunHandlerBlock(const TBlockFrame& block, PProgram program, THandlerTick& tick);

// How deep "perform" may nest (a block that performs itself stops with
// kErrorPerformTooDeep), and how deep statement lists may nest while they run, counted
// across performed blocks (deeper is kErrorNestingTooDeep).
constexpr int kMaxPerformDepth = 64;
constexpr int kMaxRunNesting = 2 * kMaxHandlerNesting;
// A handler that jumps back ("positionsong") more often than this without the song going
// past the furthest tick it reached is stopped with kErrorEndlessHandler.
constexpr uint32_t kMaxBackwardJumps = 1000;

