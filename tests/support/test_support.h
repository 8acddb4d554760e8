// Helpers shared by the tests of the song side: language files, speech and sound fakes.
#pragma once

#include "tests/support/temp_dir.h"

#include <mutex>
#include <string>
#include <vector>

#include "settings/lang_texts.h"
#include "platform/codec1251.h"
#include "platform/speech_signals/sound_player.h"
#include "platform/speech_signals/speech_output.h"

namespace testsupport {

// Code page 1251 of a UTF-8 literal.
inline std::string W(const std::string& utf8) {
  return Utf8ToCp1251(utf8).Text;
}

using ::ReadBytes;
using ::TTempDir;
using ::WriteBytes;

// Loads a language made of UTF-8 lines (written in code page 1251, CR LF) and drops it
// again at the end of the scope.
class TScopedLanguage {
 public:
  explicit TScopedLanguage(const std::vector<std::string>& utf8Lines) {
    std::string bytes;
    for (const std::string& line : utf8Lines) {
      bytes += W(line) + "\r\n";
    }
    WriteBytes(dir_.File("lang.lng"), bytes);
    loaded_ = LoadLanguageFile(dir_.File("lang.lng"));
  }
  ~TScopedLanguage() { UnloadLanguage(); }
  bool Loaded() const { return loaded_; }

 private:
  TTempDir dir_;
  bool loaded_ = false;
};

// Records what a speech output is asked to do.
class TRecordingSpeech : public TSpeechOutput {
 public:
  struct Call {
    std::string Text;
    bool Interrupt;
    bool Cancel;
    bool operator==(const Call&) const = default;
  };
  void Say(const std::string& utf8, bool interrupt) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({utf8, interrupt, false});
  }
  void Cancel() override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({"", false, true});
  }
  std::vector<Call> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

// Records the files a sound player is asked to play.
class TRecordingPlayer : public TSoundPlayer {
 public:
  bool Play(const std::string& path, std::string_view kind) override {
    std::lock_guard<std::mutex> lock(mutex_);
    played_.push_back(path + "|" + std::string(kind));
    return true;
  }
  std::vector<std::string> Played() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return played_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> played_;
};

}  // namespace testsupport
