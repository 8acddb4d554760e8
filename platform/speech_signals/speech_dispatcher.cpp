#include "platform/speech_signals/speech_dispatcher.h"

#include <libspeechd.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace {

// How long a failed connection keeps the output silent before the next attempt; the
// pause doubles with each failure up to the longest.
constexpr std::chrono::seconds kFirstRetryPause{3};
constexpr std::chrono::seconds kLongestRetryPause{60};
// How long a closing output waits for its worker, and how many texts wait for a server.
constexpr std::chrono::milliseconds kLongestShutdown{500};
constexpr size_t kMostPending = 256;

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

// Everything the worker touches. The worker holds its own reference, so an output whose
// worker is stuck in a call the server never answers can go without waiting for it.
struct TSpeechDispatcherOutput::State {
  struct Request {
    bool cancel = false;  // a cancel, else a text to say
    std::string text;
  };

  explicit State(std::string socketPath) : socket_path(std::move(socketPath)) {}
  ~State() { Disconnect(); }

  void Run();
  void Perform(const Request& request);
  bool EnsureConnected();
  void Disconnect();
  void Push(Request request);

  const std::string socket_path;
  mutable std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable idle;
  std::deque<Request> pending;  // guarded by mutex
  bool busy = false;            // guarded by mutex
  bool stopping = false;        // guarded by mutex
  bool finished = false;        // guarded by mutex: the worker has returned
  bool connected = false;       // guarded by mutex

  // Touched only by the worker.
  SPDConnection* spd = nullptr;  // owned
  std::optional<std::chrono::steady_clock::time_point> failed_at;
  std::chrono::seconds retry_pause = kFirstRetryPause;
};

TSpeechDispatcherOutput::TSpeechDispatcherOutput(std::string socketPath)
    : state_(std::make_shared<State>(std::move(socketPath))) {
  worker_ = std::thread([state = state_] { state->Run(); });
}

// Waits a moment for the worker to close the connection. A worker still inside a call
// that the server does not answer (a server that hangs while starting) is left to end on
// its own: it keeps the state alive, and the program never hangs on its way out.
TSpeechDispatcherOutput::~TSpeechDispatcherOutput() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->stopping = true;
  state_->pending.clear();
  state_->wake.notify_all();
  const bool finished = state_->idle.wait_for(lock, kLongestShutdown, [this] { return state_->finished; });
  lock.unlock();
  if (finished) {
    worker_.join();
  } else {
    worker_.detach();
  }
}

void TSpeechDispatcherOutput::Say(const std::string& utf8, bool interrupt) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (interrupt) {
      state_->pending.clear();  // the cancel would drop them anyway
      state_->pending.push_back(State::Request{true, {}});
    }
    if (!utf8.empty()) {
      if (state_->pending.size() >= kMostPending) {
        state_->pending.pop_front();  // a server that does not answer: keep the newest
      }
      state_->pending.push_back(State::Request{false, utf8});
    }
  }
  state_->wake.notify_one();
}

void TSpeechDispatcherOutput::Cancel() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->pending.clear();
    state_->pending.push_back(State::Request{true, {}});
  }
  state_->wake.notify_one();
}

void TSpeechDispatcherOutput::WaitIdle() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->idle.wait(lock, [this] { return state_->pending.empty() && !state_->busy; });
}

bool TSpeechDispatcherOutput::Connected() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->connected;
}

// The worker: takes requests in order until the output is destroyed, then closes.
void TSpeechDispatcherOutput::State::Run() {
  BlockSigpipeInThisThread();
  std::unique_lock<std::mutex> lock(mutex);
  while (true) {
    wake.wait(lock, [this] { return stopping || !pending.empty(); });
    if (stopping) {
      break;
    }
    const Request request = std::move(pending.front());
    pending.pop_front();
    busy = true;
    lock.unlock();
    Perform(request);
    lock.lock();
    busy = false;
    if (pending.empty()) {
      idle.notify_all();
    }
  }
  lock.unlock();
  Disconnect();
  lock.lock();
  finished = true;
  idle.notify_all();
}

void TSpeechDispatcherOutput::State::Perform(const Request& request) {
  if (!EnsureConnected()) {
    return;
  }
  const int result = request.cancel ? spd_cancel(spd) : spd_say(spd, SPD_TEXT, request.text.c_str());
  if (result < 0) {
    Disconnect();  // the server went away; the next request connects again
  }
}

// Opens the connection unless it is open or the last attempt failed only just now.
bool TSpeechDispatcherOutput::State::EnsureConnected() {
  if (spd != nullptr) {
    return true;
  }
  const auto now = std::chrono::steady_clock::now();
  if (failed_at && now - *failed_at < retry_pause) {
    return false;
  }
  if (socket_path.empty()) {
    spd = OpenDefault();
  } else {
    std::vector<char> path(socket_path.begin(), socket_path.end());
    path.push_back('\0');
    SPDConnectionAddress address{};
    address.method = SPD_METHOD_UNIX_SOCKET;
    address.unix_socket_name = path.data();
    spd = OpenAt(address);
  }
  if (spd == nullptr) {
    if (failed_at) {
      retry_pause = std::min(retry_pause * 2, kLongestRetryPause);
    }
    failed_at = now;
    return false;
  }
  failed_at.reset();
  retry_pause = kFirstRetryPause;
  std::lock_guard<std::mutex> lock(mutex);
  connected = true;
  return true;
}

void TSpeechDispatcherOutput::State::Disconnect() {
  if (spd != nullptr) {
    spd_close(spd);
    spd = nullptr;
  }
  std::lock_guard<std::mutex> lock(mutex);
  connected = false;
}
