// Commands on voices and ranges of measures: delete a voice; clear, delete, copy and paste
// measures. They write the song text directly: a commit through the editors reaches only
// the place they show.
#include <algorithm>
#include <limits>
#include <map>
#include <optional>

#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "model/plugin_hooks.h"
#include "model/song_text.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/clipboards.h"
#include "songwindow/parts/dialog_results.h"

namespace {

constexpr std::string_view kSeparator = "()";

// The voices chosen in the range dialog: the current voice, (2) every voice of the current
// track, every track.
constexpr uint16_t rsVoice = 1;
constexpr uint16_t rsSong = 3;

struct TMeasureRange {
  uint16_t Scope = rsVoice;
  size_t From = 1;  // 1-based, From <= To
  size_t To = 1;
};

// The measures first..last of the range that `lines` holds, as 0-based [begin, end); empty
// (begin == end) when it holds none.
std::pair<size_t, size_t> Existing(const TMeasureRange& range, const std::vector<std::string>& lines) {
  const size_t end = std::min(range.To, lines.size());
  const size_t begin = std::min(range.From - 1, end);
  return {begin, end};
}

// Line with voice `voice` (1-based) taken out, with the separator after it, or before it
// for the last voice; a line with fewer voices stays.
std::string WithoutVoice(const std::string& line, uint16_t voice) {
  size_t start = 0;
  for (uint16_t v = 1; v < voice; ++v) {
    const size_t at = line.find(kSeparator, start);
    if (at == std::string::npos) {
      return line;
    }
    start = at + kSeparator.size();
  }
  const size_t end = line.find(kSeparator, start);
  if (end != std::string::npos) {
    return line.substr(0, start) + line.substr(end + kSeparator.size());
  }
  if (start == 0) {
    return std::string();  // the only voice
  }
  return line.substr(0, start - kSeparator.size());
}

// Line with `text` as voice `voice`, the missing voices before it "m", trailing empty voices
// dropped, as a commit of the editor there leaves it.
std::string WithVoice(const std::string& line, uint16_t voice, const std::string& text) {
  std::string before;
  std::string after;
  SplitVoiceText(line, voice, before, after);
  std::vector<std::string> one = {before + CleanVoiceText(text) + after};
  TidyMusicLines(one);
  return one.front();
}

size_t Bytes(const std::vector<std::string>& lines) {
  size_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size() + 2;
  }
  return bytes;
}

// The range dialog in `mode`: the range chosen, as far as the current track's measures go
// for the current voice or track (every track's for all tracks and deletion). Nothing when
// the dialog was cancelled, or when the range runs backwards or holds no measure (then
// refused with a spoken reason).
std::optional<TMeasureRange> AskMeasureRange(TSongWindow& window, uint16_t mode) {
  const TSongWindowPorts& ports = window.Ports();
  RangeDialogMode = mode;
  RangeVoiceChoice = 0;
  RangeFrom = 0;
  RangeTo = 0;
  ports.Dialogs->Show(TWindowDialog::MeasureRange);
  if (RangeVoiceChoice == 0) {
    return std::nullopt;
  }
  TMeasureRange range;
  range.Scope = mode == 2 ? rsSong : std::clamp<uint16_t>(RangeVoiceChoice, rsVoice, rsSong);
  range.From = std::max<uint16_t>(RangeFrom, 1);
  range.To = RangeTo;
  if (range.From > range.To) {
    ports.Signaller->Signal(sError);
    ports.Speaker->Speak(SubstituteArgs(LangStrOr(1340, "Первый такт %s больше последнего %s: ничего не изменено"),
                                        {std::to_string(range.From), std::to_string(range.To)}),
                         -1);
    return std::nullopt;
  }
  bool any = false;
  for (PTreck track = range.Scope == rsSong ? window.HeadTreck : window.CurrentTrack; track != nullptr && !any;
       track = range.Scope == rsSong ? track->Next : nullptr) {
    const auto [begin, end] = Existing(range, track->MusicStrings);
    any = begin < end;
  }
  if (!any) {
    ports.Signaller->Signal(sError);
    ports.Speaker->Speak(SubstituteArgs(LangStrOr(1341, "Тактов с %s по %s нет: ничего не изменено"),
                                        {std::to_string(range.From), std::to_string(range.To)}),
                         -1);
    return std::nullopt;
  }
  return range;
}

}  // namespace

void TSongWindow::DeleteVoice() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  const uint16_t voice = CurrentTrack->Voice;
  const std::string question =
      LangStrOr(213, "Вы уверены, что хотите удалить голос") + " " + std::to_string(voice) + "?";
  if (ports_.Questions->Ask(question, 0) != mbOk) {
    ShowTreck(smVoice);
    return;
  }
  Saved(EditLabel(22, "Удаление голоса", ""));
  for (std::string& line : CurrentTrack->MusicStrings) {
    line = WithoutVoice(line, voice);
  }
  ShowTreck(smVoice);
}

void TSongWindow::ClearTackt() {
  if (!CommitForDialog()) {
    return;
  }
  const std::optional<TMeasureRange> range = AskMeasureRange(*this, 1);
  if (!range) {
    return;
  }
  Saved(EditLabel(23, "Очистку", ""));
  for (PTreck track = range->Scope == rsSong ? HeadTreck : CurrentTrack; track != nullptr;
       track = range->Scope == rsSong ? track->Next : nullptr) {
    const auto [begin, end] = Existing(*range, track->MusicStrings);
    for (size_t i = begin; i < end; ++i) {
      std::string& line = track->MusicStrings[i];
      line = range->Scope == rsVoice ? WithVoice(line, track->Voice, "m") : std::string();
    }
  }
  if (range->Scope == rsVoice) {
    CurrentMeasure = static_cast<int32_t>(range->From);
  }
  ShowTreck(smMeasure);
}

void TSongWindow::DeleteTackt() {
  if (!CommitForDialog()) {
    return;
  }
  const std::optional<TMeasureRange> range = AskMeasureRange(*this, 2);
  if (!range) {
    return;
  }
  Saved(EditLabel(24, "Удаление тактов", ""));
  for (PTreck track = HeadTreck; track != nullptr; track = track->Next) {
    std::vector<std::string>& lines = track->MusicStrings;
    const auto [begin, end] = Existing(*range, lines);
    if (begin == end) {
      continue;
    }
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(begin), lines.begin() + static_cast<std::ptrdiff_t>(end));
    if (lines.empty()) {
      lines.push_back("m");
    }
  }
  CurrentMeasure = std::min<int32_t>(CurrentMeasure, static_cast<int32_t>(CurrentTrack->MusicStrings.size()));
  ShowTreck(smMeasure);
}

bool TSongWindow::CopyData() {
  if (CurrentTrack == nullptr || ports_.Editors == nullptr || !ports_.Editors->NotesHasFocus()) {
    return false;
  }
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return true;
  }
  CommitEditors();
  const std::optional<TMeasureRange> range = AskMeasureRange(*this, 3);
  if (!range) {
    return true;
  }
  if (range->Scope == rsSong) {
    SongMeasureClipboard.clear();
    for (PTreck track = HeadTreck; track != nullptr; track = track->Next) {
      TTreck copy;
      copy.Caption = track->Caption;
      copy.Channel = track->Channel;
      copy.Voice = track->Voice;
      copy.CaretColumn = track->CaretColumn;
      const auto [begin, end] = Existing(*range, track->MusicStrings);
      copy.MusicStrings.assign(track->MusicStrings.begin() + static_cast<std::ptrdiff_t>(begin),
                               track->MusicStrings.begin() + static_cast<std::ptrdiff_t>(end));
      SongMeasureClipboard.push_back(std::move(copy));
    }
    if (FormatModule && FormatModule->RestoreParameters) {
      FormatModule->RestoreParameters(TicksPerMeasure, HeadTreck);
    }
  } else {
    const std::vector<std::string>& lines = CurrentTrack->MusicStrings;
    const auto [begin, end] = Existing(*range, lines);
    MeasureClipboard.clear();
    for (size_t i = begin; i < end; ++i) {
      MeasureClipboard.push_back(range->Scope == rsVoice ? GetWideField(lines[i], CurrentTrack->Voice) : lines[i]);
    }
  }
  MeasureClipboardKind = static_cast<uint8_t>(range->Scope);
  ShowTreck(smMeasure);
  return true;
}

bool TSongWindow::PasteData() {
  if (CurrentTrack == nullptr || ports_.Editors == nullptr || !ports_.Editors->NotesHasFocus()) {
    return false;
  }
  CommitEditors();
  if (MeasureClipboardKind == 0) {
    ports_.Signaller->Signal(sError);
    return true;
  }
  // The new lines of each track changed, checked before anything is written.
  const size_t at = static_cast<size_t>(std::max(CurrentMeasure, 1)) - 1;
  std::map<PTreck, std::vector<std::string>> changed;
  const auto pasteLines = [at](std::vector<std::string> lines, const std::vector<std::string>& copied) {
    if (lines.size() < at + 1) {
      lines.resize(at + 1, "m");
    }
    for (size_t i = 0; i < copied.size(); ++i) {
      if (at + i < lines.size()) {
        lines[at + i] = copied[i];
      } else {
        lines.push_back(copied[i]);
      }
    }
    return lines;
  };
  if (MeasureClipboardKind == 1) {
    std::vector<std::string> lines = CurrentTrack->MusicStrings;
    if (lines.size() < at + MeasureClipboard.size()) {
      lines.resize(at + MeasureClipboard.size(), "m");
    }
    for (size_t i = 0; i < MeasureClipboard.size(); ++i) {
      lines[at + i] = WithVoice(lines[at + i], CurrentTrack->Voice, MeasureClipboard[i]);
    }
    TidyMusicLines(lines);
    changed[CurrentTrack] = std::move(lines);
  } else if (MeasureClipboardKind == 2) {
    changed[CurrentTrack] = pasteLines(CurrentTrack->MusicStrings, MeasureClipboard);
  } else {
    PTreck track = HeadTreck;
    for (size_t k = 0; k < SongMeasureClipboard.size() && track != nullptr; ++k, track = track->Next) {
      changed[track] = pasteLines(track->MusicStrings, SongMeasureClipboard[k].MusicStrings);
    }
  }
  size_t oldBytes = 0;
  size_t newBytes = 0;
  size_t longest = 0;
  size_t measures = 0;
  for (const auto& [track, lines] : changed) {
    oldBytes += Bytes(track->MusicStrings);
    newBytes += Bytes(lines);
    measures = std::max(measures, lines.size());
    for (const std::string& line : lines) {
      longest = std::max(longest, line.size());
    }
  }
  if (const std::string why = EditFault(longest, oldBytes, newBytes); !why.empty()) {
    RefuseEdit(why);
    return true;
  }
  if (measures > std::numeric_limits<uint16_t>::max()) {
    ports_.Signaller->Signal(sError);  // past the last measure a window reaches
    return true;
  }
  Saved(EditLabel(25, "Вставку нотного текста", ""));
  for (auto& [track, lines] : changed) {
    track->MusicStrings = std::move(lines);
  }
  ShowTreck(smMeasure);
  return true;
}
