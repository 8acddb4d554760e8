// The song text: pieces of the line layout that the parser and writer share with others.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"

// Error code of a song text that cannot be read.
inline constexpr uint8_t kSongTextError = 39;
// The most tracks a song may have: track numbers are 16-bit, and so is the track count of
// a MIDI file.
inline constexpr int32_t kMaxSongTracks = 65535;

// What is wrong with a song text that cannot be read: the Extra field of its error (code
// kSongTextError, source 2). ModuleLine holds the track's number as the window names tracks
// (the control track 0), TextLine the line of the song file (1-based; the file has no label
// and name lines).
enum TSongTextFault : int32_t {
  kBadSongHeader = 0,        // a header that cannot be read; Text: the line
  kSongTextEndsInTrack = 1,  // the text ends before the lines its header promises; Text: its name
  kTooManySongTracks = 2,    // more than kMaxSongTracks tracks
  kNoSongTrack = 3,          // nothing but blank lines, or no line at all
};

// Highest output port a track may use.
inline constexpr int32_t kMaxMidiOut = 16;

struct TTreck;

// The header line of a track as the song text holds it ("M P Channel Voice CaretColumn
// ProgramCaretX ProgramCaretY"); numbers are clamped into what the reader accepts.
std::string TrackHeaderLine(const TTreck& track);

// The N-th (1-based) blank-separated field of Line as a number; a number past 32 bits
// reads as the largest 32-bit one. The field must be digits only (no sign); otherwise
// Errors.Code := 39 and the result is 0. Two blanks in a row make an empty field, which is
// an error.
int32_t ParseHeaderField(std::string_view Line, uint8_t N, TErrors& Errors);

// The program line that routes a track to output port Port: "{$$$midiout=" Port "$$$}".
std::string MidiOutDirective(int32_t Port);

// The port of a midiout directive line: the line begins with "{$$$midiout=", "$$$}" follows
// with at least one character between, and that text is a plain number 0..16. Anything else
// is no directive (the line stays ordinary program text).
std::optional<int32_t> ParseMidiOutDirective(std::string_view Line);

// The text of Line before and after voice Voice (1-based) of the measure; voices are
// separated by "()". Missing voices before Voice are filled with "m", so that the edited
// voice takes exactly one voice slot: Before + voice text + After.
void SplitVoiceText(std::string_view Line, uint16_t Voice, std::string& Before, std::string& After);

// The editor text of one voice as stored: blanks, "§" and "()" removed; empty becomes "m".
std::string CleanVoiceText(std::string_view Text);

// Drops the trailing empty voices ("()m") of every music line, and trailing empty measures
// ("m" or empty) past the first line.
void TidyMusicLines(std::vector<std::string>& Lines);

// The song data of song text lines read from line `first` on, for telling whether two texts
// hold the same song: per track a line of its music line count, program line count and
// channel, its name, its music lines as a commit leaves them (TidyMusicLines) and its
// program lines. The voice shown and the carets are the place, not the song, and are left
// out. Nothing when the text cannot be read as a song.
std::optional<std::vector<std::string>> SongContent(const std::vector<std::string>& lines,
                                                    size_t first);
