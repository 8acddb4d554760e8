// The velto command line: every command prints its own output and errors and nothing of
// the sound libraries (the build machines have no sound card), and exits as documented.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/midi_log_check.h"
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
  int ExitCode;
  const char* OutputStart;
  TErrors Errors;
  int NoteOns = -1;  // 0 or more: played to the MIDI log device, which receives that many
};

void PrintTo(const TCommandCase& c, std::ostream* os) { *os << c.Name; }

class VeltoMain : public ::testing::TestWithParam<TCommandCase> {
 protected:
  void SetUp() override {
    CopyInstalledResources(kBin / "Resources", fs::path(home_.Path()) / "Resources");
    std::ofstream(song_, std::ios::binary) << "1 1 0 1 1 1 1\r\nX\r\nVd4m\r\ntempo 240\r\n"
                                              "1 0 1 1 1 1 1\r\nY\r\nVd4!y\r\n";
  }

  // The arguments with SONG, OUT and LOG (the MIDI log device's number) put in.
  std::string Arguments() const {
    std::string text = GetParam().Arguments;
    for (const auto& [word, path] : {std::pair{"SONG", song_}, std::pair{"OUT", out_}}) {
      if (const size_t at = text.find(word); at != std::string::npos) {
        text.replace(at, std::string(word).size(), "'" + path + "'");
      }
    }
    if (const size_t at = text.find("LOG"); at != std::string::npos) {
      text.replace(at, 3, LogDevice());
    }
    return text;
  }

  // The environment that adds the MIDI log device.
  std::string LogVariable() const { return "VELTO_MIDI_LOG='" + log_ + "' "; }

  // The number --list-devices gives the MIDI log device.
  std::string LogDevice() const {
    const std::string listed =
        RunCommand(LogVariable() + (kBin / "velto").string() + " --home '" + home_.Path() +
                   "' --list-devices").Output;
    const size_t at = listed.find(": log\n");
    if (at == std::string::npos) {
      return "none";
    }
    const size_t start = listed.rfind('\n', at) == std::string::npos ? 0 : listed.rfind('\n', at) + 1;
    return listed.substr(start, at - start);
  }

  TTempDir home_;
  TTempDir work_;
  std::string song_ = work_.File("song.qem");
  std::string out_ = work_.File("song.mid");
  std::string log_ = work_.File("midi.log");
};

TEST_P(VeltoMain, PrintsOnlyItsOwnOutputAndErrors) {
  const TCommandCase& c = GetParam();
  if (kUninstrumentedLibrariesRace && std::string(c.Arguments).find("--play") != std::string::npos) {
    GTEST_SKIP() << "the synthesizer's threads are not instrumented";
  }
  const std::string errors = work_.File("stderr.txt");
  const std::string environment = c.NoteOns >= 0 ? LogVariable() : std::string();
  const TCommandRun run = RunCommand(environment + (kBin / "velto").string() + " --home '" +
                                     home_.Path() + "' " + Arguments() + " 2>'" + errors + "'");
  std::ifstream in(errors);
  const std::string stderrText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(run.ExitCode, c.ExitCode) << stderrText;
  if (c.NoteOns >= 0) {
    std::ifstream log(log_);
    const std::string played((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    const TMidiLogSummary summary = SummariseMidiLog(played);
    EXPECT_EQ(summary.NoteOns, c.NoteOns) << played;
    EXPECT_TRUE(summary.StillSounding.empty()) << played;
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
        // The song's one note reaches the device, and every channel is silenced at the end.
        TCommandCase{"Play", "--play SONG --device LOG", 0, "", TErrors::None, 1},
        // Without a command the arguments are songs for the window; an unknown option is none.
        TCommandCase{"UnknownOption", "--bogus", 2, "", TErrors::Usage},
        TCommandCase{"MissingArgument", "--export SONG", 2, "", TErrors::Usage},
        TCommandCase{"TwoCommands", "--version --list-devices", 2, "", TErrors::Usage}),
    [](const ::testing::TestParamInfo<TCommandCase>& info) { return std::string(info.param.Name); });

}  // namespace
