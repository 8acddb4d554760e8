#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/speech_signals/signal_log.h"
#include "platform/speech_signals/sound_player.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(SoundPlayer, TheLogIsChosenByTheEnvironmentAndAMissingFileIsNotStarted) {
  TTempDir dir;
  ::setenv("VELTO_SIGNAL_LOG", dir.File("signal.log").c_str(), 1);
  auto player = MakeSoundPlayer();
  ::unsetenv("VELTO_SIGNAL_LOG");
  EXPECT_TRUE(player->Play("/any/treck.wav", "sTrack"));
  EXPECT_TRUE(player->Play("/any/caps", "sCaps"));
  EXPECT_EQ(ReadBytes(dir.File("signal.log")), "sTrack\nsCaps\n");
  auto canberra = MakeCanberraPlayer();
  EXPECT_FALSE(canberra->Play(dir.File("missing.wav"), "sOk"));
  EXPECT_FALSE(canberra->Play(dir.File("missing.wav"), "sOk")) << "the second call replaces the first";
}

}  // namespace
