// Putting the render state of tracks and songs back to its starting values.
#pragma once

#include "model/track.h"

// Resets one track's render state before a render: per-key tables, performance state,
// articulation factors, the event bytes (freed), running blocks and the compiled program
// (dropped). KeyLength, PriorNotes and NextNotes are left to the note queue.
// No player may be reading the track's events.
void ResetTrackRenderState(TTreck& track);

// Starts a song preparation: clears the scope path, the handler texts, the snapshot
// texts and the snapshots' "shown before" flags, resets every track from `head`, sets the
// control track's tempo to 120, carries a solo track to the control track's Solo, numbers
// the tracks (TrackIndex) and pads every track's music lines with "m" up to the longest
// track. `first` := head; `count` := the number of tracks. A nil head only clears the
// globals.
void PrepareTracksForPlay(PTreck head, PTreck& first, int& count);

// Drops what compiling and rendering built on `track` and every track after it: notes,
// note queue, running blocks, compiled program, MIDI-file players, and, when `track` is
// the control track, the MIDI files the handler language loaded. The event bytes stay.
void ResetSongRenderState(PTreck track);
