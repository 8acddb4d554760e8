// The song text: Data lines to the track list (Convert) and back (DeConvert), and the commit
// of the editors into the current track (SaveData).
//
// Data: line 0 the undo label, line 1 the file name, then per track a header of seven
// numbers "M P Channel Voice CaretColumn ProgramCaretX ProgramCaretY", the name line,
// M music lines and P program lines.
#include "model/song_text.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "model/plugin_hooks.h"
#include "model/song.h"
#include "scripthost/track_root.h"

namespace {

constexpr std::string_view kDirectiveStart = "{$$$midiout=";
constexpr std::string_view kDirectiveEnd = "$$$}";
constexpr std::string_view kVoiceSeparator = "()";
constexpr char kSectionSign = '\xA7';  // "§" in code page 1251

// The seven numbers of a track header, checked against the ranges the fields hold.
struct THeader {
  int32_t MusicLines = 0;
  int32_t ProgramLines = 0;
  int32_t Channel = 0;
  int32_t Voice = 1;
  int32_t CaretColumn = 1;
  int32_t ProgramCaretX = 1;
  int32_t ProgramCaretY = 1;
};

// Reads a header line; false when a field is missing or not digits, or when the channel
// or the voice could not be played. A caret past what the editors hold is brought to it.
bool ReadHeader(std::string_view line, THeader& header) {
  TErrors errors;
  header.MusicLines = ParseHeaderField(line, 1, errors);
  header.ProgramLines = ParseHeaderField(line, 2, errors);
  header.Channel = ParseHeaderField(line, 3, errors);
  header.Voice = ParseHeaderField(line, 4, errors);
  header.CaretColumn = ParseHeaderField(line, 5, errors);
  header.ProgramCaretX = ParseHeaderField(line, 6, errors);
  header.ProgramCaretY = ParseHeaderField(line, 7, errors);
  constexpr int32_t kWordMax = std::numeric_limits<uint16_t>::max();
  header.CaretColumn = std::min(header.CaretColumn, kWordMax);
  return errors.Code == 0 && header.Channel <= 16 && header.Voice >= 1 && header.Voice <= kWordMax;
}

// The line without CR and LF, which would split it in the file.
std::string OneLine(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    if (c != '\r' && c != '\n') {
      out += c;
    }
  }
  return out;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Positions of every voice separator of line, in order.
std::vector<size_t> SeparatorPositions(std::string_view line) {
  std::vector<size_t> positions;
  for (size_t at = line.find(kVoiceSeparator); at != std::string_view::npos;
       at = line.find(kVoiceSeparator, at + kVoiceSeparator.size())) {
    positions.push_back(at);
  }
  return positions;
}

// Removes every occurrence of what from text; true when something was removed.
bool RemoveAll(std::string& text, std::string_view what) {
  bool removed = false;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.erase(at, what.size());
    removed = true;
  }
  return removed;
}

// Reading state of Convert: which line of a track block comes next.
enum class TBlockPart { Header, Name, Music, Program };

// True when lines[from..] hold nothing but blanks: the empty lines a text editor may leave
// at the end of a file.
bool OnlyBlankLinesFrom(const std::vector<std::string>& lines, size_t from) {
  return std::all_of(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(),
                     [](const std::string& line) {
                       return line.find_first_not_of(" \t") == std::string::npos;
                     });
}

// Fills errors for a fault of the text in the track numbered track (the control track 0)
// at Data line `line` (0 when the fault lies at no line).
bool Fault(TErrors& errors, TSongTextFault fault, int32_t track, const std::string& text,
           size_t line = 0) {
  errors.Extra = fault;
  errors.ModuleLine = static_cast<uint16_t>(std::clamp<int32_t>(track, 0, kMaxSongTracks));
  errors.Text = text;
  errors.TextLine = line >= 2 ? static_cast<uint32_t>(std::min<size_t>(line - 1, UINT32_MAX)) : 0;
  return false;
}

// The end of the text in reading state part: false with errors filled when the text ends
// inside a track block or holds no track.
bool EndOfBlocks(const TVelto& window, TBlockPart part, TErrors& errors) {
  if (part != TBlockPart::Header) {
    return Fault(errors, kSongTextEndsInTrack, window.TrackCount - 1, window.CurrentTrack->Caption);
  }
  if (window.TrackCount == 0) {
    return Fault(errors, kNoSongTrack, 0, std::string());  // blank lines only
  }
  return true;
}

// Reads the track blocks of lines[2..] into window's (empty) track list. Returns false and
// fills errors at the first header that cannot be read, at the track past the most a song
// may have, or when the text ends inside a block.
bool ReadTrackBlocks(TVelto& window, const std::vector<std::string>& lines, TErrors& errors) {
  TBlockPart part = TBlockPart::Header;
  THeader header;
  int32_t counter = 0;
  PTreck& track = window.CurrentTrack;
  const auto afterMusic = [&]() { return header.ProgramLines > 0 ? TBlockPart::Program : TBlockPart::Header; };
  for (size_t i = 2; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    switch (part) {
      case TBlockPart::Header:
        if (OnlyBlankLinesFrom(lines, i)) {
          return EndOfBlocks(window, part, errors);
        }
        if (!ReadHeader(line, header)) {
          return Fault(errors, kBadSongHeader, window.TrackCount, line, i);
        }
        if (window.TrackCount >= kMaxSongTracks) {
          return Fault(errors, kTooManySongTracks, 0, std::string());
        }
        window.AddTreck(track, std::string(), static_cast<uint8_t>(header.Channel));
        track->Voice = static_cast<uint16_t>(header.Voice);
        track->CaretColumn = static_cast<uint16_t>(header.CaretColumn);
        track->ProgramCaretX = header.ProgramCaretX;
        track->ProgramCaretY = header.ProgramCaretY;
        part = TBlockPart::Name;
        break;
      case TBlockPart::Name:
        track->Caption = line;
        counter = 0;
        part = header.MusicLines > 0 ? TBlockPart::Music : afterMusic();
        break;
      case TBlockPart::Music:
        track->MusicStrings.push_back(line);
        if (++counter >= header.MusicLines) {
          counter = 0;
          part = afterMusic();
        }
        break;
      case TBlockPart::Program:
        if (std::optional<int32_t> port = ParseMidiOutDirective(line)) {
          track->MidiOut = *port;
        }
        if (window.FormatModule && window.FormatModule->GetMakros) {
          window.FormatModule->GetMakros(line, window.TicksPerMeasure, window.HeadTreck, track);
        }
        track->ProgramStrings.push_back(line);
        if (++counter >= header.ProgramLines) {
          part = TBlockPart::Header;
        }
        break;
    }
  }
  return EndOfBlocks(window, part, errors);
}

// The track list fields of a window, kept aside while another list is read.
struct TTrackListFields {
  PTreck Head = nullptr;
  PTreck Current = nullptr;
  PTreck Start = nullptr;
  int32_t Count = 0;
  int32_t TicksPerMeasure = 0;
};

TTrackListFields TakeTrackList(TVelto& window) {
  TTrackListFields fields{window.HeadTreck, window.CurrentTrack, window.StartTrack,
                          window.TrackCount, window.TicksPerMeasure};
  window.HeadTreck = nullptr;
  window.CurrentTrack = nullptr;
  window.StartTrack = nullptr;
  window.TrackCount = 0;
  return fields;
}

void PutTrackList(TVelto& window, const TTrackListFields& fields) {
  window.HeadTreck = fields.Head;
  window.CurrentTrack = fields.Current;
  window.StartTrack = fields.Start;
  window.TrackCount = fields.Count;
  window.TicksPerMeasure = fields.TicksPerMeasure;
}

}  // namespace

std::string TrackHeaderLine(const TTreck& track) {
  const int32_t fields[] = {
      static_cast<int32_t>(std::min<size_t>(track.MusicStrings.size(), INT32_MAX)),
      static_cast<int32_t>(std::min<size_t>(track.ProgramStrings.size(), INT32_MAX)),
      std::min<int32_t>(track.Channel, 16),
      std::max<int32_t>(track.Voice, 1),
      track.CaretColumn,
      std::max<int32_t>(track.ProgramCaretX, 0),
      std::max<int32_t>(track.ProgramCaretY, 0),
  };
  std::string line;
  for (int32_t value : fields) {
    if (!line.empty()) {
      line += ' ';
    }
    line += std::to_string(value);
  }
  return line;
}

int32_t ParseHeaderField(std::string_view Line, uint8_t N, TErrors& Errors) {
  while (N > 1 && !Line.empty()) {
    const size_t blank = Line.find(' ');
    if (blank == std::string_view::npos) {
      break;
    }
    Line.remove_prefix(blank + 1);
    --N;
  }
  std::string_view field;
  if (N == 1) {
    field = Line.substr(0, Line.find(' '));
  }
  const bool digits = !field.empty() && std::all_of(field.begin(), field.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
  if (!digits) {
    Errors.Code = kSongTextError;
    return 0;
  }
  int32_t value = 0;
  const std::from_chars_result read = std::from_chars(field.data(), field.data() + field.size(), value);
  return read.ec == std::errc::result_out_of_range ? std::numeric_limits<int32_t>::max() : value;
}

std::string MidiOutDirective(int32_t Port) {
  return std::string(kDirectiveStart) + std::to_string(Port) + std::string(kDirectiveEnd);
}

std::optional<int32_t> ParseMidiOutDirective(std::string_view Line) {
  if (Line.substr(0, kDirectiveStart.size()) != kDirectiveStart) {
    return std::nullopt;
  }
  const size_t end = Line.find(kDirectiveEnd);
  if (end == std::string_view::npos || end <= kDirectiveStart.size()) {
    return std::nullopt;
  }
  const std::string_view number = Line.substr(kDirectiveStart.size(), end - kDirectiveStart.size());
  if (number.size() > 9 ||
      !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  int32_t port = 0;
  std::from_chars(number.data(), number.data() + number.size(), port);
  if (port > kMaxMidiOut) {
    return std::nullopt;
  }
  return port;
}

void SplitVoiceText(std::string_view Line, uint16_t Voice, std::string& Before, std::string& After) {
  const std::vector<size_t> separators = SeparatorPositions(Line);
  const size_t voices = Line.empty() ? 0 : separators.size() + 1;
  const size_t v = std::max<uint16_t>(Voice, 1);
  Before.clear();
  After.clear();
  if (v == 1) {
    if (!separators.empty()) {
      After = Line.substr(separators[0]);
    }
  } else if (voices >= v) {
    Before = Line.substr(0, separators[v - 2] + kVoiceSeparator.size());
    if (v - 1 < separators.size()) {
      After = Line.substr(separators[v - 1]);
    }
  } else {
    if (!Line.empty()) {
      Before = std::string(Line) + std::string(kVoiceSeparator);
    }
    for (size_t k = voices; k < v - 1; ++k) {
      Before += "m()";
    }
  }
}

std::string CleanVoiceText(std::string_view Text) {
  std::string text(Text);
  bool removed = true;
  while (removed) {
    removed = RemoveAll(text, " ");
    removed = RemoveAll(text, std::string_view(&kSectionSign, 1)) || removed;
    removed = RemoveAll(text, kVoiceSeparator) || removed;
  }
  return text.empty() ? "m" : text;
}

void TidyMusicLines(std::vector<std::string>& Lines) {
  for (size_t i = Lines.size(); i-- > 0;) {
    std::string& line = Lines[i];
    while (EndsWith(line, "()m")) {
      line.resize(line.size() - 3);
    }
    if (i + 1 == Lines.size() && i > 0 && (line == "m" || line.empty())) {
      Lines.pop_back();
    }
  }
}

std::optional<std::vector<std::string>> SongContent(const std::vector<std::string>& lines,
                                                    size_t first) {
  std::vector<std::string> content;
  size_t i = first;
  while (i < lines.size() && !OnlyBlankLinesFrom(lines, i)) {
    THeader header;
    if (!ReadHeader(lines[i], header)) {
      return std::nullopt;
    }
    const size_t music = static_cast<size_t>(header.MusicLines);
    const size_t program = static_cast<size_t>(header.ProgramLines);
    if (lines.size() - i < 2 + music + program) {
      return std::nullopt;  // the text ends inside the block
    }
    const auto at = [&](size_t k) { return lines.begin() + static_cast<std::ptrdiff_t>(k); };
    std::vector<std::string> measures(at(i + 2), at(i + 2 + music));
    TidyMusicLines(measures);
    content.push_back(std::to_string(measures.size()) + " " + std::to_string(program) + " " +
                      std::to_string(header.Channel));
    content.push_back(lines[i + 1]);
    content.insert(content.end(), measures.begin(), measures.end());
    content.insert(content.end(), at(i + 2 + music), at(i + 2 + music + program));
    i += 2 + music + program;
  }
  return content;
}

void TVelto::Convert(std::string& Label) {
  TErrors errors;
  errors.Code = kSongTextError;
  errors.Source = 2;
  errors.Extra = kNoSongTrack;
  if (Data.size() < 3) {
    GErrors.Set(errors);
    ReportSongTextError();
    return;
  }
  const TTrackListFields old = TakeTrackList(*this);
  if (!ReadTrackBlocks(*this, Data, errors)) {
    ClearTrackList(HeadTreck);
    PutTrackList(*this, old);
    GErrors.Set(errors);
    ReportSongTextError();
    return;
  }
  // The new list is complete: stop what plays the old one, then free it.
  TTrackListFields fresh = TakeTrackList(*this);
  fresh.TicksPerMeasure = TicksPerMeasure;
  PutTrackList(*this, old);
  StopBeforeTrackRemoval();
  PTreck oldList = old.Head != nullptr ? old.Head : old.Current;
  ClearTrackList(oldList);
  PutTrackList(*this, fresh);
  TrackRoot->Position = 0;
  Label = Data[0];
  FileName = Data[1];
  GErrors.Update([](TErrors& e) { e.Code = 0; });
  FillEditors();
}

void TVelto::DeConvert(const std::string& Label) {
  Data.clear();
  Data.push_back(OneLine(Label));
  Data.push_back(OneLine(FileName));
  PTreck track = CurrentTrack != nullptr ? CurrentTrack : HeadTreck;
  while (track != nullptr && track->Prev != nullptr) {
    track = track->Prev;
  }
  for (; track != nullptr; track = track->Next) {
    Data.push_back(TrackHeaderLine(*track));
    Data.push_back(OneLine(track->Caption));
    for (const std::string& line : track->MusicStrings) {
      Data.push_back(OneLine(line));
    }
    for (const std::string& line : track->ProgramStrings) {
      Data.push_back(OneLine(line));
    }
  }
}

void TVelto::SaveData(uint16_t /*Voice*/) {
  // The fields are committed where they were filled from, whatever the current place is
  // now: a place changed behind the editors' back never swallows what was typed.
  if (EditorPlace.Track == nullptr) {
    return;  // the editors show no place
  }
  const bool fieldsChanged = EditorFields() != committed_;
  if (!fieldsChanged && !hidden_lines_changed_) {
    return;  // the track holds them already: a commit would only tidy the lines
  }
  hidden_lines_changed_ = false;
  committed_ = EditorFields();
  PTreck target = EditorPlace.Track;
  target->ProgramStrings.clear();
  if (target->MidiOut > 0) {
    target->ProgramStrings.push_back(MidiOutDirective(target->MidiOut));
  }
  if (FormatModule && FormatModule->SetMakros) {
    FormatModule->SetMakros(TicksPerMeasure, target);
    if (target == nullptr) {
      return;
    }
  }
  TTreck& track = *target;
  track.ProgramStrings.insert(track.ProgramStrings.end(), ProgramEditLines.begin(),
                              ProgramEditLines.end());
  track.ProgramCaretX = ProgramEditCaretX;
  track.ProgramCaretY = ProgramEditCaretY;
  if (!fieldsChanged) {
    return;  // only the hidden lines were to be written again
  }

  const size_t measure = static_cast<size_t>(std::max(EditorPlace.Measure, 1));
  if (track.MusicStrings.size() < measure) {
    track.MusicStrings.resize(measure, "m");
  }
  std::string before;
  std::string after;
  SplitVoiceText(track.MusicStrings[measure - 1], EditorPlace.Voice, before, after);
  track.MusicStrings[measure - 1] = before + CleanVoiceText(NotesEditText) + after;
  track.CaretColumn = NotesEditCaret;
  TidyMusicLines(track.MusicStrings);
}
