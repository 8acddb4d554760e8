#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace {

TEST(Paths, BackslashesBecomeSlashes) {
  EXPECT_EQ(ToSlashes("Resources\\temp\\qem[1"), "Resources/temp/qem[1");
  EXPECT_EQ(ToSlashes("plain"), "plain");
}

TEST(Paths, OnlyPlainNamesPass) {
  struct Case {
    std::string name;
    bool plain;
  };
  const std::vector<Case> cases = {
      {"song.qem", true},  {"Песня.Qem", true}, {"..song", true},   {"a..b", true},
      {"", false},         {".", false},        {"..", false},      {"../x", false},
      {"a/b", false},      {"a\\b", false},     {"\\x", false},     {"/etc", false},
      {std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPlainName(c.name), c.plain) << c.name;
  }
}

TEST(Paths, NamesCompareIgnoringLatinAndCyrillicCase) {
  EXPECT_TRUE(SameNameIgnoringCase("Modules", "mODULES"));
  EXPECT_TRUE(SameNameIgnoringCase("Ёжик.Blk", "ёЖИК.bLK"));
  EXPECT_TRUE(SameNameIgnoringCase("Єї", "єЇ"));
  EXPECT_FALSE(SameNameIgnoringCase("Ежик", "Ёжик"));
  EXPECT_FALSE(SameNameIgnoringCase("abc", "abcd"));
}

class PathsInFolder : public testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("velto-paths-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "Modules");
    std::filesystem::create_directories(root_ / "Resources" / "temp");
    std::ofstream(root_ / "Modules" / "Bass.Blk") << "x";
    std::ofstream(root_ / "Modules" / "Песня.txt") << "x";
    std::ofstream(root_ / "secret") << "x";
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  std::filesystem::path root_;
};

TEST_F(PathsInFolder, FindsNamesIgnoringCase) {
  EXPECT_EQ(FindInFolder(root_, "modules"), root_ / "Modules");
  EXPECT_EQ(FindInFolder(root_ / "Modules", "bass.blk"), root_ / "Modules" / "Bass.Blk");
  EXPECT_EQ(FindInFolder(root_ / "Modules", "ПЕСНЯ.TXT"), root_ / "Modules" / "Песня.txt");
  // A name not there keeps its spelling, for a file about to be made.
  EXPECT_EQ(FindInFolder(root_ / "Modules", "New.blk"), root_ / "Modules" / "New.blk");
}

TEST_F(PathsInFolder, NamesFromSongsNeverLeaveTheirFolder) {
  for (const char* name : {"../secret", "..", "..\\secret", "/etc/passwd", "sub/../../secret", ""}) {
    EXPECT_FALSE(FindInFolder(root_ / "Modules", name).has_value()) << name;
  }
}

TEST_F(PathsInFolder, ProgramPathsAreFoundComponentByComponent) {
  EXPECT_EQ(FindUnder(root_, "modules\\BASS.BLK"), root_ / "Modules" / "Bass.Blk");
  EXPECT_EQ(FindUnder(root_, "RESOURCES\\Temp\\qem[1"), root_ / "Resources" / "temp" / "qem[1");
  EXPECT_EQ(FindUnder(root_, "Modules\\"), root_ / "Modules");
  for (const char* path : {"..\\secret", "Modules\\..\\secret", "\\etc", "Modules\\\\x", "", "."}) {
    EXPECT_FALSE(FindUnder(root_, path).has_value()) << path;
  }
}

}  // namespace
