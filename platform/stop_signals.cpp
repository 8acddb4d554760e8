#include "platform/stop_signals.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>

#include "platform/atomic_file.h"

namespace {

constexpr long kRepeatNs = 20'000'000;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

pthread_t watcher_thread;
std::atomic<bool> watcher_running{false};

// A thread that does not block the signals (one started before the watcher) hands them on.
void ForwardToWatcher(int signal) {
  if (watcher_running.load()) {
    ::pthread_kill(watcher_thread, signal);
  } else {
    ::_exit(128 + signal);
  }
}

[[noreturn]] void EndAtOnce(int signal) {
  RemovePendingTemporaryFiles();
  ::_exit(128 + signal);
}

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TStopSignals::TStopSignals(std::function<void()> requestStop)
    : request_stop_(std::move(requestStop)) {
  // A signal the program was started with ignored (nohup, a background job) stays ignored.
  sigemptyset(&watched_);
  for (int signal : kStopSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
      sigaddset(&watched_, signal);
      first_watched_ = first_watched_ == 0 ? signal : first_watched_;
    }
  }
  if (first_watched_ == 0) {
    return;
  }
  ::pthread_sigmask(SIG_BLOCK, &watched_, &old_mask_);
  watcher_ = std::thread([this] { Watch(); });
  watcher_thread = watcher_.native_handle();
  watcher_running = true;
  struct sigaction forward {};
  forward.sa_handler = ForwardToWatcher;
  sigemptyset(&forward.sa_mask);
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    if (sigismember(&watched_, kStopSignals[i]) == 1) {
      ::sigaction(kStopSignals[i], &forward, &old_actions_[i]);
    }
  }
}

TStopSignals::~TStopSignals() {
  if (first_watched_ == 0) {
    return;
  }
  ending_ = true;
  ::pthread_kill(watcher_.native_handle(), first_watched_);
  watcher_.join();
  watcher_running = false;
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    if (sigismember(&watched_, kStopSignals[i]) == 1) {
      ::sigaction(kStopSignals[i], &old_actions_[i], nullptr);
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

void TStopSignals::Watch() {
  double firstMs = 0;
  for (;;) {
    const timespec repeat{0, kRepeatNs};
    const int signal = received_ == 0 ? ::sigwaitinfo(&watched_, nullptr)
                                      : ::sigtimedwait(&watched_, nullptr, &repeat);
    if (ending_) {
      return;
    }
    if (signal > 0 && received_ != 0) {
      EndAtOnce(received_);  // the second signal
    }
    if (signal > 0) {
      received_ = signal;
      firstMs = NowMs();
      if (!request_stop_) {
        EndAtOnce(signal);
      }
    }
    if (received_ != 0) {
      if (NowMs() - firstMs > kGraceMs) {
        EndAtOnce(received_);
      }
      request_stop_();
    }
  }
}
