// velto-tool: diagnostic and test commands. Usage: velto-tool COMMAND ARGS...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "tools/velto_tool/commands.h"

namespace {

const TToolCommandEntry kCommands[] = {
    {"roundtrip", "IN.qem OUT.qem", "loads a song and saves it again", RunRoundtrip},
    {"notes", "SONG.qem", "prints the translated notes of every track, measure and voice", RunNotes},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: velto-tool COMMAND ARGS...\n");
  for (const TToolCommandEntry& c : kCommands) {
    std::fprintf(out, "  %s %s\n      %s\n", c.Name, c.Usage, c.Help);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A signal ends the tool at once, without a temporary file left behind.
  TStopSignals signals;
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  for (const TToolCommandEntry& c : kCommands) {
    if (std::strcmp(argv[1], c.Name) == 0) {
      return c.Run(std::vector<std::string>(argv + 2, argv + argc));
    }
  }
  std::fprintf(stderr, "velto-tool: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
