// The log files of speech and signals: a line goes whole, and no kind of file makes it wait.
#include "platform/append_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(AppendLine, LinesGoWholeIntoAFileMadeWhenMissing) {
  TTempDir temp;
  const fs::path log = fs::path(temp.Path()) / "speech.log";
  ASSERT_TRUE(AppendLineToFile(log.string(), "I\tПривет"));
  ASSERT_TRUE(AppendLineToFile(log.string(), "C\t"));
  std::ifstream in(log, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "I\tПривет\nC\t\n");
}

// A FIFO that nobody reads, a device and a folder fail at once (a blocking open of the
// FIFO would never come back and hang the test).
TEST(AppendLine, WhatCannotTakeALineAtOnceFails) {
  TTempDir temp;
  const fs::path fifo = fs::path(temp.Path()) / "unread.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(AppendLineToFile(fifo.string(), "S\tx"));
  EXPECT_FALSE(AppendLineToFile("/dev/full", "S\tx"));
  EXPECT_FALSE(AppendLineToFile(temp.Path(), "S\tx"));
}

}  // namespace
