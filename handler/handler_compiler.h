// The handler compiler: normalised handler lines to statement chains, defining the
// track's variables, arrays, constants, blocks, functions and MIDI files on the way.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "handler/handler_program.h"

// The MIDI files that handler texts load with "midi NAME='FILE'", kept for the song
// by its control track.
class THandlerMidiFiles {
 public:
  virtual ~THandlerMidiFiles() = default;
  // The index of the loaded file of that name, or -1.
  virtual int FindIndex(std::string_view name) const = 0;
  // Reads the Standard MIDI File at `path` (UTF-8) and adds it under `name`: its index,
  // or -1 when the file cannot be read.
  virtual int Load(const std::string& path, const std::string& name) = 0;
};

// What one compilation works on besides its lines.
struct THandlerCompileInput {
  THandlerProgram* Program = nullptr;         // the compiled track's program (required)
  THandlerProgram* ControlProgram = nullptr;  // the control track's program, or nullptr
  THandlerProgram* SecondProgram = nullptr;   // the program of the track after it, or nullptr
  THandlerMidiFiles* MidiFiles = nullptr;     // the song's loaded MIDI files, or nullptr
  std::string SongFile;  // the song's file (UTF-8 path; finds MIDI files beside it); may be empty
};

// Compiles `lines` (normalised) into a new chain at `head`, pushing `scopeName` onto the
// compile context's scope path for the time of the call. Each node's Place holds its
// line (lineBase + the line's index, or the line of its module file). The first error
// stops everything and stays in GErrors with its code, text, ModuleLine (lineBase + the
// failing line's index), Module and Source; nodes built before it stay in the chain.
// Statements nest at most kMaxHandlerNesting deep (kErrorNestingTooDeep). Does nothing
// when `lines` is empty or GErrors already holds a code; otherwise first clears the
// text an earlier error left in GErrors. A stop (GHandlerCompile.Stop) ends it at the next
// statement without an error.
void CompileHandlerProgram(const THandlerCompileInput& input, int lineBase,
                           std::span<const std::string> lines, PProgram& head,
                           const std::string& scopeName);

// At most this many "interruption" texts, and this many texts in the compile's Strings.
constexpr size_t kMaxInterruptions = 100;
constexpr size_t kMaxHandlerStrings = 1u << 20;
