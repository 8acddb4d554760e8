#include "feedback/speech.h"

#include <mutex>

#include "platform/codec1251.h"
#include "platform/speech_signals/speech_output.h"

namespace {

std::mutex gOutputMutex;
std::shared_ptr<TSpeechOutput> gOutput;

std::shared_ptr<TSpeechOutput> CurrentOutput() {
  std::lock_guard<std::mutex> lock(gOutputMutex);
  if (!gOutput) {
    gOutput = MakeSpeechOutput();
  }
  return gOutput;
}

}  // namespace

void Speak(const std::string& text, int interrupt) {
  if (text.empty() && interrupt == 0) {
    return;
  }
  CurrentOutput()->Say(Cp1251ToUtf8(text), interrupt != 0);
}

void StopSpeech() {
  CurrentOutput()->Cancel();
}

void SetSpeechOutput(std::shared_ptr<TSpeechOutput> output) {
  std::lock_guard<std::mutex> lock(gOutputMutex);
  gOutput = std::move(output);
}
