// The jobs of the command line without a window: export a song as a MIDI file, play it,
// list the output devices. Each prints what went wrong (UTF-8) and returns the exit status.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "base/errors.h"

class TVelto;

// The error as one line: where (track number and name, measure and voice; or the handler
// line, or the module file and line, with the measure and the running track of a run-time
// error; or the MIDI output port) and the message text, in UTF-8. User text in it has its
// control bytes escaped and is cut only past 1,000 characters.
std::string DescribeSongError(const TErrors& error, const TVelto& song);

// Loads the song into `window` (window number 1, the first music track current), through
// the format plug-in that claims its extension. False with a line on `err` when the file
// cannot be read or parsed.
bool LoadSongForCommand(TVelto& window, const std::string& path, std::ostream& err);

// Why the export of the song file `song` cannot go to `out`: empty when it can. Refused: no
// name, the song file itself (also through links), a folder, a file that may not be
// written, a folder that does not exist. Checked before the render starts. In the user's
// language, UTF-8.
std::string ExportTargetProblem(const std::string& song, const std::string& out);

// Asks the command that runs to stop (from any thread): the render and the player stop and
// the command returns 1 after its usual cleaning up. It stays asked until ResetCommandStop.
void RequestCommandStop();
bool CommandStopRequested();
void ResetCommandStop();

// velto --export SONG OUT: 0 when the file was written, else 1. With showProgress the
// render's progress is shown on `err` (a terminal) while it runs.
int ExportSongCommand(const std::string& song, const std::string& out, std::ostream& err,
                      bool showProgress = false);
// velto --play SONG [--device N]: opens the ports with port 0 on device N (by default the
// device port 0 starts on, see StartingMidiOutDevice), plays the song to its end or to a
// stop request and closes the ports, which silences every channel; 0 on success, else 1.
int PlaySongCommand(const std::string& song, std::optional<int32_t> device, std::ostream& err);
// velto --list-devices: one line per output device, "N: name", on `out`; what keeps a
// device from the list (a sound font that does not load) on `err`; 0.
int ListDevicesCommand(std::ostream& out, std::ostream& err);

// Runs a command; an allocation failure ends it with a line on `err` and status 1.
int RunCommandGuarded(const std::function<int()>& command, std::ostream& err);
