#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/atomic_file.h"

namespace {

const std::filesystem::path kNotesTool = std::filesystem::path(VELTO_BINARY_DIR) / "bin/velto-tool";
const std::filesystem::path kSongs = VELTO_SOURCE_DIR;

TCommandRun RunNotes(const std::string& song) {
  return RunCommand(kNotesTool.string() + " notes " + song + " 2>&1");
}

TEST(NotesTool, PrintsTracksMeasuresAndVoices) {
  const TCommandRun run = RunNotes((kSongs / "examples/ode-to-joy.qem").string());
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output.rfind("1 1 1: 64:1/4 64:1/4 65:1/4 67:1/4\n"
                             "1 2 1: 67:1/4 65:1/4 64:1/4 62:1/4\n"
                             "1 3 1: 60:1/4 60:1/4 62:1/4 64:1/4\n",
                             0),
            0u)
      << run.Output;
  EXPECT_NE(run.Output.find("1 4 1: 64:3/8 62:1/8 62:1/2\n"), std::string::npos);
  EXPECT_NE(run.Output.find("2 8 1: 43:1/2 48:1/2\n"), std::string::npos);
}

// The ode with its first measure changed, written to a temporary song file.
std::filesystem::path OdeWithFirstMeasure(const std::string& measure) {
  auto song = ReadFileBytes(kSongs / "examples/ode-to-joy.qem");
  size_t at = song ? song->find("Vd4!NNQT") : std::string::npos;
  if (at == std::string::npos) {
    return {};
  }
  song->replace(at, 8, measure);
  const auto path = std::filesystem::temp_directory_path() / ("velto-notes-" + std::to_string(::getpid()) + ".qem");
  return WriteFileAtomically(path, *song) ? path : std::filesystem::path();
}

TEST(NotesTool, VoicesChordsAndRests) {
  const auto path = OdeWithFirstMeasure("Vd4!NNQT()!PUPPP()m");
  ASSERT_FALSE(path.empty());
  const TCommandRun run = RunNotes(path.string());
  std::filesystem::remove(path);
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("1 1 1: 64:1/4 64:1/4 65:1/4 67:1/4\n"
                            "1 1 2: 60+64:1/4 60:1/4 60:1/4 60:1/4\n"
                            "1 1 3: r:1/1\n"
                            "1 2 1: 67:1/4"),
            std::string::npos)
      << run.Output;
}

// Each track is read with the control track's line as voice 1, as the render reads it:
// a time signature on the control track alone serves the track, and an error in the
// control line is the control track's (track 0).
TEST(NotesTool, TracksAreReadAfterTheControlLine) {
  struct Case {
    const char* song;
    int exitCode;
    const char* output;
  };
  const Case cases[] = {
      {"1 0 0 1 1 1 1\r\nC\r\nVd4m\r\n1 0 1 1 1 1 1\r\nP\r\n!SSOO\r\n", 0,
       "1 1 1: 62:1/4 62:1/4 69:1/4 69:1/4\n"},
      {"2 0 0 1 1 1 1\r\nC\r\nVd4m\r\n!PPPPP\r\n1 0 1 1 1 1 1\r\nP\r\n!SSOO\r\n", 1,
       "0 2 1: error 2: Длительности такта не соответствуют заданному размеру! Категория А m\n"},
  };
  const auto path = std::filesystem::temp_directory_path() /
                    ("velto-notes-control-" + std::to_string(::getpid()) + ".qem");
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileAtomically(path, c.song));
    const TCommandRun run = RunNotes(path.string());
    EXPECT_EQ(run.ExitCode, c.exitCode) << run.Output;
    EXPECT_EQ(run.Output, c.output);
  }
  std::filesystem::remove(path);
}

// A track's translator rewrites its lines before they are read, as a play prepares them;
// a translator without its file stops the listing at that track.
TEST(NotesTool, TracksAreReadThroughTheirTranslators) {
  const TCommandRun run = RunNotes((kSongs / "tests/data/songs/solfeggio-track.qem").string());
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output,
            "1 1 1: 64:1/4 64:1/4 65:1/4 67:1/4\n"
            "2 1 1: 60:1/4 62:1/4 64:1/4 65:1/4\n");

  const auto path = std::filesystem::temp_directory_path() /
                    ("velto-notes-translator-" + std::to_string(::getpid()) + ".qem");
  ASSERT_TRUE(WriteFileAtomically(path, "1 0 0 1 1 1 1\r\nC\r\nVd4m\r\n1 0 1 1 1 1 1\r\nA\r\n!NNQT\r\n"
                                        "1 1 2 1 1 1 1\r\nB\r\n!NNQT\r\ntranslator Nosuch\r\n"));
  const TCommandRun missing = RunNotes(path.string());
  std::filesystem::remove(path);
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(missing.Output, "1 1 1: 64:1/4 64:1/4 65:1/4 67:1/4\n2: error 24: Файл транслятора не найден! nosuch\n");
}

TEST(NotesTool, ATranslationErrorEndsWithItsCode) {
  const auto path = OdeWithFirstMeasure("Vd4!NNQ");
  ASSERT_FALSE(path.empty());
  const TCommandRun run = RunNotes(path.string());
  std::filesystem::remove(path);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output,
            "1 1 1: error 3: Длительности такта не соответствуют заданному размеру! Категория Б\n");
}

}  // namespace
