#include "platform/speech_signals/speech_log.h"

#include "platform/append_line.h"

TSpeechLog::TSpeechLog(std::string path) : log_path_(std::move(path)) {}

void TSpeechLog::Say(const std::string& utf8, bool interrupt) {
  std::string line = interrupt ? "I\t" : "S\t";
  for (char c : utf8) {
    line += (c == '\r' || c == '\n') ? ' ' : c;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  AppendLineToFile(log_path_, line);
}

void TSpeechLog::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  AppendLineToFile(log_path_, "C\t");
}
