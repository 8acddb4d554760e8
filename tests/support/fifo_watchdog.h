// Ends a test's wait on FIFOs: when the test has not finished its work by the deadline,
// the watchdog opens each FIFO for reading and writing, again and again until the work
// ends, which lets an open blocked on it return (and a read then meets the end of the
// file), and records that it had to.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TFifoWatchdog {
 public:
  explicit TFifoWatchdog(std::vector<std::string> fifos, std::chrono::seconds deadline = std::chrono::seconds(60))
      : fifos_(std::move(fifos)), thread_([this, deadline] { Watch(deadline); }) {}
  ~TFifoWatchdog() { Done(); }
  TFifoWatchdog(const TFifoWatchdog&) = delete;
  TFifoWatchdog& operator=(const TFifoWatchdog&) = delete;

  // The work under watch has ended; true when it ended by itself, false when the watchdog
  // had to release it.
  bool Done() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
      thread_.join();
    }
    return !fired_;
  }

 private:
  void Watch(std::chrono::seconds deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, deadline, [this] { return done_; })) {
      return;
    }
    fired_ = true;
    // Until the work ends: it may meet the next FIFO after the first was released.
    do {
      for (const std::string& fifo : fifos_) {
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          ::close(fd);
        }
      }
    } while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; }));
  }

  std::vector<std::string> fifos_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  bool fired_ = false;
  std::thread thread_;
};
