// Commands of velto-tool. Each command lives in its own file and is listed in main.cpp.
#pragma once

#include <string>
#include <vector>

// A command gets its arguments (after the command name) and returns the exit code.
using TToolCommand = int (*)(const std::vector<std::string>& args);

struct TToolCommandEntry {
  const char* Name;
  const char* Usage;  // arguments, for the help text
  const char* Help;   // one line
  TToolCommand Run;
};

int RunRoundtrip(const std::vector<std::string>& args);
int RunNotes(const std::vector<std::string>& args);

class TVelto;
// Loads the song file at `path` into `song`; false, with the reason on stderr, when it
// cannot be read or is not a song.
bool LoadToolSong(TVelto& song, const std::string& path);
