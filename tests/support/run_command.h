// Running commands and Python checks from tests.
#pragma once

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

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
