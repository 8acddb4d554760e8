#include "platform/text_lines.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/atomic_file.h"

namespace {

TEST(SplitLines, EveryLineEndCountsAndAFinalOneAddsNoLine) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"\r\n", {""}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR: two line ends
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\r\n\r\n", {"a", ""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitLines(c.text), c.lines) << testing::PrintToString(c.text);
  }
}

TEST(SplitLines, JoinGivesCrLfLinesBack) {
  const std::vector<std::string> lines = {"one", "", "\xCF\xF0\xE8"};
  EXPECT_EQ(JoinLinesCrLf(lines), "one\r\n\r\n\xCF\xF0\xE8\r\n");
  EXPECT_EQ(SplitLines(JoinLinesCrLf(lines)), lines);
}

class AtomicFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("velto-atomic-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(AtomicFile, ReplacesTheFileAndLeavesNoTemporaryFile) {
  const auto path = dir_ / "song.qem";
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  ASSERT_TRUE(WriteTextLines(path, {"new", "text"}));
  EXPECT_EQ(ReadFileBytes(path).value(), "new\r\ntext\r\n");
  EXPECT_EQ(ReadTextLines(path).value(), (std::vector<std::string>{"new", "text"}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(AtomicFile, FailureKeepsTheOldFileAndSaysWhy) {
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir_ / "missing" / "x.ini", "x", &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
  // A folder in the file's place: the rename fails, the folder stays, no temporary is left.
  std::filesystem::create_directories(dir_ / "taken" / "inner");
  EXPECT_FALSE(WriteFileAtomically(dir_ / "taken", "x", &error));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "taken"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_FALSE(ReadFileBytes(dir_ / "nothing", &error).has_value());
  EXPECT_FALSE(error.empty());
}

}  // namespace
