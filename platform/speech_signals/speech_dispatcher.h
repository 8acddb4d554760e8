// Speech through speech-dispatcher (libspeechd), the channel the Orca screen reader uses.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/speech_signals/speech_output.h"

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
  struct State;  // shared with the worker, which may outlive the output (see the destructor)

  std::shared_ptr<State> state_;
  std::thread worker_;
};
