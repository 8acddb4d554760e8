#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/atomic_file.h"

namespace {

const std::filesystem::path kTool = std::filesystem::path(VELTO_BINARY_DIR) / "bin/velto-tool";
const std::filesystem::path kSource = VELTO_SOURCE_DIR;

TCommandRun RunTool(const std::string& arguments) {
  return RunCommand(kTool.string() + " " + arguments + " 2>&1");
}

class RoundtripTool : public testing::Test {
 protected:
  void SetUp() override {
    out_ = std::filesystem::temp_directory_path() /
           ("velto-roundtrip-" + std::to_string(::getpid()) + ".qem");
    std::filesystem::remove(out_);
  }
  void TearDown() override { std::filesystem::remove(out_); }
  std::filesystem::path out_;
};

TEST_F(RoundtripTool, SongFilesComeBackByteForByte) {
  for (const char* song : {"examples/ode-to-joy.qem", "tests/data/songs/ensemble.qem",
                           "tests/data/songs/directives.qem"}) {
    const TCommandRun run = RunTool("roundtrip " + (kSource / song).string() + " " + out_.string());
    ASSERT_EQ(run.ExitCode, 0) << song << ": " << run.Output;
    EXPECT_EQ(ReadFileBytes(out_), ReadFileBytes(kSource / song)) << song;
  }
}

TEST_F(RoundtripTool, LfLinesAreReadAndWrittenBackWithCrLf) {
  const auto lf = out_.string() + ".lf";
  ASSERT_TRUE(WriteFileAtomically(lf, "0 1 1 1 1 1 1\nName\ntempo 90\n"));
  const TCommandRun run = RunTool("roundtrip " + lf + " " + out_.string());
  std::filesystem::remove(lf);
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadFileBytes(out_).value(), "0 1 1 1 1 1 1\r\nName\r\ntempo 90\r\n");
}

TEST_F(RoundtripTool, ABadSongExitsWithOneAndTheErrorText) {
  const auto bad = kSource / "tests/data/songs/bad-header.qem";
  const TCommandRun run = RunTool("roundtrip " + bad.string() + " " + out_.string());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ошибка 39"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("2 1 x 1 1 1 1"), std::string::npos) << run.Output;
  EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(RoundtripTool, MissingFilesAndWrongArgumentsFail) {
  EXPECT_EQ(RunTool("roundtrip /nonexistent/song.qem " + out_.string()).ExitCode, 1);
  const auto song = kSource / "examples/ode-to-joy.qem";
  EXPECT_EQ(RunTool("roundtrip " + song.string() + " /nonexistent/out.qem").ExitCode, 1);
  EXPECT_EQ(RunTool("roundtrip only-one-argument").ExitCode, 2);
  const TCommandRun unknown = RunTool("nosuchcommand");
  EXPECT_EQ(unknown.ExitCode, 2);
  EXPECT_NE(unknown.Output.find("roundtrip"), std::string::npos);
}

}  // namespace
