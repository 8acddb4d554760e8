#include "platform/paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

TEST(Paths, OnlyPlainNamesPassAndBackslashesBecomeSlashes) {
  const std::pair<std::string, bool> cases[] = {
      {"song.qem", true},  {"Песня.Qem", true}, {"..song", true}, {"a..b", true},
      {"", false},         {".", false},        {"..", false},    {"../x", false},
      {"a/b", false},      {"a\\b", false},     {"\\x", false},   {"/etc", false},
      {std::string("a\0b", 3), false},
  };
  for (const auto& [name, plain] : cases) {
    EXPECT_EQ(IsPlainName(name), plain) << name;
  }
  EXPECT_EQ(ToSlashes("Resources\\temp\\qem[1"), "Resources/temp/qem[1");
}

TEST(Paths, NamesCompareIgnoringLatinAndCyrillicCase) {
  EXPECT_TRUE(SameNameIgnoringCase("Modules", "mODULES"));
  EXPECT_TRUE(SameNameIgnoringCase("Ёжик.Blk", "ёЖИК.bLK"));
  EXPECT_TRUE(SameNameIgnoringCase("Єї", "єЇ"));
  EXPECT_FALSE(SameNameIgnoringCase("Ежик", "Ёжик"));
  EXPECT_FALSE(SameNameIgnoringCase("abc", "abcd"));
}

// Names and program paths are found whatever their case and never leave their folder.
TEST(Paths, FindsNamesInTheirFolderIgnoringCase) {
  TTempDir dir;
  const std::filesystem::path root = dir.Path();
  std::filesystem::create_directories(root / "Modules");
  std::filesystem::create_directories(root / "Resources" / "temp");
  std::ofstream(root / "Modules" / "Bass.Blk") << "x";
  std::ofstream(root / "Modules" / "Песня.txt") << "x";
  std::ofstream(root / "secret") << "x";
  EXPECT_EQ(FindInFolder(root, "modules"), root / "Modules");
  EXPECT_EQ(FindInFolder(root / "Modules", "ПЕСНЯ.TXT"), root / "Modules" / "Песня.txt");
  // A name not there keeps its spelling, for a file about to be made.
  EXPECT_EQ(FindInFolder(root / "Modules", "New.blk"), root / "Modules" / "New.blk");
  for (const char* name : {"../secret", "..", "..\\secret", "/etc/passwd", "sub/../../secret", ""}) {
    EXPECT_FALSE(FindInFolder(root / "Modules", name).has_value()) << name;
  }
  EXPECT_EQ(FindUnder(root, "modules\\BASS.BLK"), root / "Modules" / "Bass.Blk");
  EXPECT_EQ(FindUnder(root, "RESOURCES\\Temp\\qem[1"), root / "Resources" / "temp" / "qem[1");
  EXPECT_EQ(FindUnder(root, "Modules\\"), root / "Modules");
  for (const char* path : {"..\\secret", "Modules\\..\\secret", "\\etc", "Modules\\\\x", "", "."}) {
    EXPECT_FALSE(FindUnder(root, path).has_value()) << path;
  }
}

}  // namespace
