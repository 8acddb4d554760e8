// Commands on whole tracks: add, delete, copy, paste, the track text, the play switches.
#include <algorithm>

#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "model/song_text.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/clipboards.h"
#include "songwindow/parts/dialog_results.h"

namespace {

// The bytes a track adds to the song file (header, name, music and program lines, CR LF
// each) and its longest line.
void TrackBytes(const TTreck& track, size_t& bytes, size_t& longest) {
  const auto add = [&](const std::string& line) {
    bytes += line.size() + 2;
    longest = std::max(longest, line.size());
  };
  add(TrackHeaderLine(track));
  add(track.Caption);
  std::for_each(track.MusicStrings.begin(), track.MusicStrings.end(), add);
  std::for_each(track.ProgramStrings.begin(), track.ProgramStrings.end(), add);
}

}  // namespace

void TSongWindow::NewTreck() {
  if (CurrentTrack == nullptr) {
    return;
  }
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return;
  }
  if (TrackCount >= kMaxSongTracks) {
    RefuseEdit(SubstituteArgs(LangStrOr(1279, "В сонге уже %s треков: больше не добавить"),
                              {std::to_string(kMaxSongTracks)}));
    return;
  }
  CommitEditors();
  const PTreck before = CurrentTrack;
  TrackDialogResult = 1;
  Saved(EditLabel(19, "Добавление трека", ""));
  AddTreck(CurrentTrack, LangStrOr(1, "безымянный"), 1);
  ports_.Dialogs->Show(TWindowDialog::TrackProperties);
  if (TrackDialogResult == 0) {
    // RemoveTreck would make the track after the new one current: the old one is.
    RemoveTreck(CurrentTrack);
    CurrentTrack = before;
    ShowTreck(smSilent);
  } else {
    ShowTreck(smTrack);
  }
  TrackDialogResult = 0;
}

void TSongWindow::DeleteTreck() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (CurrentTrack->Channel == 0 || (CurrentTrack->Prev == nullptr && CurrentTrack->Next == nullptr)) {
    ports_.Signaller->Signal(sError);
    ShowTreck(smTrack);
    return;
  }
  const std::string question =
      LangStrOr(212, "Вы уверены, что хотите удалить трек") + " " + CurrentTrack->Caption + "?";
  if (ports_.Questions->Ask(question, 0) == mbOk) {
    Saved(EditLabel(20, "Удаление трека", ""));
    RemoveTreck(CurrentTrack);
  }
  ShowTreck(smTrack);
}

void TSongWindow::CopyTreck() {
  if (CurrentTrack == nullptr) {
    return;
  }
  if (ports_.Dialogs == nullptr || HeadTreck == nullptr || HeadTreck->Next == nullptr) {
    ports_.Signaller->Signal(sError);  // no dialog, or no track but the control track
    return;
  }
  CommitEditors();
  CopyFromTrack = -1;
  CopyToTrack = -1;
  ports_.Dialogs->Show(TWindowDialog::TrackCopy);
  if (CopyFromTrack < 0 || CopyToTrack < 0) {
    return;  // cancelled: the clipboard stays
  }
  // The control track (number 1) is the song's own and is never copied.
  const int32_t from = std::max(CopyFromTrack, 2);
  std::vector<TTreck> copied;
  int32_t number = 1;
  for (PTreck track = HeadTreck; track != nullptr && number <= CopyToTrack; track = track->Next, ++number) {
    if (number >= from) {
      copied.push_back(ClipboardTrack(*track));
    }
  }
  if (copied.empty()) {
    ports_.Signaller->Signal(sError);  // no track in the range: the clipboard stays
    ShowTreck(smTrack);
    return;
  }
  TrackClipboard = std::move(copied);
  ShowTreck(smTrack);
}

void TSongWindow::PasteTreck() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (TrackClipboard.empty() ||
      TrackClipboard.size() > static_cast<size_t>(kMaxSongTracks - TrackCount)) {
    ports_.Signaller->Signal(sError);
    ShowTreck(smTrack);
    return;
  }
  size_t bytes = 0;
  size_t longest = 0;
  for (const TTreck& track : TrackClipboard) {
    TrackBytes(track, bytes, longest);
  }
  if (const std::string why = EditFault(longest, 0, bytes); !why.empty()) {
    RefuseEdit(why);
    return;
  }
  Saved(EditLabel(21, "Вставка трека из буфера", ""));
  PTreck last = CurrentTrack;
  PTreck first = nullptr;
  for (TTreck& copy : TrackClipboard) {
    AddTreck(last, copy.Caption, copy.Channel);
    const PTreck links[] = {last->Next, last->Prev};
    const std::string translator = last->TranslatorPath;
    *last = std::move(copy);
    last->Next = links[0];
    last->Prev = links[1];
    last->TranslatorPath = translator;
    first = first != nullptr ? first : last;
  }
  TrackClipboard.clear();
  CurrentTrack = first;
  ShowTreck(smTrack);
}

bool TSongWindow::CommitForDialog() {
  if (CurrentTrack == nullptr) {
    return false;
  }
  if (ports_.Dialogs == nullptr) {
    ports_.Signaller->Signal(sError);
    return false;
  }
  CommitEditors();
  return true;
}

void TSongWindow::TreckEditing() {
  if (!CommitForDialog()) {
    return;
  }
  ports_.Dialogs->Show(TWindowDialog::TrackText);
  ShowTreck(smTrack);
}

void TSongWindow::ToggleTrackSwitch(bool TTreck::*flag, uint8_t mode, bool controlTrackToo) {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  if (!controlTrackToo && CurrentTrack->Channel == 0) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CurrentTrack->*flag = !(CurrentTrack->*flag);
  ShowTreck(mode);
}

void TSongWindow::Solo() { ToggleTrackSwitch(&TTreck::Solo, smSolo, false); }

void TSongWindow::Ansamble() { ToggleTrackSwitch(&TTreck::Enabled, smEnabled, false); }

void TSongWindow::Obrabotchik() { ToggleTrackSwitch(&TTreck::HandlerOn, smHandler, true); }

void TSongWindow::ResetAll() {
  if (CurrentTrack == nullptr) {
    return;
  }
  CommitEditors();
  for (PTreck track = HeadTreck; track != nullptr; track = track->Next) {
    track->Solo = false;
    track->Enabled = true;
    track->HandlerOn = true;
  }
  ShowTreck(smReset);
}
