// A sound player that appends each signal's kind to a file instead of playing it.
#pragma once

#include <mutex>
#include <string>

#include "platform/speech_signals/sound_player.h"

// Each Play appends one line: the kind, then LF. Always "starts".
class TSignalLog : public TSoundPlayer {
 public:
  explicit TSignalLog(std::string path);
  bool Play(const std::string& path, std::string_view kind) override;

 private:
  std::mutex mutex_;
  std::string log_path_;
};
