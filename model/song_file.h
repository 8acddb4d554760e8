// Song files: the song text without its label and file-name lines, in code page 1251 with
// CR LF line ends.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TVelto;

// Reads the song file at path into window: its lines, with Label and path put in front, go
// through TVelto::Convert. False when the file cannot be read (error says why) or its text
// is bad (GErrors code 39, error describes it); the window then keeps its old song.
bool LoadSongFile(TVelto& window, const std::filesystem::path& path, const std::string& Label,
                  std::string* error = nullptr);

// Writes window's song (TVelto::DeConvert, without lines 0 and 1) to path through a temporary
// file. False with error on failure. The editors are not committed here (SaveData first).
bool SaveSongFile(TVelto& window, const std::filesystem::path& path, const std::string& Label,
                  std::string* error = nullptr);

// A sentence about the song-text error in GErrors (UTF-8), for command-line tools and logs.
std::string DescribeSongTextError();
