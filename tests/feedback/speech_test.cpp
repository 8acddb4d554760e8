#include "feedback/speech.h"

#include <gtest/gtest.h>

#include "platform/speech_signals/speech_log.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TRecordingSpeech;
using testsupport::W;
using Call = TRecordingSpeech::Call;

TEST(Speak, HandsUtf8ToTheOutputAndTheLog) {
  auto speech = std::make_shared<TRecordingSpeech>();
  SetSpeechOutput(speech);
  Speak(W("Такт 5"), 0);
  Speak(W("Нота до"), -1);
  Speak("", 0);
  Speak("", -1);
  StopSpeech();
  Speak("plain", 1);
  const std::vector<Call> expected = {
      {"Такт 5", false, false}, {"Нота до", true, false}, {"", true, false},
      {"", false, true},        {"plain", true, false},
  };
  EXPECT_EQ(speech->Calls(), expected) << "an empty queued text is not sent";

  TTempDir dir;
  SetSpeechOutput(std::make_shared<TSpeechLog>(dir.File("speech.log")));
  Speak(W("Ёлка\r\nвторая строка"), -1);
  StopSpeech();
  SetSpeechOutput(nullptr);
  EXPECT_EQ(ReadBytes(dir.File("speech.log")), "I\tЁлка  вторая строка\nC\t\n");
}

}  // namespace
