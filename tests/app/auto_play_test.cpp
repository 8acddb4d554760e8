#include "app/auto_play.h"

#include <gtest/gtest.h>

#include "settings/shared_state.h"

namespace {

class AutoPlayTest : public ::testing::Test {
 protected:
  void SetUp() override { AutoPlayForgotten(); }
  void TearDown() override { AutoPlayForgotten(); }
};

TEST_F(AutoPlayTest, OnlyOneSongOpenedPlaysAtOnce) {
  struct TCase {
    size_t given;
    bool opened;
    bool plays;
  };
  const TCase cases[] = {{0, false, false}, {1, true, true}, {1, false, false}, {2, true, false}, {3, true, false}};
  for (const TCase& c : cases) {
    EXPECT_EQ(PlaysAtOnce(c.given, c.opened), c.plays) << c.given << " " << c.opened;
  }
}

TEST_F(AutoPlayTest, TheWindowClosesOnceWhenActivatedAfterThePlayEnded) {
  AutoPlayStarting();
  EXPECT_TRUE(GAutoPlayStarted);
  EXPECT_FALSE(ClosesOnActivation());  // still playing
  GAutoPlayEnded = true;               // the player's end
  EXPECT_TRUE(ClosesOnActivation());
  EXPECT_FALSE(ClosesOnActivation());  // a close the user cancelled is not asked again
  EXPECT_FALSE(GAutoPlayStarted);
}

TEST_F(AutoPlayTest, APlayThatNeverStartedOrSongsHandedOverDoNotClose) {
  AutoPlayStarting();
  AutoPlayNotStarted();
  EXPECT_FALSE(GAutoPlayStarted);
  AutoPlayStarting();
  GAutoPlayEnded = true;
  AutoPlayForgotten();
  EXPECT_FALSE(ClosesOnActivation());
}

}  // namespace
