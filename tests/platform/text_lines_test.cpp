#include "platform/text_lines.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitLines, EveryLineEndCountsAFinalOneAddsNoLineAndJoinGivesCrLfLinesBack) {
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
  const std::vector<std::string> lines = {"one", "", "\xCF\xF0\xE8"};
  EXPECT_EQ(JoinLinesCrLf(lines), "one\r\n\r\n\xCF\xF0\xE8\r\n");
  EXPECT_EQ(SplitLines(JoinLinesCrLf(lines)), lines);
}

}  // namespace
