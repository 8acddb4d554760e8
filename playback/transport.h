// The transport: the one owner of the render thread and of the playback thread. Every
// play, replay, export, song preparation and track removal first stops and joins what
// runs, so that at most one render and one playback exist and no thread outlives the
// tracks it reads. No lock is held while a song is prepared: the preparation may ask the
// user, and the answer may come from a modal loop in which Stop is pressed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "render/render_globals.h"
#include "render/render_thread.h"

class TVelto;
class IPreparationWindow;

// How a play starts.
struct TPlayOptions {
  uint16_t FromMeasure = 1;  // first measure rendered (0 is taken as 1)
  uint16_t Voice = 0;        // the current track's voice played alone, 0 = all
  uint32_t TickLimit = 0;    // the render stops after that many ticks, 0 = no limit
  std::string ExportFile;    // not empty: the MIDI file written instead of playing
  int32_t Device = 0;        // device of port 0
  IPreparationWindow* Window = nullptr;  // answers the preparation (borrowed); null: no window
};

// The program has one transport (Transport()); it installs its run as the one the render
// reads (RenderRun) for as long as it lives.
class TTransport {
 public:
  TTransport();
  TTransport(const TTransport&) = delete;
  TTransport& operator=(const TTransport&) = delete;
  ~TTransport();

  // Stops what runs, resets the run (start measure, voice, no stop requested), silences
  // the ports, claims the player for the window, prepares and compiles the window's song
  // with no lock held, and starts the render thread, which starts the player or writes
  // the file. False, with no thread started, when preparing or compiling failed (GErrors
  // set), when a Stop came while the song was being prepared, or when called from inside
  // a question of a preparation under way on this thread.
  bool Play(TVelto& window, const TPlayOptions& options);
  // Stops what runs and plays the lists rendered last again; false when they are not the
  // window's (another window rendered since, or a song was prepared again, or the window's
  // song lost a track after its render).
  bool RePlay(TVelto& window);
  // Renders the window's song into a MIDI file and waits for the render, asking `ui` (null:
  // no window). True when the file was written; otherwise *error says why (GErrors holds a
  // song error).
  bool Export(TVelto& window, const std::string& file, std::string* error = nullptr,
              IPreparationWindow* ui = nullptr);
  // Runs `work` on this thread under the rules of a play, for a render the caller drives
  // itself: stops and joins what runs, resets the run (options' start measure and voice),
  // silences the ports and claims the player for the window. Until work returns, a play,
  // replay or export from another thread waits and one from inside work is refused, and
  // an "interruption" statement goes on at once (whoever shows it serves the render
  // thread, not this one). No lock is held while work runs; `stopped` tells work whether
  // a Stop came since it began. False without running work when called from inside a
  // preparation under way on this thread; else what work returned.
  using TStopQuery = std::function<bool()>;
  bool RunHere(TVelto& window, const TPlayOptions& options,
               const std::function<bool(const TStopQuery& stopped)>& work);
  // Requests a stop and joins the render and the player. A play being prepared is
  // cancelled without waiting for its preparation, so Stop may come from a question.
  void Stop();
  // Stops what plays the window's tracks, and drops their compiled and rendered state.
  // Waits for a preparation on another thread; from inside a question of a preparation
  // on this thread it only cancels the play.
  void StopForTrackRemoval(TVelto& window);
  // Waits until the render has ended (returning how) and then until the player it
  // started has finished. A Stop from another thread waits for this to return.
  TRenderOutcome Wait();
  // True while a song is prepared or the render or the player thread runs.
  bool Busy() const;
  // True while a play's song is being prepared (a play asked for meanwhile is refused).
  bool Preparing() const;
  // True when RePlay would play the window's lists: its render is the last one, has ended,
  // and no song was prepared since.
  bool RePlayable(const TVelto& window) const;
  // The measure the play started last begins at.
  uint16_t StartMeasure() const { return run_.StartMeasure; }

 private:
  // Waits until no other thread prepares a song; false (at once) when this thread is
  // the one preparing, that is, when called from inside one of its questions.
  bool WaitForPreparation(std::unique_lock<std::mutex>& lock);
  void StopLocked();
  TRenderOutcome JoinRenderLocked();
  void StartRenderLocked(TVelto& window, const TPlayOptions& options);

  mutable std::mutex mutex_;  // guards what follows; never held while a song is prepared
  std::condition_variable preparationEnded_;
  std::thread render_;
  TRenderOutcome outcome_;    // written by the render thread, read after the join
  std::atomic<bool> rendering_{false};
  std::atomic<bool> renderFinished_{false};  // the last render ran to its end: whole lists
  bool preparing_ = false;    // a play's song is being prepared
  bool cancelled_ = false;    // a Stop came while it was
  std::thread::id preparer_;  // the thread preparing it
  TVelto* window_ = nullptr;    // the window whose song was rendered or plays last
  TVelto* rendered_ = nullptr;  // the window whose lists the last render completed
  uint32_t renderedPreparation_ = 0;  // GSongPreparations when its song was prepared
  TRenderRun run_;            // the run of the play started last
};

// Prepares the window's song and compiles its handlers (the first steps of every play and
// export), asking `ui` (null: no window); false with GErrors set when either fails, the
// window then showing the place.
// With withBlockLibrary the control track's program gets the block library even when no
// track calls a block (the block wizard lists its blocks). A set `stop` ends the
// compilation; false then without an error.
bool PrepareAndCompileSong(TVelto& window, IPreparationWindow* ui = nullptr,
                           bool withBlockLibrary = false, const std::atomic<bool>* stop = nullptr);

// The program's transport; the first call installs the hooks that let track removal and
// StopPlayback reach it.
TTransport& Transport();
