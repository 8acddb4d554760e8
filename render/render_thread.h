// The render thread: turns a prepared and compiled song into MIDI events tick by tick,
// then plays them, writes them as a MIDI file, or feeds the player while it plays.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/track.h"
#include "settings/settings.h"

struct TFormatEntryPoints;

// Renders pass over the ticks at which nothing happens (not in real-time play); tests
// clear it to render every tick, the reference way.
extern std::atomic<bool> GSkipQuietTicks;

// The settings a render reads, taken when it is started: the settings globals may change
// while it runs.
struct TRenderSettings {
  bool RealTime = false;           // GModeRealPlaying
  int32_t StartPlayingOffset = 0;  // ticks
  int32_t ProgressFrequency = 0;   // ticks; below 1: no progress is told
  bool SignalProgress = false;
  int32_t Priority = 0;            // GPriorityGeneration
  int32_t StatementsPerTick = kDefaultHandlerStatementsPerTick;  // GHandlerStatementsPerTick
  bool SkipQuietTicks = true;      // GSkipQuietTicks
};

// The settings globals now.
TRenderSettings CurrentRenderSettings();

// Starts playing the rendered lists of the song from head (the transport's player).
using TStartPlayer = std::function<void(PTreck head, int32_t ticksPerMeasure)>;

// What a render is started with: the song window's number, the device of port 0, the
// ticks per measure, a track of the song (the window's current track; the render walks
// to the head), the window's format plug-in, the settings as they were when it was made,
// and what it does with the events: write ExportFileName, or hand them to StartPlayer.
struct TMidiThreadFuncParameters {
  int32_t WindowNumber = 0;
  int32_t Device = 0;
  int32_t TicksPerMeasure = 1920;
  PTreck Track = nullptr;
  std::shared_ptr<TFormatEntryPoints> FormatModule;
  TRenderSettings Settings = CurrentRenderSettings();
  uint32_t TickLimit = 0;      // the render stops after that many ticks, 0 = no limit
  std::string ExportFileName;  // not empty: the MIDI file written instead of playing
  TStartPlayer StartPlayer;    // empty: nothing is played
};

// How a render ended.
struct TRenderOutcome {
  bool Finished = false;     // ran to its end without error or stop request
  bool Stopped = false;      // a stop request ended it
  bool Exported = false;     // the MIDI file was written
  bool PlayerStarted = false;
  uint32_t PlayerStartTick = 0;  // the song clock when the render started the player
  std::string ExportError;   // why the MIDI file could not be written (UTF-8)
  uint32_t Ticks = 0;        // ticks rendered
  uint32_t PassedOver = 0;   // of them, ticks passed over as quiet
};

// Renders the song from the measure RenderRun().FromMeasure: queues the notes, runs every
// playing track's notes, MIDI-file players and handler program once per tick and writes
// the events into the tracks' event lists, until the notes run out, the song length or the
// tick limit is reached, a stop is requested (RenderRun().Stop, left as the transport set
// it) or an error is set (GErrors). Sounding keys get their
// note-offs and, unless stopped, every list its end-of-track. Then it writes the MIDI
// file (ExportFileName set) or starts the player (unless real-time mode started it
// already). Every list is marked complete at the end, whatever ended the render.
TRenderOutcome RenderThreadProc(const TMidiThreadFuncParameters& parameters);

// True while some track from `head` on has a note in the first entry of its queue.
bool AnyTrackHasPendingNotes(PTreck head);

// The text of the notice event that opens the control track: "VELTO v." and the version.
std::string RenderNoticeText();
