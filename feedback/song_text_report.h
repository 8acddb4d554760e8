// The report of a song text that cannot be read, for the programs that show windows.
#pragma once

// Makes TVelto::Convert show a refused song text as the song-text error (code 39) in an
// error box, with an empty place and detail. The command line does not install it: it
// tells the error in one line of its own.
void InstallSongTextErrorReport();
