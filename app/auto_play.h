// A song given at start, or handed over by a second copy, plays at once; once that play
// has ended the program window closes itself the next time the program is activated from
// another program (a dialog of its own that closes does not count).
#pragma once

#include <cstddef>

// True when the songs just opened play at once: exactly one was given and it opened.
bool PlaysAtOnce(size_t songsGiven, bool opened);
// The shell starts playing a song by itself: GAutoPlayStarted set, GAutoPlayEnded cleared.
void AutoPlayStarting();
// The play did not start after all (the song failed to prepare): nothing waits for its end.
void AutoPlayNotStarted();
// Songs handed over: what an earlier automatic play left no longer closes the window.
void AutoPlayForgotten();
// The window was activated: true, once, when the automatic play has ended (both flags are
// cleared then, so a close the user cancels is not asked again).
bool ClosesOnActivation();
