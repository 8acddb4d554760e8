// Ending a program cleanly on SIGINT, SIGTERM or SIGHUP: a thread of its own takes the
// signals, so no handler ever interrupts a write, a rename or a lock.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

class TStopSignals {
 public:
  // How long after the first signal a program that has not ended is ended at once.
  static constexpr double kGraceMs = 5000;

  // Blocks the signals in the calling thread, whose mask every thread started later
  // inherits (construct it first in main), and starts the watcher. A signal that was
  // ignored when the program started (nohup, a background job) stays ignored. On the first signal
  // the watcher calls requestStop, and again every 20 ms while the program runs, so that a
  // job started just then stops too. A second signal, or the program still running
  // kGraceMs after the first, ends it at once with status 128 + the signal, after the
  // temporary files of writes under way are removed. Without requestStop the first
  // signal does that.
  explicit TStopSignals(std::function<void()> requestStop = {});
  // Ends the watcher and puts the old mask of the calling thread and the old actions back.
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // The first signal received, 0 when none.
  int Received() const { return received_.load(); }

 private:
  void Watch();

  std::function<void()> request_stop_;
  std::atomic<int> received_{0};
  std::atomic<bool> ending_{false};
  sigset_t watched_{};     // the signals not ignored at the start
  int first_watched_ = 0;  // one of them, which wakes the watcher to end it; 0: none
  sigset_t old_mask_{};
  struct sigaction old_actions_[3] {};  // of SIGINT, SIGTERM, SIGHUP
  std::thread watcher_;
};
