#include "platform/speech_dispatcher.h"

#include <libspeechd.h>
#include <pthread.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

// How long a failed connection keeps the output silent before the next attempt.
constexpr std::chrono::seconds kRetryPause{3};

// A server that closes its socket must not kill the program with SIGPIPE: the worker,
// the only thread writing to the socket, blocks the signal and sees EPIPE instead.
void BlockSigpipeInThisThread() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace

struct TSpeechDispatcherOutput::Connection {
  SPDConnection* spd = nullptr;  // owned
  std::optional<std::chrono::steady_clock::time_point> failed_at;
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
  if (connection_->failed_at && now - *connection_->failed_at < kRetryPause) {
    return false;
  }
  char* error = nullptr;
  if (socket_path_.empty()) {
    // An address given in the environment is used as it is, never spawned.
    const bool addressGiven = std::getenv("SPEECHD_ADDRESS") != nullptr;
    connection_->spd =
        spd_open2("velto", "main", nullptr, SPD_MODE_SINGLE, nullptr, addressGiven ? 0 : 1, &error);
  } else {
    std::vector<char> path(socket_path_.begin(), socket_path_.end());
    path.push_back('\0');
    SPDConnectionAddress address{};
    address.method = SPD_METHOD_UNIX_SOCKET;
    address.unix_socket_name = path.data();
    connection_->spd = spd_open2("velto", "main", nullptr, SPD_MODE_SINGLE, &address, 0, &error);
  }
  std::free(error);
  if (connection_->spd == nullptr) {
    connection_->failed_at = now;
    return false;
  }
  connection_->failed_at.reset();
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
