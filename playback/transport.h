// The transport: the one owner of the render thread and of the playback thread. Every
// play, replay, export, song preparation and track removal first stops and joins what
// runs, so that at most one render and one playback exist and no thread outlives the
// tracks it reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "render/render_thread.h"

class TVelto;

// How a play starts.
struct TPlayOptions {
  uint16_t FromMeasure = 1;  // first measure rendered (0 is taken as 1)
  uint16_t Voice = 0;        // the current track's voice played alone, 0 = all
  uint32_t TickLimit = 0;    // the render stops after that many ticks, 0 = no limit
  std::string ExportFile;    // not empty: the MIDI file written instead of playing
  int32_t Device = 0;        // device of port 0
};

class TTransport {
 public:
  TTransport() = default;
  TTransport(const TTransport&) = delete;
  TTransport& operator=(const TTransport&) = delete;
  ~TTransport();

  // Stops what runs, sets the play globals (export file, voice, start measure, tick
  // limit), prepares and compiles the window's song and starts the render thread, which
  // starts the player or writes the file. False, with GErrors set and no thread started,
  // when preparing or compiling failed.
  bool Play(TVelto& window, const TPlayOptions& options);
  // Stops what runs and plays the lists rendered last again.
  bool RePlay(TVelto& window);
  // Renders the window's song into a MIDI file and waits for the render. True when the
  // file was written; otherwise *error says why (GErrors holds a song error).
  bool Export(TVelto& window, const std::string& file, std::string* error = nullptr);
  // Requests a stop and joins the render and the player.
  void Stop();
  // Stops what plays the window's tracks, and drops their compiled and rendered state.
  void StopForTrackRemoval(TVelto& window);
  // Waits until the render has ended (returning how) and then until the player it
  // started has finished. A Stop from another thread waits for this to return.
  TRenderOutcome Wait();
  // True while the render or the player thread runs.
  bool Busy() const;

 private:
  void StopLocked();
  TRenderOutcome JoinRenderLocked();

  mutable std::mutex mutex_;  // one command at a time
  std::thread render_;
  TRenderOutcome outcome_;    // written by the render thread, read after the join
  std::atomic<bool> rendering_{false};
  TVelto* window_ = nullptr;  // the window whose song was rendered or plays last
};

// The program's transport; the first call installs the hooks that let track removal and
// StopPlayback reach it.
// Prepares the window's song and compiles its handlers (the first steps of every play and
// export); false with GErrors set when either fails, the window then showing the place.
bool PrepareAndCompileSong(TVelto& window);

TTransport& Transport();
