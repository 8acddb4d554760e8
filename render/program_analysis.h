// What the render may assume about a compiled handler program: whether a run at one
// tick does the same as a run at another with the same track state (so that quiet ticks
// can be passed over), at which ticks its time blocks and "evry" bodies start or stop
// running, and whether it reads the neighbouring keys of "keys".
#pragma once

#include <cstdint>
#include <vector>

#include "handler/handler_program.h"

// A statement whose body runs on some ticks only, with bounds known before the render:
// a time block with number bounds, or "evry" with a number period and a whole-number
// offset.
struct TTimedStatement {
  bool Evry = false;
  // Time block: the body runs on ticks First..Last (HasLast) and on tick Round(First).
  long double First = 0;
  long double Last = 0;
  bool HasLast = false;
  // evry: the body runs on ticks t with (t - Offset) mod Period = 0; a period below 1
  // never runs it (0 stops the render at once).
  int64_t Period = 0;
  int64_t Offset = 0;
};

struct TProgramTraits {
  // The main program reads nothing that moves with the clock (the tick, random numbers,
  // key positions, running-block values) and does nothing but change track state: two
  // runs with the same state do the same, except across the change ticks of Timed.
  bool ClockFree = true;
  std::vector<TTimedStatement> Timed;
  // Some expression of the main program or of a block reads priorkeyname, nextkeyname,
  // priorkeylength or nextkeylength (the compiler allows them only inside "keys", which
  // works them out for its body).
  bool ReadsNeighbourKeys = false;
  // Some expression reads keycount.
  bool ReadsKeyCount = false;
};

// Looks through the main program `tree` and the blocks of `program`.
TProgramTraits AnalyseProgram(PProgram tree, const THandlerProgram& program);

// The first tick after `tick` at which a timed statement of `traits` may run where it
// did not run at `tick`, or the reverse; UINT64_MAX when there is none.
uint64_t NextTimedChange(const TProgramTraits& traits, uint32_t tick);
