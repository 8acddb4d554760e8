#include <cstdio>

#include "model/song.h"
#include "model/song_file.h"
#include "tools/velto_tool/commands.h"

bool LoadToolSong(TVelto& song, const std::string& path) {
  std::string error;
  if (!LoadSongFile(song, path, std::string(), &error)) {
    std::fprintf(stderr, "velto-tool: %s\n", error.c_str());
    return false;
  }
  return true;
}
