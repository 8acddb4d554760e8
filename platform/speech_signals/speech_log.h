// A speech output that appends every call to a file: "S" (queued) or "I" (interrupting),
// a tab and the text in UTF-8; "C" and a tab for a cancel. Line breaks inside a text are
// written as blanks so that each call stays one line.
#pragma once

#include <mutex>
#include <string>

#include "platform/speech_signals/speech_output.h"

class TSpeechLog : public TSpeechOutput {
 public:
  explicit TSpeechLog(std::string path);
  void Say(const std::string& utf8, bool interrupt) override;
  void Cancel() override;

 private:
  std::mutex mutex_;
  std::string log_path_;
};
