#include "model/song.h"

#include <algorithm>
#include <string_view>

#include "model/plugin_hooks.h"
#include "model/song_text.h"
#include "scripthost/track_root.h"

namespace {

TStopForTrackRemoval& StopForTrackRemoval() {
  static TStopForTrackRemoval stop;
  return stop;
}

TSongTextErrorReport& SongTextErrorReport() {
  static TSongTextErrorReport report;
  return report;
}

// Voice `voice` (1-based) of a measure line whose voices are separated by "()"; empty
// when the line has fewer voices.
std::string VoiceOfLine(std::string_view line, uint16_t voice) {
  constexpr std::string_view kSeparator = "()";
  for (uint16_t v = 1; v < voice; ++v) {
    const size_t at = line.find(kSeparator);
    if (at == std::string_view::npos) {
      return std::string();
    }
    line.remove_prefix(at + kSeparator.size());
  }
  return std::string(line.substr(0, line.find(kSeparator)));
}

}  // namespace

void SetStopForTrackRemoval(TStopForTrackRemoval stop) { StopForTrackRemoval() = std::move(stop); }

void SetSongTextErrorReport(TSongTextErrorReport report) {
  SongTextErrorReport() = std::move(report);
}

void ReportSongTextError() {
  if (SongTextErrorReport()) {
    SongTextErrorReport()();
  }
}

TVelto::TVelto() : TrackRoot(std::make_unique<TTrack>(this)) {}

TVelto::~TVelto() {
  if (HeadTreck != nullptr || CurrentTrack != nullptr) {
    StopBeforeTrackRemoval();
  }
  PTreck head = HeadTreck != nullptr ? HeadTreck : CurrentTrack;
  ClearTrackList(head);
}

void TVelto::AddTreck(PTreck& Current, const std::string& Name, uint8_t Channel) {
  TrackCount += 1;
  auto track = new TTreck;
  track->Caption = Name;
  track->Channel = Channel;
  if (HeadTreck != nullptr) {
    track->TranslatorPath = HeadTreck->TranslatorPath;
  }
  if (Current != nullptr) {
    track->Next = Current->Next;
    Current->Next = track;
    if (track->Next != nullptr) {
      track->Next->Prev = track;
    }
    track->Prev = Current;
  }
  // A track after Current leaves the head of the window's list where it is; the walk is
  // needed only for a track alone or a head that is not one (reading a song adds tens of
  // thousands of tracks, each after the last).
  const bool headStays =
      track->Prev != nullptr && HeadTreck != nullptr && HeadTreck->Prev == nullptr;
  Current = track;
  if (!headStays) {
    HeadTreck = Current;
    while (HeadTreck->Prev != nullptr) {
      HeadTreck = HeadTreck->Prev;
    }
  }
}

void TVelto::StopBeforeTrackRemoval() {
  if (StopForTrackRemoval()) {
    StopForTrackRemoval()(*this);
  }
}

void TVelto::RemoveTreck(PTreck& Current) {
  StopBeforeTrackRemoval();
  if (Current == nullptr) {
    return;
  }
  TrackCount -= 1;
  TrackRoot->Position = 0;
  const PTreck removed = Current;
  if (removed->Prev != nullptr) {
    removed->Prev->Next = removed->Next;
  }
  if (removed->Next != nullptr) {
    removed->Next->Prev = removed->Prev;
  }
  const PTreck neighbour = removed->Next != nullptr ? removed->Next : removed->Prev;
  if (StartTrack == removed) {
    StartTrack = nullptr;
  }
  if (EditorPlace.Track == removed) {
    EditorPlace = TSongPlace();
  }
  if (CurrentTrack == removed) {
    CurrentTrack = neighbour;
  }
  if (neighbour == nullptr) {
    HeadTreck = nullptr;
  } else if (neighbour->Prev == nullptr || HeadTreck == removed) {
    HeadTreck = neighbour;
    while (HeadTreck->Prev != nullptr) {
      HeadTreck = HeadTreck->Prev;
    }
  }
  delete removed;
  Current = neighbour;
}

TSongPlace TVelto::CurrentPlace() const {
  if (CurrentTrack == nullptr) {
    return TSongPlace();
  }
  return TSongPlace{CurrentTrack, std::max(CurrentMeasure, 1), CurrentTrack->Voice};
}

void TVelto::FillEditors() {
  NotesEditText.clear();
  NotesEditCaret = 1;
  ProgramEditLines.clear();
  ProgramEditCaretX = 1;
  ProgramEditCaretY = 1;
  EditorPlace = TSongPlace();
  hidden_lines_changed_ = false;
  if (CurrentTrack == nullptr) {
    return;
  }
  TTreck& track = *CurrentTrack;
  const size_t measure = static_cast<size_t>(std::max(CurrentMeasure, 1));
  if (measure <= track.MusicStrings.size()) {
    NotesEditText = VoiceOfLine(track.MusicStrings[measure - 1], track.Voice);
  }
  if (NotesEditText == "m") {
    NotesEditText.clear();  // an empty voice
  }
  NotesEditCaret = track.CaretColumn;
  track.HiddenLines = 0;
  if (FormatModule && FormatModule->PrepareParameters) {
    FormatModule->PrepareParameters(TicksPerMeasure, CurrentTrack);
  }
  for (const std::string& line : track.ProgramStrings) {
    if (const std::optional<int32_t> port = ParseMidiOutDirective(line)) {
      track.MidiOut = *port;
      track.HiddenLines += 1;
    } else if (FormatModule && FormatModule->DeleteMakros &&
               FormatModule->DeleteMakros(line, TicksPerMeasure, HeadTreck, CurrentTrack)) {
      track.HiddenLines += 1;
    } else {
      ProgramEditLines.push_back(line);
    }
  }
  ProgramEditCaretX = track.ProgramCaretX;
  ProgramEditCaretY = track.ProgramCaretY;
  EditorPlace = CurrentPlace();
  committed_ = EditorFields();
}

TVelto::TEditorFields TVelto::EditorFields() const {
  return TEditorFields{NotesEditText, NotesEditCaret, ProgramEditLines, ProgramEditCaretX,
                       ProgramEditCaretY};
}

uint16_t TrackNumberOf(const TVelto& song, PTreck track) {
  uint16_t n = 0;
  for (PTreck t = song.HeadTreck; t != nullptr && t != track; t = t->Next) {
    ++n;
  }
  return n;
}

void ClearTrackList(PTreck& Track) {
  if (Track == nullptr) {
    return;
  }
  PTreck node = Track;
  while (node->Prev != nullptr) {
    node = node->Prev;
  }
  while (node != nullptr) {
    const PTreck next = node->Next;
    delete node;
    node = next;
  }
  Track = nullptr;
}
