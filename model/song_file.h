// Song files: the song text without its label and file-name lines, in code page 1251 with
// CR LF line ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class TVelto;

// The largest song file read, in bytes.
inline constexpr uint64_t kMaxSongFileBytes = 16u << 20;
// The longest line of a song file (a measure of every voice, or a handler line), in bytes.
inline constexpr size_t kMaxSongLineBytes = 256u << 10;

// Reads the song file at path into window: its lines, with Label and path put in front, go
// through TVelto::Convert. A UTF-8 file (with or without its byte order mark) is converted
// to code page 1251 when every character fits. False when the file cannot be read, is
// larger than kMaxSongFileBytes, has a line longer than kMaxSongLineBytes or is UTF-8 that
// code page 1251 cannot hold (error says why, GErrors untouched), or when its text is bad
// (GErrors code 39, error describes it); the window then keeps its old song.
bool LoadSongFile(TVelto& window, const std::filesystem::path& path, const std::string& Label,
                  std::string* error = nullptr);

// The lines of the song file at path as LoadSongFile reads them (code page 1251), or
// nothing (error says why) when it would refuse the file before parsing it.
std::optional<std::vector<std::string>> ReadSongFileLines(const std::filesystem::path& path,
                                                          std::string* error = nullptr);

// Why LoadSongFile would refuse a song file of these lines (a line longer than
// kMaxSongLineBytes, more than kMaxSongFileBytes in all), or empty when it would not.
std::string SongLinesFault(const std::vector<std::string>& lines);

// The size in bytes of the song file that SaveSongFile would write for window.
uint64_t SongFileBytes(const TVelto& window);

// Writes window's song (TVelto::DeConvert, without lines 0 and 1) to path through a temporary
// file. A song that LoadSongFile would refuse (SongLinesFault, more than kMaxSongTracks
// tracks) is not written. False with error on failure. The editors are not committed here
// (SaveData first).
bool SaveSongFile(TVelto& window, const std::filesystem::path& path, const std::string& Label,
                  std::string* error = nullptr);

// What is wrong with the song text of the error in GErrors (code 39; empty for another
// code), in the user's language (UTF-8):
// the track (numbered as the window names them, the control track 0), the line of the file
// and what was found there. Quoted user text is cut only past 1,000 characters; the reason
// never is.
std::string SongTextErrorReason();

// "error 39: " and the reason (UTF-8, the user's language), for command-line tools and logs.
std::string DescribeSongTextError();
