// velto-tool notes SONG.qem: prints the translated notes of every track (the control track
// 0 left out), one line per track, measure and voice: "T M V: " and the notes as
// KEY:NUM/DEN (r for a rest, chord keys joined by "+", the written length as a reduced
// fraction of a whole note). Each track is translated as the render reads it, with the
// control track's line as voice 1 ahead of the track's own voices.
#include <cstdio>
#include <string>

#include "feedback/error_messages.h"
#include "notation/braille_translation.h"
#include "notation/translator.h"
#include "model/song.h"
#include "model/song_file.h"
#include "platform/codec1251.h"
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

// Prints the track's own voices of every measure; the first voice list of the measures
// is the control track's line.
void PrintTrack(int track, const TNoteList& list) {
  const TNoteRec* n = list.First;
  while (n != nullptr) {
    const TNoteRec* head = n;
    const uint32_t measure = head->Measure;
    while (n != nullptr && n->Measure == measure) {
      n = n->Next;
    }
    int voice = 1;
    for (const TNoteRec* chain = head->VoiceChain; chain != nullptr; chain = chain->VoiceChain, ++voice) {
      PrintPart(track, measure, voice, chain);
    }
  }
}

// The place of a translation error, in the song's own numbering: voice 1 of the composed
// text is the control track's (track 0); then the error's message with its detail.
void PrintError(int track, const TErrors& e) {
  const bool ownVoice = e.Voice > 1;
  const std::string message = Cp1251ToUtf8(ErrorMessageLine(SongErrorMessage(e.Code, e.Text, "")));
  std::printf("%d %u %d: error %d: %s\n", ownVoice ? track : 0, e.Measure,
              ownVoice ? e.Voice - 1 : 1, e.Code, message.c_str());
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
    std::vector<std::string> composed;
    ComposeTrackText(composed, song.HeadTreck->MusicStrings, t->MusicStrings);
    TErrorRecord errors;
    auto list = TranslateBrailleText(composed, static_cast<uint8_t>(track), errors, options);
    if (errors.Code() != 0) {
      PrintError(track, errors.Get());
      return 1;
    }
    if (list) {
      PrintTrack(track, *list);
    }
  }
  return 0;
}
