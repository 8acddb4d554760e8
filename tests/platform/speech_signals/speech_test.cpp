#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>

#include "tests/support/fake_ssip_server.h"
#include "platform/speech_signals/speech_dispatcher.h"
#include "platform/speech_signals/speech_log.h"
#include "platform/speech_signals/speech_output.h"
#include "tests/support/temp_dir.h"

namespace {

bool IsCancel(const std::string& line) {
  return line.rfind("CANCEL", 0) == 0 || line.rfind("cancel", 0) == 0;
}

bool IsSpeak(const std::string& line) {
  return line == "SPEAK" || line == "speak";
}

// The commands from the first one at or after `from` that `pred` accepts.
size_t Find(const std::vector<std::string>& log, size_t from, bool (*pred)(const std::string&)) {
  for (size_t i = from; i < log.size(); ++i) {
    if (pred(log[i])) {
      return i;
    }
  }
  return log.size();
}

TEST(SpeechDispatcher, QueuedAndInterruptingTextsReachTheServerInUtf8) {
  TTempDir dir;
  TFakeSsipServer server(dir.File("ssip"));
  ASSERT_TRUE(server.Listening());
  TSpeechDispatcherOutput output(dir.File("ssip"));
  output.Say("Такт пять", false);
  output.WaitIdle();
  EXPECT_TRUE(output.Connected());
  output.Say("Нота до, ёлка", true);
  output.WaitIdle();

  const auto log = server.Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].rfind("SET SELF CLIENT_NAME", 0), 0u) << log[0];
  const size_t firstSpeak = Find(log, 0, IsSpeak);
  ASSERT_LT(firstSpeak + 1, log.size());
  EXPECT_EQ(log[firstSpeak + 1], "TEXT:Такт пять");
  EXPECT_EQ(Find(log, 0, IsCancel) > firstSpeak, true) << "a queued text cancels nothing";
  const size_t cancel = Find(log, firstSpeak, IsCancel);
  const size_t secondSpeak = Find(log, firstSpeak + 1, IsSpeak);
  ASSERT_LT(secondSpeak + 1, log.size());
  EXPECT_LT(cancel, secondSpeak) << "CANCEL goes before the interrupting SPEAK";
  EXPECT_EQ(log[secondSpeak + 1], "TEXT:Нота до, ёлка");
}

TEST(SpeechDispatcher, CancelAndAnEmptyInterruptOnlyCancelAndLinesArriveWhole) {
  TTempDir dir;
  TFakeSsipServer server(dir.File("ssip"));
  TSpeechDispatcherOutput output(dir.File("ssip"));
  output.Say("", true);
  output.WaitIdle();
  output.Cancel();
  output.Say("", false);
  output.WaitIdle();
  auto log = server.Log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(), IsCancel), 2);
  EXPECT_EQ(std::count_if(log.begin(), log.end(), IsSpeak), 0);
  output.Say("first\r\n.second", false);
  output.WaitIdle();
  log = server.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "TEXT:first\n.second"), log.end());
}

TEST(SpeechDispatcher, SilentWithoutAServerOrWhenItGoesAway) {
  TTempDir dir;
  TSpeechDispatcherOutput nobody(dir.File("nobody-listens"));
  nobody.Say("hello", true);
  nobody.Cancel();
  nobody.WaitIdle();
  EXPECT_FALSE(nobody.Connected());
  auto server = std::make_unique<TFakeSsipServer>(dir.File("ssip"));
  TSpeechDispatcherOutput output(dir.File("ssip"));
  output.Say("one", false);
  output.WaitIdle();
  ASSERT_TRUE(output.Connected());
  server.reset();
  for (int i = 0; i < 3; ++i) {
    output.Say("into the void", i % 2 == 0);
    output.WaitIdle();
  }
  EXPECT_FALSE(output.Connected());
}

// A server that takes the connection but never answers (one hanging while it starts):
// closing the output must not wait for it.
TEST(SpeechDispatcher, ClosingDoesNotWaitForAServerThatNeverAnswers) {
  TTempDir dir;
  const std::string path = dir.File("mute");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(fd, 4), 0);  // connections wait in the backlog, never accepted

  auto closed = std::async(std::launch::async, [&path] {
    TSpeechDispatcherOutput output(path);
    output.Say("hello", true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the worker is connecting
  });
  // A generous bound: this checks that closing ends at all, not how fast.
  EXPECT_EQ(closed.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  ::close(fd);  // the waiting connection is refused; the worker ends
}

TEST(SpeechDispatcher, DefaultAddressComesFromTheEnvironment) {
  TTempDir dir;
  TFakeSsipServer server(dir.File("ssip"));
  ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + dir.File("ssip")).c_str(), 1);
  {
    TSpeechDispatcherOutput output;
    output.Say("через окружение", false);
    output.WaitIdle();
  }
  ::unsetenv("SPEECHD_ADDRESS");
  const auto log = server.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "TEXT:через окружение"), log.end());
}

TEST(SpeechLog, ChosenByTheEnvironmentAndOneLinePerCall) {
  TTempDir dir;
  ::setenv("VELTO_SPEECH_LOG", dir.File("speech.log").c_str(), 1);
  auto output = MakeSpeechOutput();
  ::unsetenv("VELTO_SPEECH_LOG");
  output->Say("Трек", false);
  output->Say("two\nlines", true);
  output->Cancel();
  EXPECT_EQ(ReadBytes(dir.File("speech.log")), "S\tТрек\nI\ttwo lines\nC\t\n");
}

}  // namespace
