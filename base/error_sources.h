// Texts that error messages quote from the handler run-time and the harmonizer.
#pragma once

#include <mutex>
#include <string>

// A text that one thread writes and another reads.
class TGuardedText {
 public:
  void Set(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(text);
  }
  std::string Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

// The message of the last handler "error" statement (code 25, code page 1251): written by
// the render thread before it sets GErrors.Code; empty when there is none.
extern TGuardedText GHandlerErrorMessage;
// The harmonizer's reason for code 29 (code page 1251).
extern std::string HarmonyFailText;
