// One thread writes errors, speaks and signals while another reads and clears. Run it
// under ThreadSanitizer (scripts/build.sh tsan) as well as in the normal suite.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "feedback/error_messages.h"
#include "base/errors.h"
#include "settings/lang_texts.h"
#include "feedback/signals.h"
#include "feedback/speech.h"
#include "platform/speech_signals/signal_log.h"
#include "platform/speech_signals/speech_dispatcher.h"
#include "platform/speech_signals/speech_log.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kRounds = 2000;

TEST(ThreadSafety, RenderThreadWritesWhileTheUiReadsAndClears) {
  TTempDir dir;
  const std::string savedDir = ProgramDir;
  CopyInstalledResources(std::string(VELTO_BINARY_DIR) + "/bin/Resources", dir.Path() + "Resources");
  ProgramDir = dir.Path();
  SetSpeechOutput(std::make_shared<TSpeechLog>(dir.File("speech.log")));
  SetSoundPlayer(std::make_shared<TSignalLog>(dir.File("signal.log")));
  auto silent = std::make_shared<TSpeechDispatcherOutput>(dir.File("no-server"));
  GErrors.Reset();

  std::atomic<bool> done{false};
  std::thread render([&] {
    for (int i = 1; i <= kRounds; ++i) {
      const auto code = static_cast<uint8_t>(1 + i % 40);
      GErrors.Update([&](TErrors& e) {
        e.Text = "t" + std::to_string(code);
        e.Measure = code;
        e.Code = code;
      });
      Speak("progress " + std::to_string(i), i % 2 == 0 ? -1 : 0);
      Signal(sTrack);
      silent->Say("x", i % 3 == 0);
      LangStr(108);
    }
    done = true;
  });

  size_t taken = 0;
  size_t torn = 0;
  int language = 0;
  while (!done) {
    if (GErrors.Code() != 0) {
      const TErrors e = GErrors.Take();
      if (e.Code != 0) {
        ++taken;
        torn += (e.Text != "t" + std::to_string(e.Code) || e.Measure != e.Code) ? 1 : 0;
        SongErrorMessage(e.Code, e.Text, "P");
      }
    }
    if (++language % 50 == 0) {
      LangStrings.Set(TLangTable::FromLines({"108=u" + std::to_string(language)}));
    }
    StopSpeech();
  }
  render.join();
  silent->WaitIdle();
  EXPECT_FALSE(silent->Connected());
  silent.reset();

  SetSpeechOutput(nullptr);
  SetSoundPlayer(nullptr);
  UnloadLanguage();
  ProgramDir = savedDir;
  GErrors.Reset();

  EXPECT_EQ(torn, 0u) << "every record taken is whole";
  EXPECT_LE(taken, static_cast<size_t>(kRounds));
  const std::string signals = ReadBytes(dir.File("signal.log"));
  EXPECT_EQ(std::count(signals.begin(), signals.end(), '\n'), kRounds);
  // Every Speak and every StopSpeech left exactly one line.
  const std::string speech = ReadBytes(dir.File("speech.log"));
  size_t spoken = 0;
  size_t pos = 0;
  while ((pos = speech.find("progress ", pos)) != std::string::npos) {
    ++spoken;
    ++pos;
  }
  EXPECT_EQ(spoken, static_cast<size_t>(kRounds));
}

}  // namespace
