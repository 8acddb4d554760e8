// Module assembly and song timing: every track's handler source put together from the block
// library, the plug-ins' blocks, the control track's lines and its own lines, compiled; the
// labels of the music text made into constants; the song's length found.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "notation/note_record.h"
#include "model/track.h"
#include "handler/handler_compiler.h"
#include "render/track_runtime.h"

struct TFormatEntryPoints;

// Label errors.
constexpr uint8_t kErrorLabelName = 11;     // a label that is not a plain name
constexpr uint8_t kErrorLabelDefined = 12;  // a label that already names a constant

// Voices firstVoice..51 back to 4/4 with a whole note of ticksPerMeasure ticks.
void ResetVoiceTables(int firstVoice, int ticksPerMeasure);

// The constants every track has: pi, tact, numticks (ticks per measure), true (127) and
// false (0), defined in `track`'s and every following track's program at the current scope
// path; each track's per-voice whole note := ticksPerMeasure.
void DefinePredefinedConstants(PTreck track, int ticksPerMeasure);

// Walks a voice list from tick `start` in voice `voice` (0 = the control track: only its
// first voice list): keeps the voice tables, makes each label a constant of `program`
// holding its tick, walks the further voices of each measure, and moves GSongLength to the
// walk's end. Returns 0, or the label error 11 or 12 (also set in `errors` with source 2,
// the voice and the measure).
uint8_t RegisterNoteLabels(THandlerProgram& program, const TNoteRec* notes, uint16_t voice,
                           long double start, int ticksPerMeasure, TErrorRecord& errors);

// What CompileTrackModules works on: the song window's fields it reads and moves.
struct TCompileSong {
  PTreck ControlTrack = nullptr;   // the first track of the song
  PTreck Current = nullptr;        // out: the track last worked on
  PTreck ShownTrack = nullptr;     // the window's current track; moved to an error's track
  std::string SongName;            // the song's file (finds MIDI files beside it)
  int32_t TicksPerMeasure = 1920;  // a format plug-in may change it
  int32_t ErrorMeasure = 1;        // the window's current measure; moved to an error's measure
  int32_t WindowValueA = 0;        // handed on to the format plug-in only
  int32_t WindowValueB = 0;
  std::shared_ptr<TFormatEntryPoints> FormatModule;  // nil: no format plug-in
  std::function<void()> ShowTrack;  // refreshes the window silently after a handler error
  const std::atomic<bool>* Stop = nullptr;  // set: the compilation ends, nothing plays
};

// Compiles every track of a prepared song (notes translated, HandlerLines filled): labels
// and predefined constants for every track, programs for the tracks that play, the control
// track's program, and every TrackLength := the longest. Starts by resetting the handler
// compile context. Every statement's Place names the text that holds it. False on the
// first error, which stays in GErrors: handler lines are counted within the text that
// holds them (the control track's or the track's own, its number in Track; or "qem.blk"
// with source 3), label errors point to the track whose text holds them (ModuleLine its
// TrackIndex), its own voice and the measure; the song's render state is then dropped and
// GPrepareAgain set. False without an error when Stop was set while compiling.
bool CompileTrackModules(TCompileSong& song);

// The block library's lines (Resources/qem.blk), normalised; nothing when the file is
// missing or cannot be read. A track whose notes call library blocks then fails to compile
// with error 19 naming the file.
std::optional<std::vector<std::string>> LoadBlockLibrary();
