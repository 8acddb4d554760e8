// One track of a song and the list of tracks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TNoteList;      // translated notes of a track (the Braille translation)
struct TTrackRuntime;  // compiled handler, render and player state (the playback side)

struct TTreck;
using PTreck = TTreck*;

// A track: name, Braille music lines, handler program lines, carets, channel, port,
// play switches, and the state that compiling and rendering build on it.
struct TTreck {
  std::string Caption;
  int32_t MidiOut = 0;      // output port 0..16 (0 = the main port)
  int32_t HiddenLines = 0;  // program lines the program editor does not show
  long double Tempo = 120.0L;
  std::vector<std::string> HandlerLines;  // handler lines prepared for module assembly
  std::string TranslatorPath;
  std::vector<std::string> MusicStrings;    // one Braille line per measure, voices split by "()"
  std::vector<std::string> ProgramStrings;  // handler program lines
  int32_t ProgramCaretX = 1;
  int32_t ProgramCaretY = 1;
  uint16_t Voice = 1;        // voice shown in the Braille line editor (1-based)
  uint16_t CaretColumn = 1;  // caret in the Braille line editor (1-based)
  uint8_t Channel = 0;       // 1..16; 0 = the control track (the head of the list)
  long double TrackLength = 0;  // rendered length in ticks
  bool Solo = false;
  bool Enabled = true;
  bool HandlerOn = true;

  // Translated notes and the playback side's state, owned by the track.
  std::shared_ptr<TNoteList> NoteList;
  std::shared_ptr<TTrackRuntime> Runtime;

  PTreck Next = nullptr;
  PTreck Prev = nullptr;
};
