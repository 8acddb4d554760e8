// velto-tool roundtrip IN.qem OUT.qem: loads a song and saves it again.
#include <cstdio>

#include "model/song.h"
#include "model/song_file.h"
#include "tools/velto_tool/commands.h"

int RunRoundtrip(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: velto-tool roundtrip IN.qem OUT.qem\n");
    return 2;
  }
  TVelto song;
  if (!LoadToolSong(song, args[0])) {
    return 1;
  }
  std::string error;
  if (!SaveSongFile(song, args[1], std::string(), &error)) {
    std::fprintf(stderr, "velto-tool: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
