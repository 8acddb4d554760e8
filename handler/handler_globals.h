// The handler language's shared state: the context of one compilation of a song's
// handler programs (what the calls that make it up share, and what the render reads from
// it afterwards; reset at each compilation's start) and the generator behind "rnd".
#pragma once

#include <atomic>
#include <random>
#include <string>
#include <vector>

struct THandlerCompileContext {
  // The scope path as a stack of names, outermost first ("get", "ritmo"); the render
  // sets it too while it compiles block arguments.
  std::vector<std::string> ScopePath;
  int Nesting = 0;                           // 0 at the top; +1 in a block body, +3 in keys
  std::string CurrentModule;                 // module file being compiled (name without ".blk")
  std::vector<std::string> BlockParamNames;  // parameter names of the block being compiled
  std::vector<std::string> Interruptions;    // texts of "interruption" statements
  // Texts that statements refer to by index: "error" messages, "perform" block names and
  // "nextlocation" labels (code page 1251).
  std::vector<std::string> Strings;
  // A stop asked of the render that waits for this compilation, or nullptr: set, the
  // compilation ends at its next statement, without an error.
  const std::atomic<bool>* Stop = nullptr;
};

extern THandlerCompileContext GHandlerCompile;

// Puts the compile context back to its starting values.
void ResetHandlerCompileContext();

// True when the compilation was asked to stop.
bool HandlerCompileStopped();

// The generator behind "rnd".
extern std::mt19937_64 GHandlerRandom;
