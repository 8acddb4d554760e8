// velto-tool notes SONG.qem: prints the translated notes of every track (the control track
// 0 left out), one line per
// track, measure and voice: "T M V: " and the notes as KEY:NUM/DEN (r for a rest, chord
// keys joined by "+", the written length as a reduced fraction of a whole note).
#include <cstdio>
#include <string>

#include "notation/braille_translation.h"
#include "model/song.h"
#include "model/song_file.h"
#include "tools/velto_tool/commands.h"

namespace {

std::string NoteText(const TNoteRec& note) {
  std::string text = note.Step == 0 ? "r" : std::to_string(MidiKeyOf(note.Step, note.Accidental, note.Octave));
  for (const TIntervalRec& i : note.Intervals) {
    text += "+" + std::to_string(MidiKeyOf(i.Step, i.Accidental, i.Octave));
  }
  return text + ":" + note.Length().ToString();
}

// Prints one voice's part of a measure: the notes from head while they stay in the measure.
const TNoteRec* PrintPart(int track, uint32_t measure, int voice, const TNoteRec* head) {
  std::string line = std::to_string(track) + " " + std::to_string(measure) + " " + std::to_string(voice) + ":";
  const TNoteRec* n = head;
  for (; n != nullptr && n->Measure == measure; n = n->Next) {
    line += " " + NoteText(*n);
  }
  std::printf("%s\n", line.c_str());
  return n;
}

void PrintTrack(int track, const TNoteList& list) {
  const TNoteRec* n = list.First;
  while (n != nullptr) {
    const TNoteRec* head = n;
    n = PrintPart(track, head->Measure, 1, head);
    int voice = 2;
    for (const TNoteRec* chain = head->VoiceChain; chain != nullptr; chain = chain->VoiceChain, ++voice) {
      PrintPart(track, head->Measure, voice, chain);
    }
  }
}

}  // namespace

int RunNotes(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: velto-tool notes SONG.qem\n");
    return 2;
  }
  TVelto song;
  if (!LoadToolSong(song, args[0])) {
    return 1;
  }
  TMeasureCache cache;
  TTranslateOptions options;
  options.Cache = &cache;
  // The control track (number 0) carries no notes of its own.
  int track = 1;
  for (PTreck t = song.HeadTreck ? song.HeadTreck->Next : nullptr; t != nullptr; t = t->Next, ++track) {
    TErrorRecord errors;
    auto list = TranslateBrailleText(t->MusicStrings, static_cast<uint8_t>(track), errors, options);
    if (errors.Code() != 0) {
      TErrors e = errors.Get();
      std::printf("%d %u %d: error %d: %s\n", track, e.Measure, e.Voice, e.Code, e.Text.c_str());
      return 1;
    }
    if (list) {
      PrintTrack(track, *list);
    }
  }
  return 0;
}
