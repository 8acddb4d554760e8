#include "songwindow/dialogs/track_dialogs.h"

#include <algorithm>

#include "feedback/signals.h"
#include "model/song_text.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/controller/window_texts.h"
#include "songwindow/parts/dialog_results.h"
#include "songwindow/parts/find_replace.h"

namespace {

// The name of the device at `index` of the list, or "Порт N" when the list has none there.
std::string DeviceName(const std::vector<std::string>& names, int32_t index, int32_t port) {
  if (index >= 0 && static_cast<size_t>(index) < names.size()) {
    return names[static_cast<size_t>(index)];
  }
  return LangStrOr(1383, "Порт") + " " + std::to_string(port);
}

// Bytes the lines take in a song file (each with its line end).
size_t FileBytes(const std::vector<std::string>& lines) {
  size_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size() + 2;
  }
  return bytes;
}

}  // namespace

TTrackPropertiesDialog::TTrackPropertiesDialog(TSongWindow& window) : window_(window) {
  const TTreck* track = window.CurrentTrack;
  NewTrack = TrackDialogResult == 1;
  ControlTrack = track == nullptr || track->Channel == 0;
  Caption = NewTrack ? LangStrOr(323, "Добавить трек") : LangStrOr(59, "Свойства");
  NameLabel = ControlTrack ? CaptionOf({"NameTreckText", 324, "Имя сонга:", ":"}) : LangStrOr(322, "Имя трека:");
  ChannelCaption = LangStrOr(321, "Канал");
  SoloCaption = LangStrOr(60, "Соло");
  EnsembleCaption = LangStrOr(61, "Ансамбль");
  HandlerCaption = LangStrOr(62, "Обработчик");
  OutputLabel = CaptionOf({"MidiOutsText", 1381, "Порт вывода:", ":"});
  OkCaption = LangStrOr(184, "OK");
  CancelCaption = LangStrOr(16, "Отмена");
  if (track == nullptr) {
    return;
  }
  Name = track->Caption;
  for (size_t i = 0; i < Channels.size(); ++i) {
    Channels[i] = std::to_string(i + 1);
  }
  if (!ControlTrack) {
    Channel = std::clamp<int32_t>(track->Channel, 1, 16) - 1;
    Solo = track->Solo;
    Ensemble = track->Enabled;
  }
  Handler = track->HandlerOn;
  // Channels that other tracks use, each marked once.
  const std::string word = LangStr(325);
  const std::string inUse = word == "???" ? Utf8ToCp1251(" (задействован)").Text : " (" + word + ")";
  for (const TTreck* other = window.HeadTreck != nullptr ? window.HeadTreck->Next : nullptr; other != nullptr;
       other = other->Next) {
    if (other == track || other->Channel < 1 || other->Channel > 16) {
      continue;
    }
    std::string& item = Channels[other->Channel - 1u];
    if (item.empty() || item.back() != ')') {
      item += inUse;
    }
  }
  // The output ports, only when there are additional ones and a device list to name them.
  const std::vector<std::string> names =
      window.Ports().DeviceCombo != nullptr ? window.Ports().DeviceCombo->DeviceNames() : std::vector<std::string>();
  const int32_t last = std::min<int32_t>(GLastMidiOut, 16);
  if (last > 0 && !names.empty()) {
    Outputs.push_back(DeviceName(names, window.Ports().DeviceCombo->SelectedDevice(), 0));
    for (int32_t port = 1; port <= last; ++port) {
      Outputs.push_back(DeviceName(names, std::max(GMidiOutDevices[static_cast<size_t>(port)], 0), port));
    }
    Output = track->MidiOut >= 0 && track->MidiOut <= last ? track->MidiOut : 0;
  }
}

bool TTrackPropertiesDialog::SetName(const std::string& utf8) {
  const TCp1251Text text = Utf8ToCp1251(utf8);
  if (!text.Refused.empty()) {
    window_.RefuseCharacters(text.Refused);
    return false;
  }
  Name = text.Text;
  return true;
}

void TTrackPropertiesDialog::Ok() {
  window_.ShowTreck(smSilent);
  TTreck* track = window_.CurrentTrack;
  if (track == nullptr) {
    return;
  }
  track->Caption = Name;
  // Without a port list the track keeps its port.
  const int32_t port = !Outputs.empty() && Output >= 0 && static_cast<size_t>(Output) < Outputs.size()
                           ? Output
                           : std::clamp(track->MidiOut, 0, kMaxMidiOut);
  if (port != track->MidiOut) {
    track->MidiOut = port;
    // The port lives in the directive line the program text starts with.
    std::vector<std::string>& lines = track->ProgramStrings;
    std::erase_if(lines, [](const std::string& line) { return ParseMidiOutDirective(line).has_value(); });
    if (port > 0) {
      lines.insert(lines.begin(), MidiOutDirective(port));
    }
  }
  if (!ControlTrack) {
    track->Channel = static_cast<uint8_t>(std::clamp<int32_t>(Channel, 0, 15) + 1);
    track->Solo = Solo;
    track->Enabled = Ensemble;
  }
  track->HandlerOn = Handler;
  window_.CommitEditors();
  window_.Modified = true;
  TrackDialogResult = 1;
  window_.Ports().Signaller->Signal(sOk);
}

void TTrackPropertiesDialog::Cancel() {
  TrackDialogResult = 0;
}

TTrackCopyDialog::TTrackCopyDialog(TSongWindow& window) {
  Caption = LangStrOr(181, "Копирование треков");
  BeginLabel = CaptionOf({"BeginText", 182, "Начиная с трека:", ":"});
  EndLabel = CaptionOf({"EndText", 183, "по:", ":"});
  OkCaption = LangStrOr(184, "Ok");
  CancelCaption = LangStrOr(16, "Отмена");
  for (const TTreck* track = window.HeadTreck != nullptr ? window.HeadTreck->Next : nullptr; track != nullptr;
       track = track->Next) {
    if (track == window.CurrentTrack) {
      Begin = static_cast<int32_t>(Tracks.size());
    }
    Tracks.push_back(track->Caption);
  }
  End = Begin;
}

void TTrackCopyDialog::SelectBegin(int32_t item) {
  Begin = item;
  End = std::max(End, Begin);
}

void TTrackCopyDialog::SelectEnd(int32_t item) {
  End = std::max(item, Begin);
}

void TTrackCopyDialog::Ok() {
  const auto count = static_cast<int32_t>(Tracks.size());
  if (Begin < 0 || Begin >= count || End < Begin || End >= count) {
    Cancel();
    return;
  }
  CopyFromTrack = Begin + 2;
  CopyToTrack = End + 2;
}

void TTrackCopyDialog::Cancel() {
  CopyFromTrack = -1;
  CopyToTrack = -1;
}

TTrackTextDialog::TTrackTextDialog(TSongWindow& window) : window_(window) {
  Caption = LangStrOr(65, "Редактор трека");
  SaveCaption = LangStrOr(12, "Сохранить");
  CancelCaption = LangStrOr(16, "Отмена");
  EditMenuCaption = LangStrOr(92, "Правка");
  PlaceCaption = LangStrOr(80, "Проговорить местоположение");
  EditItems = {{"EditUndo", LangStrOr(15, "Отменить")},
               {"EditCut", LangStrOr(225, "Вырезать")},
               {"EditCopy", LangStrOr(53, "Копировать")},
               {"EditPaste", LangStrOr(54, "Вставить")},
               {"EditSelectAll", LangStrOr(37, "Выделить всё")},
               {"EditDelete", LangStrOr(31, "Очистить выделение")},
               {"Find", LangStrOr(34, "Найти...")},
               {"FindNext", LangStrOr(35, "Найти далее")},
               {"Replace", LangStrOr(36, "Заменить...")}};
  TextLabel = Caption;
  if (window.CurrentTrack != nullptr) {
    Lines = window.CurrentTrack->MusicStrings;
  }
}

std::string TTrackTextDialog::LinePanel(int32_t line) const {
  return LangStrOr(106, "Такт") + ": " + std::to_string(line);
}

std::string TTrackTextDialog::ColumnPanel(int32_t column) const {
  return LangStrOr(107, "Столбец") + ": " + std::to_string(column);
}

void TTrackTextDialog::SpeakPlace(int32_t line, int32_t column) {
  ISpeaker& speaker = *window_.Ports().Speaker;
  speaker.Speak(LangStrOr(106, "Строка") + ": " + std::to_string(line), 1);
  speaker.Speak(ColumnPanel(column), 0);
}

bool TTrackTextDialog::Save(const std::string& utf8Text) {
  TTreck* track = window_.CurrentTrack;
  if (track == nullptr) {
    return false;
  }
  const TCp1251Text text = Utf8ToCp1251(utf8Text);
  if (!text.Refused.empty()) {
    window_.RefuseCharacters(text.Refused);  // a character the song cannot hold
    return false;
  }
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.Text.size(); ++i) {
    const char c = text.Text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.Text.size() && text.Text[i + 1] == '\n') {
        ++i;
      }
    } else {
      line += c;
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }  // an emptied text leaves the track without music lines
  size_t longest = 0;
  for (const std::string& l : lines) {
    longest = std::max(longest, l.size());
  }
  const std::string why = window_.EditFault(longest, FileBytes(track->MusicStrings), FileBytes(lines));
  if (!why.empty()) {
    window_.RefuseEdit(why);
    return false;
  }
  window_.Saved(window_.EditLabel(1382, "Редактирование трека", ""));
  track = window_.CurrentTrack;
  if (track != nullptr) {
    track->MusicStrings = std::move(lines);
  }
  return true;
}

void TTrackTextDialog::NothingFound() {
  window_.Ports().Signaller->Signal(sError);
}

void TTrackTextDialog::Replaced(int32_t count) {
  if (count == 0) {
    NothingFound();
    return;
  }
  window_.Ports().Questions->Ask(ReplacementsMessage(count), 1);
}
