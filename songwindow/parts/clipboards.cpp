#include "songwindow/parts/clipboards.h"

std::vector<TTreck> TrackClipboard;
std::vector<std::string> MeasureClipboard;
std::vector<TTreck> SongMeasureClipboard;
uint8_t MeasureClipboardKind = 0;

TTreck ClipboardTrack(const TTreck& track) {
  TTreck copy;
  copy.Caption = track.Caption;
  copy.Channel = track.Channel;
  copy.MidiOut = track.MidiOut;
  copy.MusicStrings = track.MusicStrings;
  copy.ProgramStrings = track.ProgramStrings;
  copy.Voice = track.Voice;
  copy.CaretColumn = track.CaretColumn;
  copy.ProgramCaretX = track.ProgramCaretX;
  copy.ProgramCaretY = track.ProgramCaretY;
  return copy;
}
