// What an "interruption" statement shows: a copy of the handler's names and running
// blocks as they stand at that statement, taken on the render thread while it waits, so
// that the window reading it shares nothing with the render.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "handler/handler_program.h"

struct TTreck;

// A running block as the snapshot lists it.
struct TSnapshotBlock {
  std::string Name;           // the call text as written
  long double StartTick = 0;  // tick the block was started at
  bool IsFunction = false;
};

struct THandlerSnapshot {
  uint8_t Number = 0;      // the interruption's number
  std::string Text;        // the statement's text (code page 1251); the window's caption
  std::string Scope;       // scope path text of the statement ("get.ritmo.")
  uint32_t Position = 0;   // the render position
  // In the track's list order (longest scope first).
  std::vector<TPeremennay> Variables;
  std::vector<TSpisokConstant> Constants;
  std::vector<TMassiv> Arrays;
  std::vector<TSnapshotBlock> Blocks;
};

// Per interruption number: its snapshot window has been shown in this play. Every song
// preparation clears them (PrepareTracksForPlay); the window reads and sets them. Both run
// on the UI thread.
extern std::array<bool, 256> GSnapshotShown;

// Copies what the track's handler holds; the text is the compile's interruption text of
// that number (empty when the number names none).
THandlerSnapshot TakeHandlerSnapshot(uint8_t number, const std::string& scope,
                                     const TTreck& track, uint32_t position);
