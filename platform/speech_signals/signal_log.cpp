#include "platform/speech_signals/signal_log.h"

#include "platform/append_line.h"

TSignalLog::TSignalLog(std::string path) : log_path_(std::move(path)) {}

bool TSignalLog::Play(const std::string& /*path*/, std::string_view kind) {
  std::lock_guard<std::mutex> lock(mutex_);
  AppendLineToFile(log_path_, kind);
  return true;
}
