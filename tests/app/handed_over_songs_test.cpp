// Songs a later copy handed over while the program was closing wait for the next start.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/shell.h"
#include "tests/support/test_support.h"

namespace {

TEST(HandedOverSongs, KeptForTheNextStartWhichTakesThemOnce) {
  testsupport::TTempDir dir;
  std::filesystem::create_directories(dir.Path() + "Resources/temp");
  EXPECT_TRUE(TakeKeptHandedOverSongs(dir.Path()).empty());
  KeepHandedOverSongs(dir.Path(), {"/songs/a b.qem", "/songs/ода.qem"});
  KeepHandedOverSongs(dir.Path(), {"/songs/c.qem"});  // a second close keeps the first's too
  EXPECT_EQ(TakeKeptHandedOverSongs(dir.Path()),
            (std::vector<std::string>{"/songs/a b.qem", "/songs/ода.qem", "/songs/c.qem"}));
  EXPECT_TRUE(TakeKeptHandedOverSongs(dir.Path()).empty()) << "opened once, not at every start";
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path() + "Resources/temp"));
}

}  // namespace
