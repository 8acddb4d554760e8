// Random songs with handlers for comparing render paths: the same seed gives the same
// song. Tracks of 4/4 or 3/4 measures with quarter, eighth, half and whole notes, triplets,
// rests, chords, ties, ornaments, a second voice, block calls and harmony parts; handler
// programs drawn from pieces that set velocities and lengths in "keys", count notes,
// change the tempo, transposition, position shift, controllers and articulation, in
// "evry" and time blocks, and now and then with "rnd" or a per-tick "keylength".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace randomsong {

// One track of a song text (UTF-8): channel, name, music lines, program lines.
struct TTrack {
  int Channel = 0;
  std::string Name;
  std::vector<std::string> Music;
  std::vector<std::string> Program;
};

// The tracks of song `seed`, the control track first.
std::vector<TTrack> RandomSong(uint32_t seed);

}  // namespace randomsong
