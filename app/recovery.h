// Recovery after an unclean end: the songs that windows of a program which ended without
// closing them left in Resources/temp are offered back at the next start, one question
// per song, before any song window is made.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/leftover_songs.h"

// The question for one leftover song (code page 1251): its file's name (or the name of a
// new song) and when it was last changed; and whether the file was changed or deleted on
// disk since the window last read or wrote it.
std::string RecoveryQuestion(const TLeftoverSong& song);

// What the user answered.
struct TRecoveryAnswers {
  std::vector<TLeftoverSong> Recover;  // to open, each in its own window
  std::vector<TLeftoverSong> Later;    // kept for the next start (held while they live)
};

// Asks about each leftover with `ask` (a Yes/No/Cancel question; returns the button):
// Yes takes the song back, No deletes its files, Cancel (or a closed box) keeps them for
// the next start.
TRecoveryAnswers AskAboutLeftoverSongs(std::vector<TLeftoverSong> leftovers,
                                       const std::function<int(const std::string&)>& ask);
