// Globals the shell shares with the song side.
#pragma once

#include <atomic>
#include <string>
#include <vector>

// Set by the shell when it started playing a song from the command line or a second copy.
extern std::atomic<bool> GAutoPlayStarted;
// Set by the playback thread at its end; the shell then closes the main window.
extern std::atomic<bool> GAutoPlayEnded;

// Rule lines of the current track's and of the control track's translator file.
extern std::vector<std::string> TranslatorRules;
extern std::vector<std::string> HeadTranslatorRules;
