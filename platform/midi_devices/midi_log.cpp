#include "platform/midi_devices/midi_log.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/atomic_file.h"

namespace {

// How long a line waits for a FIFO whose reader has stopped reading before the log gives up.
constexpr std::chrono::milliseconds kLongestFifoWait{300};

// write() that never raises SIGPIPE: a FIFO whose reader went away gives EPIPE instead of
// ending the program. The signal is blocked in this thread for the write, and one that the
// write raised is taken before it is unblocked.
ssize_t WriteWithoutSigpipe(int fd, const char* bytes, size_t size) {
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigset_t pending;
  sigpending(&pending);
  const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
  sigset_t old;
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  const ssize_t n = ::write(fd, bytes, size);
  const int code = errno;
  if (n < 0 && code == EPIPE && !pendingBefore) {
    const timespec none{};
    while (sigtimedwait(&pipe, nullptr, &none) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = code;
  return n;
}

// Writes the whole line; empty, or why it could not be written.
std::string WriteLine(int fd, const std::string& line) {
  const auto deadline = std::chrono::steady_clock::now() + kLongestFifoWait;
  size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = WriteWithoutSigpipe(fd, line.data() + written, line.size() - written);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        return "the program reading this FIFO does not read";
      }
      pollfd out{fd, POLLOUT, 0};
      ::poll(&out, 1, static_cast<int>(left.count()));
      continue;
    }
    if (n < 0 && errno == EPIPE) {
      return "no program reads from this FIFO any more";
    }
    return std::strerror(n < 0 ? errno : EIO);
  }
  return "";
}

class TMidiLogDevice final : public TMidiOutDevice {
 public:
  TMidiLogDevice(int fd, std::string path, TClock& clock)
      : fd_(fd), path_(std::move(path)), clock_(clock), opened_ms_(clock.NowMs()) {}
  ~TMidiLogDevice() override { Close(); }
  TMidiLogDevice(const TMidiLogDevice&) = delete;
  TMidiLogDevice& operator=(const TMidiLogDevice&) = delete;

  bool ShortMessage(uint32_t packed) override { return Log(UnpackShortMessage(packed)); }
  bool LongMessage(const uint8_t* bytes, size_t length) override {
    return Log(std::vector<uint8_t>(bytes, bytes + length));
  }
  // The ports send their own controllers before a reset; the log has no reset of its own.
  void Reset() override {}
  bool Close() override {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
    return true;
  }

 private:
  // One line; after the first line that cannot be written the fault is noted and nothing
  // more is tried, so a play never waits on the log again.
  bool Log(const std::vector<uint8_t>& bytes) {
    if (fd_ < 0 || failed_) {
      return false;
    }
    const std::string why = WriteLine(fd_, MidiLogLine(clock_.NowMs() - opened_ms_, bytes) + "\n");
    if (!why.empty()) {
      failed_ = true;
      NoteMidiDeviceFault({kMidiLogDeviceName, path_ + ": " + why});
      return false;
    }
    return true;
  }

  int fd_;  // owned
  std::string path_;
  TClock& clock_;  // borrowed
  double opened_ms_;
  bool failed_ = false;
};

}  // namespace

TMidiLogBackend::TMidiLogBackend(std::string path, TClock& clock)
    : path_(std::move(path)), clock_(clock) {}

std::vector<TMidiOutDeviceItem> TMidiLogBackend::List() {
  return {{kMidiLogDeviceName, {Name(), kMidiLogDeviceName}}};
}

std::unique_ptr<TMidiOutDevice> TMidiLogBackend::Open(const std::string& port) {
  if (port != kMidiLogDeviceName) {
    return nullptr;
  }
  std::string why;
  const int fd = OpenLogFile(path_, &why);
  {
    std::lock_guard<std::mutex> lock(problem_mutex_);
    problem_ = fd < 0 ? path_ + ": " + why : "";
  }
  if (fd < 0) {
    return nullptr;
  }
  return std::make_unique<TMidiLogDevice>(fd, path_, clock_);
}

std::string TMidiLogBackend::Problem() const {
  std::lock_guard<std::mutex> lock(problem_mutex_);
  return problem_;
}

std::shared_ptr<TMidiBackend> MakeMidiLogBackend(std::string path) {
  return std::make_shared<TMidiLogBackend>(std::move(path));
}

std::string MidiLogPath() {
  const char* path = std::getenv("VELTO_MIDI_LOG");
  return path != nullptr ? path : "";
}

std::string MidiLogLine(double ms, const std::vector<uint8_t>& bytes) {
  std::string line = std::to_string(static_cast<long long>(std::floor(std::max(ms, 0.0))));
  for (uint8_t byte : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", byte);
    line += hex;
  }
  return line;
}
