// Speech through speech-dispatcher (libspeechd), the channel the Orca screen reader uses.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/speech_output.h"

// Hands texts to a worker thread that talks to the server, so Say never waits for it.
// The connection opens on first use; when no server answers the texts are dropped
// (silence) and a new attempt is made at most every few seconds.
class TSpeechDispatcherOutput : public TSpeechOutput {
 public:
  // `socketPath` empty: the default address (SPEECHD_ADDRESS, else the user's socket,
  // starting the server when needed). Otherwise the Unix socket at that path.
  explicit TSpeechDispatcherOutput(std::string socketPath = "");
  ~TSpeechDispatcherOutput() override;
  TSpeechDispatcherOutput(const TSpeechDispatcherOutput&) = delete;
  TSpeechDispatcherOutput& operator=(const TSpeechDispatcherOutput&) = delete;

  void Say(const std::string& utf8, bool interrupt) override;
  void Cancel() override;
  // Blocks until every request made so far has gone to the server (or was dropped).
  void WaitIdle();
  // True while a connection to the server is open.
  bool Connected() const;

 private:
  struct Request {
    bool cancel = false;  // a cancel, else a text to say
    std::string text;
  };
  struct Connection;

  void Run();
  void Perform(const Request& request);
  bool EnsureConnected();
  void Disconnect();

  const std::string socket_path_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Request> pending_;
  bool busy_ = false;
  bool stopping_ = false;
  Connection* connection_ = nullptr;  // owned; touched only by the worker
  bool connected_ = false;            // guarded by mutex_
  std::thread worker_;
};
