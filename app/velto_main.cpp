// velto: the program's entry. Without a window it exports a song as a MIDI file, plays it
// or lists the MIDI output devices; the work itself is done by the libraries.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "notation/measure_cache.h"
#include "app/main_window_run.h"
#include "app/song_commands.h"
#include "settings/program_dir.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: velto [--home DIR] [SONG.qem ...]\n"
         "       velto [--home DIR] --export SONG.qem OUT.mid\n"
         "       velto [--home DIR] --play SONG.qem [--device N]\n"
         "       velto [--home DIR] --list-devices\n";
}

// The command line after the options every command shares.
struct TCommandLine {
  std::string Home;
  std::string Command;
  std::vector<std::string> Arguments;
  int32_t Device = 0;
  bool Valid = true;
};

bool ReadNumber(const std::string& text, int32_t& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoi(text);
  return true;
}

TCommandLine ParseCommandLine(int argc, char** argv) {
  TCommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--home" || arg == "--device") && i + 1 >= argc) {
      line.Valid = false;
    } else if (arg == "--home") {
      line.Home = argv[++i];
    } else if (arg == "--device") {
      line.Valid = line.Valid && ReadNumber(argv[++i], line.Device);
    } else if (arg == "--export" || arg == "--play" || arg == "--list-devices") {
      line.Valid = line.Valid && line.Command.empty();
      line.Command = arg;
    } else {
      line.Arguments.push_back(arg);
    }
  }
  const size_t wanted = line.Command == "--export" ? 2 : line.Command == "--play" ? 1 : 0;
  // Without a command the arguments are songs to open in the window.
  line.Valid = line.Valid && (line.Command.empty() || line.Arguments.size() == wanted);
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const TCommandLine line = ParseCommandLine(argc, argv);
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    PrintUsage(std::cout);
    return 0;
  }
  if (!line.Valid) {
    PrintUsage(std::cerr);
    return 2;
  }
  if (!SetupProgramDir(line.Home)) {
    std::cerr << "velto: cannot create the temporary folder under " << ChooseProgramDir(line.Home)
              << "\n";
    return 1;
  }
  LoadSettings(ProgramDir + kSettingsFileName);
  LoadMeasureCache();
  int status = 0;
  if (line.Command.empty()) {
    status = RunMainWindow(argc, argv, line.Arguments);
    SaveMeasureCache();
    return status;
  }
  // Without a window nobody listens for the render's progress signals and percentages.
  SignalProgress = false;
  if (line.Command == "--export") {
    status = ExportSongCommand(line.Arguments[0], line.Arguments[1], std::cerr);
  } else if (line.Command == "--play") {
    status = PlaySongCommand(line.Arguments[0], line.Device, std::cerr);
  } else {
    status = ListDevicesCommand(std::cout);
  }
  SaveMeasureCache();
  return status;
}
