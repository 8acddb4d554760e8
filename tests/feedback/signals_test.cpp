#include "feedback/signals.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings.h"
#include "tests/support/keep.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TRecordingPlayer;

const uint8_t kKinds[] = {sOk, sError, sTrack, sCaps, sQuestion};

bool& SettingOf(uint8_t kind) {
  bool* settings[] = {&SignalOK, &SignalError, &SignalProgress, &SignalUpCaps, &SignalQuestion};
  return *settings[kind];
}

// A temporary installation tree holding the built signal files, a recording player, and
// every signal setting on.
class SignalsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CopyInstalledResources(std::string(VELTO_BINARY_DIR) + "/bin/Resources", dir_.Path() + "Resources");
    ProgramDir = dir_.Path();
    SetSoundPlayer(player_);
    for (uint8_t kind : kKinds) {
      SettingOf(kind) = true;
    }
  }
  void TearDown() override { SetSoundPlayer(nullptr); }

  TKeep<std::string, bool, bool, bool, bool, bool> keep_{
      ProgramDir, SignalOK, SignalError, SignalProgress, SignalUpCaps, SignalQuestion};
  TTempDir dir_;
  std::shared_ptr<TRecordingPlayer> player_ = std::make_shared<TRecordingPlayer>();
};

TEST_F(SignalsTest, EachKindPlaysItsFileOnlyWhenItsSettingIsOn) {
  const char* expected[] = {"Resources/ok.wav|sOk", "Resources/error.wav|sError",
                            "Resources/treck.wav|sTrack", "Resources/caps|sCaps",
                            "Resources/question.wav|sQuestion"};
  for (uint8_t kind : kKinds) {
    EXPECT_TRUE(Signal(kind)) << int(kind);
    EXPECT_EQ(player_->Played().back(), dir_.Path() + expected[kind]);
  }
  for (uint8_t kind : kKinds) {
    SettingOf(kind) = false;
    EXPECT_FALSE(Signal(kind)) << int(kind);
    for (uint8_t other : kKinds) {
      if (other != kind) {
        EXPECT_TRUE(Signal(other)) << int(other) << " while " << int(kind) << " is off";
      }
    }
    SettingOf(kind) = true;
  }
  EXPECT_EQ(player_->Played().size(), std::size(kKinds) * std::size(kKinds));
}

TEST_F(SignalsTest, KindsAboveFourAndMissingFilesAreSilent) {
  EXPECT_FALSE(Signal(5));
  EXPECT_FALSE(PlaySignal(5));
  EXPECT_FALSE(PlaySignal(127));
  EXPECT_TRUE(PlaySignal(0x80 | sCaps)) << "only the low seven bits count";
  EXPECT_FALSE(Signal(0x80 | sCaps)) << "Signal takes no high bit";
  ASSERT_EQ(player_->Played().size(), 1u);
  EXPECT_EQ(player_->Played()[0], dir_.Path() + "Resources/caps|sCaps");
  std::filesystem::remove(dir_.Path() + "Resources/treck.wav");
  EXPECT_FALSE(Signal(sTrack));
  ProgramDir = "/nonexistent/";
  EXPECT_FALSE(PlaySignal(sOk));
  EXPECT_EQ(player_->Played().size(), 1u);
}

// The authored files: short waves, each distinct, and remade byte for byte by the script.
TEST_F(SignalsTest, SoundFilesAreSmallDistinctWavesThatTheScriptRemakes) {
  std::vector<std::string> contents;
  for (uint8_t kind : kKinds) {
    const std::string bytes = ReadBytes(SignalFile(kind));
    ASSERT_GT(bytes.size(), 44u) << SignalFile(kind);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    EXPECT_LT(bytes.size(), 16u * 1024) << SignalFile(kind);
    for (const std::string& earlier : contents) {
      EXPECT_NE(bytes, earlier) << SignalFile(kind);
    }
    contents.push_back(bytes);
  }
  if (std::system("command -v sox >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "sox is not installed";
  }
  TTempDir made;
  const std::string command = std::string(VELTO_SOURCE_DIR) + "/scripts/make-signals.sh " +
                              made.Path() + " >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (uint8_t kind : kKinds) {
    const std::string name = std::filesystem::path(SignalFile(kind)).filename();
    EXPECT_EQ(ReadBytes(made.Path() + name), ReadBytes(SignalFile(kind))) << name;
  }
}

}  // namespace
