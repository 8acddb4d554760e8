// velto-tool notes SONG.qem: prints the translated notes of every track (the control track
// 0 left out), one line per track, measure and voice: "T M V: " and the notes as
// KEY:NUM/DEN (r for a rest, chord keys joined by "+", the written length as a reduced
// fraction of a whole note). The song is prepared as a play prepares it (translators
// applied, each track read with the control track's line as voice 1 ahead of its own), so
// the notes are those the play would play.
#include <cstdio>
#include <optional>
#include <string>

#include "base/errors.h"
#include "base/note_arithmetic.h"
#include "feedback/error_messages.h"
#include "handler/handler_normalizer.h"
#include "model/song.h"
#include "notation/note_record.h"
#include "notation/translator.h"
#include "platform/codec1251.h"
#include "render/song_preparation.h"
#include "settings/program_dir.h"
#include "settings/settings.h"
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

// A preparation's error at the place it points the window at (the control track's line
// is track 0's voice 1), then the error's message with its detail.
void PrintError(const TVelto& song, const TErrors& e) {
  const std::string message = Cp1251ToUtf8(ErrorMessageLine(SongErrorMessage(e.Code, e.Text, "")));
  std::printf("%d %u %d: error %d: %s\n", TrackNumberOf(song, song.CurrentTrack), e.Measure, e.Voice,
              e.Code, message.c_str());
}

// The translator that the control track's or `track`'s handler text names and that has no
// file: preparation stops at such a track without an error (the compile reports it).
std::optional<std::string> MissingTranslator(const TVelto& song, PTreck track) {
  for (PTreck t : {song.HeadTreck, track}) {
    for (const std::string& line : NormalizeProgramLines(t->ProgramStrings)) {
      int32_t ticks = song.TicksPerMeasure;
      std::string path;
      if (!ReadTrackDirectives({line}, nullptr, ticks, path)) {
        return line.substr(line.find(' ') + 1);
      }
    }
  }
  return std::nullopt;
}

// A preparation without a window: text a translator would convert is left as it is (the
// tool never changes the song).
class TKeepSongText : public IPreparationWindow {
 public:
  bool ConfirmConversion(const std::string& /*question*/) override { return false; }
};

}  // namespace

int RunNotes(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: velto-tool notes SONG.qem\n");
    return 2;
  }
  // The translators are found in the program folder, as the program finds them.
  ProgramDir = ChooseProgramDir();
  TVelto song;
  if (!LoadToolSong(song, args[0])) {
    return 1;
  }
  if (song.HeadTreck == nullptr) {
    return 0;
  }
  song.CurrentTrack = song.HeadTreck->Next != nullptr ? song.HeadTreck->Next : song.HeadTreck;
  GErrors.Reset();
  TKeepSongText keep;
  if (!PrepareSong(song, keep)) {
    PrintError(song, GErrors.Get());
    return 1;
  }
  int track = 1;
  for (PTreck t = song.HeadTreck->Next; t != nullptr; t = t->Next, ++track) {
    if (t->NoteList) {
      PrintTrack(track, *t->NoteList);
    } else if (const std::optional<std::string> name = MissingTranslator(song, t)) {
      const std::string message = Cp1251ToUtf8(ErrorMessageLine(HandlerErrorMessage(24, *name, "")));
      std::printf("%d: error 24: %s\n", track, message.c_str());
      return 1;
    }
  }
  return 0;
}
