// Where spoken text goes: the speech server, or a log for tests.
#pragma once

#include <memory>
#include <string>

// Speaks UTF-8 text. Both calls may come from any thread and do not wait for speech.
class TSpeechOutput {
 public:
  virtual ~TSpeechOutput() = default;
  // Queues `utf8` after what is being spoken, or, when `interrupt`, cancels that first.
  virtual void Say(const std::string& utf8, bool interrupt) = 0;
  // Silences what is being spoken and drops what is queued.
  virtual void Cancel() = 0;
};

// The output the program uses: the log of VELTO_SPEECH_LOG when that is set and not
// empty, else speech-dispatcher at its default address.
std::shared_ptr<TSpeechOutput> MakeSpeechOutput();
