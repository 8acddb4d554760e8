#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/signal_log.h"
#include "platform/sound_player.h"
#include "tests/support/platform_temp_dir.h"

namespace {

TEST(SignalLog, ChosenByTheEnvironmentAndOneLinePerSignal) {
  TTempDir dir;
  ::setenv("VELTO_SIGNAL_LOG", dir.File("signal.log").c_str(), 1);
  auto player = MakeSoundPlayer();
  ::unsetenv("VELTO_SIGNAL_LOG");
  EXPECT_TRUE(player->Play("/any/treck.wav", "sTrack"));
  EXPECT_TRUE(player->Play("/any/caps", "sCaps"));
  EXPECT_EQ(ReadFileBytes(dir.File("signal.log")), "sTrack\nsCaps\n");
}

TEST(CanberraPlayer, AMissingFileIsNotStarted) {
  TTempDir dir;
  auto player = MakeCanberraPlayer();
  EXPECT_FALSE(player->Play(dir.File("missing.wav"), "sOk"));
  EXPECT_FALSE(player->Play(dir.File("missing.wav"), "sOk")) << "the second call replaces the first";
}

}  // namespace
