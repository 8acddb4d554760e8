// The log files of speech and signals: no kind of file makes a line wait.
#include "platform/append_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

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
