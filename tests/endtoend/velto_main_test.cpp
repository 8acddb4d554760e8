// The velto command line: every command prints its own output and errors and nothing of
// the sound libraries (the build machines have no sound card), and exits as documented.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/run_command.h"
#include "tests/support/sanitizers.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBin = fs::path(VELTO_BINARY_DIR) / "bin";

// What standard error may hold.
enum class TErrors { None, Usage, OwnLines };

struct TCommandCase {
  const char* Name;
  const char* Arguments;  // SONG and OUT stand for a one-measure song and a MIDI file
  int ExitCode;           // -2: 0 or 1, as a sound output is there or not
  const char* OutputStart;
  TErrors Errors;
};

void PrintTo(const TCommandCase& c, std::ostream* os) { *os << c.Name; }

class VeltoMain : public ::testing::TestWithParam<TCommandCase> {
 protected:
  void SetUp() override {
    fs::copy(kBin / "Resources", fs::path(home_.Path()) / "Resources", fs::copy_options::recursive);
    std::ofstream(song_, std::ios::binary) << "1 1 0 1 1 1 1\r\nX\r\nVd4m\r\ntempo 240\r\n"
                                              "1 0 1 1 1 1 1\r\nY\r\nVd4!y\r\n";
  }

  // The arguments with SONG and OUT put in.
  std::string Arguments() const {
    std::string text = GetParam().Arguments;
    for (const auto& [word, path] : {std::pair{"SONG", song_}, std::pair{"OUT", out_}}) {
      if (const size_t at = text.find(word); at != std::string::npos) {
        text.replace(at, std::string(word).size(), "'" + path + "'");
      }
    }
    return text;
  }

  TTempDir home_;
  TTempDir work_;
  std::string song_ = work_.File("song.qem");
  std::string out_ = work_.File("song.mid");
};

TEST_P(VeltoMain, PrintsOnlyItsOwnOutputAndErrors) {
  const TCommandCase& c = GetParam();
  if (kUninstrumentedLibrariesRace && std::string(c.Arguments).find("--play") != std::string::npos) {
    GTEST_SKIP() << "the synthesizer's threads are not instrumented";
  }
  const std::string errors = work_.File("stderr.txt");
  const TCommandRun run = RunCommand((kBin / "velto").string() + " --home '" + home_.Path() + "' " +
                                     Arguments() + " 2>'" + errors + "'");
  std::ifstream in(errors);
  const std::string stderrText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (c.ExitCode == -2) {
    EXPECT_TRUE(run.ExitCode == 0 || run.ExitCode == 1) << run.ExitCode << "\n" << stderrText;
  } else {
    EXPECT_EQ(run.ExitCode, c.ExitCode) << stderrText;
  }
  EXPECT_EQ(run.Output.rfind(c.OutputStart, 0), 0u) << run.Output;
  switch (c.Errors) {
    case TErrors::None:
      EXPECT_EQ(stderrText, "");
      break;
    case TErrors::Usage:
      EXPECT_EQ(stderrText.rfind("usage: velto", 0), 0u) << stderrText;
      break;
    case TErrors::OwnLines: {
      std::istringstream lines(stderrText);
      for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("velto: ", 0), 0u) << stderrText;
      }
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, VeltoMain,
    ::testing::Values(
        TCommandCase{"ListDevices", "--list-devices", 0, "0: FluidSynth (General MIDI)\n", TErrors::None},
        TCommandCase{"Version", "--version", 0, "velto 1.", TErrors::None},
        TCommandCase{"Help", "--help", 0, "usage: velto", TErrors::None},
        TCommandCase{"Export", "--export SONG OUT", 0, "", TErrors::None},
        // Without a sound output the synthesizer cannot start: the program says so, alone.
        TCommandCase{"Play", "--play SONG", -2, "", TErrors::OwnLines},
        // Without a command the arguments are songs for the window; an unknown option is none.
        TCommandCase{"UnknownOption", "--bogus", 2, "", TErrors::Usage},
        TCommandCase{"MissingArgument", "--export SONG", 2, "", TErrors::Usage},
        TCommandCase{"TwoCommands", "--version --list-devices", 2, "", TErrors::Usage}),
    [](const ::testing::TestParamInfo<TCommandCase>& info) { return std::string(info.param.Name); });

}  // namespace
