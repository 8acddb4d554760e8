// Globals the shell shares with the song side.
#pragma once

#include <atomic>

// Set by the shell when it started playing a song from the command line or a second copy.
extern std::atomic<bool> GAutoPlayStarted;
// Set by the playback thread at its end; the shell then closes the main window.
extern std::atomic<bool> GAutoPlayEnded;
