#include "platform/speech_dispatcher.h"

#include <libspeechd.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// How long a failed connection keeps the output silent before the next attempt; the
// pause doubles with each failure up to the longest.
constexpr std::chrono::seconds kFirstRetryPause{3};
constexpr std::chrono::seconds kLongestRetryPause{60};

// A server that closes its socket must not kill the program with SIGPIPE: the worker,
// the only thread writing to the socket, blocks the signal and sees EPIPE instead.
void BlockSigpipeInThisThread() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// True when a server accepts connections on the Unix socket at `path`. Asked first so
// that libspeechd's failure path (which leaks) is not taken when nothing listens.
bool UnixSocketAnswers(const char* path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path == nullptr || std::strlen(path) >= sizeof(address.sun_path)) {
    return false;
  }
  std::strcpy(address.sun_path, path);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  const bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return answers;
}

// Opens a connection to the server at `address` without starting one; null when none
// answers.
SPDConnection* OpenAt(const SPDConnectionAddress& address) {
  if (address.method == SPD_METHOD_UNIX_SOCKET && !UnixSocketAnswers(address.unix_socket_name)) {
    return nullptr;
  }
  char* error = nullptr;
  SPDConnection* spd = spd_open2("velto", "main", nullptr, SPD_MODE_SINGLE, &address, 0, &error);
  std::free(error);
  return spd;
}

// Opens a connection to the user's server: the address in SPEECHD_ADDRESS as it is, or
// the default one, starting the server there when needed.
SPDConnection* OpenDefault() {
  char* error = nullptr;
  if (std::getenv("SPEECHD_ADDRESS") != nullptr) {
    SPDConnectionAddress* address = spd_get_default_address(&error);
    std::free(error);
    if (address == nullptr) {
      return nullptr;
    }
    SPDConnection* spd = OpenAt(*address);
    SPDConnectionAddress__free(address);
    return spd;
  }
  SPDConnection* spd = spd_open2("velto", "main", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
  std::free(error);
  return spd;
}

}  // namespace

struct TSpeechDispatcherOutput::Connection {
  SPDConnection* spd = nullptr;  // owned
  std::optional<std::chrono::steady_clock::time_point> failed_at;
  std::chrono::seconds retry_pause = kFirstRetryPause;
};

TSpeechDispatcherOutput::TSpeechDispatcherOutput(std::string socketPath)
    : socket_path_(std::move(socketPath)), connection_(new Connection) {
  worker_ = std::thread([this] { Run(); });
}

TSpeechDispatcherOutput::~TSpeechDispatcherOutput() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    pending_.clear();
  }
  wake_.notify_all();
  worker_.join();
  delete connection_;
}

void TSpeechDispatcherOutput::Say(const std::string& utf8, bool interrupt) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (interrupt) {
      pending_.clear();  // the cancel would drop them anyway
      pending_.push_back(Request{true, {}});
    }
    if (!utf8.empty()) {
      pending_.push_back(Request{false, utf8});
    }
  }
  wake_.notify_one();
}

void TSpeechDispatcherOutput::Cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
    pending_.push_back(Request{true, {}});
  }
  wake_.notify_one();
}

void TSpeechDispatcherOutput::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return pending_.empty() && !busy_; });
}

bool TSpeechDispatcherOutput::Connected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connected_;
}

// The worker: takes requests in order until the output is destroyed, then closes.
void TSpeechDispatcherOutput::Run() {
  BlockSigpipeInThisThread();
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (stopping_) {
      break;
    }
    const Request request = std::move(pending_.front());
    pending_.pop_front();
    busy_ = true;
    lock.unlock();
    Perform(request);
    lock.lock();
    busy_ = false;
    if (pending_.empty()) {
      idle_.notify_all();
    }
  }
  lock.unlock();
  Disconnect();
  lock.lock();
  idle_.notify_all();
}

void TSpeechDispatcherOutput::Perform(const Request& request) {
  if (!EnsureConnected()) {
    return;
  }
  const int result = request.cancel ? spd_cancel(connection_->spd)
                                    : spd_say(connection_->spd, SPD_TEXT, request.text.c_str());
  if (result < 0) {
    Disconnect();  // the server went away; the next request connects again
  }
}

// Opens the connection unless it is open or the last attempt failed only just now.
bool TSpeechDispatcherOutput::EnsureConnected() {
  if (connection_->spd != nullptr) {
    return true;
  }
  const auto now = std::chrono::steady_clock::now();
  if (connection_->failed_at && now - *connection_->failed_at < connection_->retry_pause) {
    return false;
  }
  if (socket_path_.empty()) {
    connection_->spd = OpenDefault();
  } else {
    std::vector<char> path(socket_path_.begin(), socket_path_.end());
    path.push_back('\0');
    SPDConnectionAddress address{};
    address.method = SPD_METHOD_UNIX_SOCKET;
    address.unix_socket_name = path.data();
    connection_->spd = OpenAt(address);
  }
  if (connection_->spd == nullptr) {
    if (connection_->failed_at) {
      connection_->retry_pause = std::min(connection_->retry_pause * 2, kLongestRetryPause);
    }
    connection_->failed_at = now;
    return false;
  }
  connection_->failed_at.reset();
  connection_->retry_pause = kFirstRetryPause;
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = true;
  return true;
}

void TSpeechDispatcherOutput::Disconnect() {
  if (connection_->spd != nullptr) {
    spd_close(connection_->spd);
    connection_->spd = nullptr;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = false;
}
