// The jobs of the command line without a window: export a song as a MIDI file, play it,
// list the output devices. Each prints what went wrong (UTF-8) and returns the exit status.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "base/errors.h"

class TVelto;

// The error as one line: where (track number and name, measure and voice; or the handler
// line, or the module file and line, with the measure and the running track of a run-time
// error; or the MIDI output port) and the message text, in UTF-8. User text in it is
// shortened and its control bytes escaped.
std::string DescribeSongError(const TErrors& error, const TVelto& song);

// Loads the song into `window` (window number 1, the first music track current). False
// with a line on `err` when the file cannot be read or parsed.
bool LoadSongForCommand(TVelto& window, const std::string& path, std::ostream& err);

// velto --export SONG OUT: 0 when the file was written, else 1.
int ExportSongCommand(const std::string& song, const std::string& out, std::ostream& err);
// velto --play SONG [--device N]: opens the ports on device N, plays the song to its end
// and closes them; 0 on success, else 1.
int PlaySongCommand(const std::string& song, int32_t device, std::ostream& err);
// velto --list-devices: one line per output device, "N: name"; 0.
int ListDevicesCommand(std::ostream& out);
