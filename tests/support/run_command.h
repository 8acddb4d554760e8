// Running commands and Python checks from tests.
#pragma once

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct TCommandRun {
  int ExitCode = -1;   // -1 when the command could not run or did not exit normally
  std::string Output;  // what it wrote to standard output
};

// Runs `command` through the shell and collects its standard output (add " 2>&1" to the
// command for its errors too).
inline TCommandRun RunCommand(const std::string& command) {
  TCommandRun run;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
      run.Output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return run;
}

// Runs a Python script with Debian's interpreter (where python3-mido and python3-numpy
// are), its errors joined to its output.
inline TCommandRun RunPythonScript(const std::string& script) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("velto_check_" + std::to_string(::getpid()) + ".py");
  std::ofstream(file) << script;
  TCommandRun run = RunCommand("/usr/bin/python3 '" + file.string() + "' 2>&1");
  std::filesystem::remove(file);
  return run;
}

// Pitch (Hz) and RMS level of windows of a WAV file, by tests/support/wav_pitch.py.
struct TWavWindows {
  double Seconds = 0;                               // the file's length
  std::vector<std::pair<double, double>> Windows;  // pitch and level, one per window asked
};
inline TCommandRun MeasureWav(const std::string& wav,
                              const std::vector<std::pair<double, double>>& windows,
                              TWavWindows& out) {
  std::string command = "/usr/bin/python3 '" VELTO_SOURCE_DIR "/tests/support/wav_pitch.py' '" + wav + "'";
  for (const auto& [from, to] : windows) {
    command += " " + std::to_string(from) + " " + std::to_string(to);
  }
  TCommandRun run = RunCommand(command + " 2>&1");
  std::istringstream in(run.Output);
  in >> out.Seconds;
  out.Windows.assign(windows.size(), {0, 0});
  for (auto& [pitch, level] : out.Windows) {
    in >> pitch >> level;
  }
  return run;
}
