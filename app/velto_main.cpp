// velto: the program's entry. It opens the songs in the main window, or without a window
// exports a song as a MIDI file, plays it or lists the MIDI output devices; the work
// itself is done by the libraries.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "notation/measure_cache.h"
#include "app/main_window_run.h"
#include "app/shell.h"
#include "app/single_instance.h"
#include "app/song_commands.h"
#include "platform/atomic_file.h"
#include "platform/midi_devices/sound_library_messages.h"
#include "platform/stale_temporaries.h"
#include "platform/stop_signals.h"
#include "feedback/speech.h"
#include "pluginhost/plugin_loader.h"
#include "settings/lang_texts.h"
#include "settings/program_dir.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: velto [--home DIR] [--verbose] [--open] [SONG.qem ...]\n"
         "       velto [--home DIR] [--verbose] --export SONG.qem OUT.mid   (OUT.mid - : standard output)\n"
         "       velto [--home DIR] [--verbose] --play SONG.qem [--device N]\n"
         "       velto [--home DIR] [--verbose] --list-devices\n"
         "       velto --version | --help\n"
         "--verbose also shows the messages of the sound libraries (ALSA, JACK, FluidSynth).\n"
         "One song given plays at once, and the window closes when the program is activated from\n"
         "another program after the song ended; --open only opens it.\n";
}

// The command line after the options every command shares.
struct TCommandLine {
  std::string Home;
  std::string Command;
  std::vector<std::string> Arguments;
  std::optional<int32_t> Device;
  bool Verbose = false;
  bool OpenOnly = false;  // --open: the one song given is not played at once
  bool Valid = true;
};

bool ReadNumber(const std::string& text, std::optional<int32_t>& value) {
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
    } else if (arg == "--verbose") {
      line.Verbose = true;
    } else if (arg == "--open") {
      line.OpenOnly = true;
    } else if (arg == "--export" || arg == "--play" || arg == "--list-devices" ||
               arg == "--version" || arg == "--help" || arg == "-h") {
      line.Valid = line.Valid && line.Command.empty();
      line.Command = arg;
    } else if (arg.size() > 1 && arg[0] == '-') {
      line.Valid = false;  // an option we do not know, never a song ("-" alone is the output)
    } else {
      line.Arguments.push_back(arg);
    }
  }
  const size_t wanted = line.Command == "--export" ? 2 : line.Command == "--play" ? 1 : 0;
  // Without a command the arguments are songs to open in the window.
  line.Valid = line.Valid && (line.Command.empty() || (line.Arguments.size() == wanted && !line.OpenOnly)) &&
               std::find(line.Arguments.begin(), line.Arguments.end(), "") == line.Arguments.end();
  return line;
}

// An exception no thread caught ends the program with a line instead of an abort without
// a word: the render and player threads run outside the command's own guard.
[[noreturn]] void EndOnUncaughtException() {
  bool outOfMemory = false;
  if (const std::exception_ptr e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    } catch (...) {
    }
  }
  RemovePendingTemporaryFiles();
  if (!outOfMemory) {
    std::fputs("velto: internal error: an exception was not caught\n", stderr);
    std::abort();
  }
  std::fputs("velto: out of memory: the song is too large for this machine\n", stderr);
  std::_Exit(1);
}

// A settings or cache file that is there but could not be read (a folder, a FIFO, a read
// error) is named on stderr: the program goes on without it.
void NoteUnreadable(const std::string& path) {
  struct stat st {};
  std::string error;
  if (::lstat(path.c_str(), &st) == 0 && !ReadFileBytes(path, &error)) {
    std::cerr << "velto: " << error << " (skipped)\n";
  }
}

// Sets up the program folder, reads the settings and the measure cache and loads the
// plug-ins (each one skipped named on stderr and, when asked, in *pluginProblems); false
// with a line on stderr when the folder cannot be made.
bool StartUp(const TCommandLine& line, std::vector<std::string>* pluginProblems = nullptr) {
  if (!SetupProgramDir(line.Home)) {
    std::cerr << "velto: cannot create the temporary folder under " << ChooseProgramDir(line.Home)
              << "\n";
    return false;
  }
  // What writes killed in an earlier run left in the folders the program writes.
  for (const char* folder : {"", "Resources", "Resources/temp"}) {
    RemoveStaleTemporariesOnce(ProgramDir + folder);
  }
  if (!LoadSettings(ProgramDir + kSettingsFileName)) {
    NoteUnreadable(ProgramDir + kSettingsFileName);
  }
  if (!LoadMeasureCache()) {
    NoteUnreadable(MeasureCachePath());
  }
  const std::vector<std::string> problems = LoadPlugins(ProgramDir);
  for (const std::string& problem : problems) {
    ReportPluginProblem(problem);
  }
  if (pluginProblems != nullptr) {
    *pluginProblems = problems;
  }
  return true;
}

// Keeps the measure cache and unloads the plug-ins.
void ShutDown() {
  SaveMeasureCache();
  UnloadPlugins();
}

// Runs the command the line names; its exit status.
int RunCommand(const TCommandLine& line) {
  if (!StartUp(line)) {
    return 1;
  }
  // Without a window nobody listens for the render's progress signals and percentages.
  SignalProgress = false;
  // Errors in the language the window speaks.
  if (const std::string language = StartLanguageFile(); !language.empty()) {
    LoadLanguageFile(ProgramDir + "Languages/" + language);
  }
  int status = 0;
  if (line.Command == "--export") {
    status = ExportSongCommand(line.Arguments[0], line.Arguments[1], std::cerr,
                               ::isatty(STDERR_FILENO) == 1);
  } else if (line.Command == "--play") {
    status = PlaySongCommand(line.Arguments[0], line.Device, std::cerr);
  } else {
    status = ListDevicesCommand(std::cout, std::cerr);
  }
  ShutDown();
  return status;
}

// A command without a window: SIGINT and SIGTERM stop it cleanly, a closed pipe is a
// write error, an allocation failure an error line. Its exit status.
int RunCommandLine(const TCommandLine& line) {
  // First, before any thread starts: every thread inherits the blocked signals.
  TStopSignals signals(RequestCommandStop);
  std::signal(SIGPIPE, SIG_IGN);
  const int status = RunCommandGuarded([&line] { return RunCommand(line); }, std::cerr);
  if (const int signal = signals.Received(); signal != 0) {
    return 128 + signal;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::set_terminate(EndOnUncaughtException);
  const TCommandLine line = ParseCommandLine(argc, argv);
  if (!line.Valid) {
    PrintUsage(std::cerr);
    return 2;
  }
  if (line.Command == "--help" || line.Command == "-h") {
    PrintUsage(std::cout);
    return 0;
  }
  if (line.Command == "--version") {
    std::cout << "velto " << VersionMajor << "." << VersionMinor << "." << VersionRelease << "."
              << VersionBuild << "\n";
    return 0;
  }
  ShowSoundLibraryMessages(line.Verbose);
  if (!line.Command.empty()) {
    return RunCommandLine(line);
  }
  // One copy per program folder: a later one hands its songs over before it opens anything.
  // While it waits for a copy that does not answer, it says so in the user's language.
  ProgramDir = ChooseProgramDir(line.Home);
  if (const std::string language = StartLanguageFile(); !language.empty()) {
    LoadLanguageFile(ProgramDir + "Languages/" + language);
  }
  std::string problem;
  const auto waiting = [] {
    Speak(LangStrOr(1280, "Программа уже запущена, но не отвечает. Жду её ответа."), -1);
  };
  switch (HandOverToRunningCopy(ProgramDir, {line.Arguments, line.OpenOnly}, &problem, waiting)) {
    case THandOver::HandedOver:
      return 0;
    case THandOver::NoAnswer:
      std::cerr << "velto: " << problem << "\n";
      Speak(LangStrOr(1281, "Запущенная программа не ответила: открываю ещё одно окно программы."),
            -1);
      break;
    case THandOver::First:
      break;
  }
  // A folder the program cannot write in is said where a user started from the desktop hears
  // and sees it, not only on stderr.
  SetupProgramDir(line.Home);
  if (const std::string folderProblem = ProgramFolderProblem(ProgramDir); !folderProblem.empty()) {
    return ShowStartProblem(argc, argv, folderProblem);
  }
  std::vector<std::string> pluginProblems;
  if (!StartUp(line, &pluginProblems)) {
    return 1;
  }
  const int status = RunMainWindow(argc, argv, line.Arguments, pluginProblems, !line.OpenOnly);
  ShutDown();
  return status;
}
