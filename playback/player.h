// The player thread: sends the rendered event lists of all tracks to the output ports
// in real time, with tempo changes, pause, seek and stop.
//
// Other threads only request (RequestPlayerStop, SetPlayerPause, RequestPlayerSeek);
// the player thread applies. Waits are on PlaybackClock() with absolute deadlines and
// end at once on a request.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "model/track.h"
#include "midi/midi_byte_list.h"
#include "midi/midi_event_parser.h"
#include "playback/player_state.h"

struct TTrackRuntime;

// The window that owns the playback (0 = none); StopPlayback acts only for it.
extern std::atomic<int32_t> GPlayerOwner;
// The tempo last set, microseconds per quarter note.
extern std::atomic<uint32_t> GLastPlayerTempo;

// One track as the player reads it.
struct TPlayerTrack {
  PTreck Track = nullptr;                 // borrowed
  TTrackRuntime* Runtime = nullptr;       // borrowed: the track's event list lives here
  std::optional<TMidiByteCursor> Cursor;  // the player's read position in the list
  uint8_t RunningStatus = 0;              // of the reading
  TMidiEvent Pending;                     // the next event, read with its delta time
  bool HasPending = false;
  int64_t PendingTick = 0;                // ticks from the list's start to the pending event
  bool PlayActive = true;  // the track still has events to play
  double NextTime = 0;     // ms: when the pending event is due
  double DeltaMs = 0;      // ms: its last delta time
  int32_t EventsPlayed = 0;
  int32_t TrackIndex = 0;  // 0 for the control track
  int Port = 0;            // output port 0..16
  uint8_t LastKey = kNoValue;
  uint8_t LastVelocity = kNoValue;
};

// The state of one run of the player thread.
struct TPlayerRun {
  std::vector<TPlayerTrack> Tracks;  // in list order, the control track first
  uint32_t Division = 480;           // ticks per quarter note
};

// Sets up GPlayer and the song header (GMidiFile) for a rendered song: the song's own
// ticks per quarter note (SongTicksPerQuarter). False when firstTrack is null.
bool PreparePlayback(PTreck firstTrack, int32_t trackCount, int32_t ticksPerMeasure);

// The thread function: plays the lists of the song holding `track` (any of its tracks)
// until they end, a stop request, or a pause that ends playing. A port 0..GLastMidiOut
// that is not open is error 18 and nothing plays.
void PlaybackThreadProc(PTreck track);

// Plays the pending event of a track (nothing is sent while GPlayer.Silent, except
// program changes). False: the list holds no event there.
bool PlayEvent(TPlayerRun& run, TPlayerTrack& track);

// Sets the tempo (microseconds per quarter note). A new tempo rescales every pending
// wait from `pivotMs` on, so that waits keep their share of the musical time.
void SetSongTempo(TPlayerRun& run, uint32_t usPerQuarter, double pivotMs);

// Requests from other threads; each wakes the player at once.
void RequestPlayerStop();
void SetPlayerPause(bool pause);
void RequestPlayerSeek(double songMs);
// Sets the tempo of the playing song (microseconds per quarter note, not 0) from now on.
void RequestPlayerTempo(uint32_t usPerQuarter);

// The player thread's handle. Start, StopAndJoin and Join may come from different
// threads (the render thread starts the player, the UI stops it).
class TPlayerThread {
 public:
  ~TPlayerThread();
  // Stops and joins a player still there, then starts one on the song holding `track`.
  void Start(PTreck track);
  // Requests a stop and waits until the thread has ended.
  void StopAndJoin();
  // Waits until the thread ends by itself.
  void Join();
  // True while a player thread runs.
  bool Running() const { return running_.load(std::memory_order_acquire); }

 private:
  std::mutex mutex_;
  std::thread thread_;
  std::atomic<bool> running_{false};
};

extern TPlayerThread GPlayerThread;

// Runs the body of each new player thread, on that thread; empty: the body runs at once.
// A test holds a new thread back with it, to see what the thread makes of a request that
// came before it ran.
using TPlayerThreadRunner = std::function<void(const std::function<void()>& body)>;
void SetPlayerThreadRunner(TPlayerThreadRunner runner);

// Stops and joins the render thread so that it starts no player; the render side
// installs it. Empty: no render thread to stop.
void SetRenderStopper(std::function<void()> stopAndJoin);

// Stops rendering and then playback, when `window` owns the playback. Returns when
// both threads have ended.
void StopPlayback(int32_t window);
