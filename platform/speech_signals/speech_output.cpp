#include "platform/speech_signals/speech_output.h"

#include <cstdlib>

#include "platform/speech_signals/speech_dispatcher.h"
#include "platform/speech_signals/speech_log.h"

std::shared_ptr<TSpeechOutput> MakeSpeechOutput() {
  const char* log = std::getenv("VELTO_SPEECH_LOG");
  if (log != nullptr && *log != '\0') {
    return std::make_shared<TSpeechLog>(log);
  }
  return std::make_shared<TSpeechDispatcherOutput>();
}
