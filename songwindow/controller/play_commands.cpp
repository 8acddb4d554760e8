// Play control: the four plays, Stop, RePlay and StopAndGo, through the program's transport,
// and the play state the main window's timer keeps.
#include <cmath>

#include "feedback/signals.h"
#include "playback/midi_ports.h"
#include "playback/player.h"
#include "playback/transport.h"
#include "songwindow/controller/song_window.h"

namespace {

// Off while a song plays; the measure alone (PlayTackt) stops what plays, as every start does.
constexpr const char* kPlayActions[] = {"PlayPos", "PlayVoice", "PlayAll"};

uint16_t MeasureOf(int32_t measure) {
  return static_cast<uint16_t>(std::clamp<int32_t>(measure, 1, UINT16_MAX));
}

}  // namespace

bool TSongWindow::StartPlay(uint16_t fromMeasure, uint16_t voice, uint32_t tickLimit) {
  // No second play can be started while this one is prepared (a question of the
  // preparation runs a modal loop in which the keys work).
  for (const char* name : kPlayActions) {
    SetEnabled(name, false);
  }
  SetEnabled("PlayTackt", false);
  SetEnabled("RePlay", false);
  SetEnabled("StopAndGo", true);
  std::string& panel = StatusPanels[0];
  if (panel.size() < 3) {
    panel.resize(3, ' ');
  }
  panel[2] = 'B';
  Notify();
  ports_.Signaller->Signal(sTrack);
  CommitEditors();
  TPlayOptions options;
  options.FromMeasure = fromMeasure;
  options.Voice = voice;
  options.TickLimit = tickLimit;
  options.Device = ports_.DeviceCombo != nullptr ? ports_.DeviceCombo->SelectedDevice() : 0;
  options.Window = preparation_.get();
  // The transport stops and joins what runs before it prepares this song.
  const bool started = Transport().Play(*this, options);
  // Prepared: the measure alone may stop this play and start at once.
  SetEnabled("PlayTackt", true);
  Notify();
  return started;
}

void TSongWindow::PlayAll() {
  if (CurrentTrack != nullptr) {
    StartPlay(1, 0, 0);
  }
}

void TSongWindow::PlayPos() {
  if (CurrentTrack != nullptr) {
    StartPlay(MeasureOf(CurrentMeasure), 0, 0);
  }
}

void TSongWindow::PlayVoice() {
  if (CurrentTrack == nullptr) {
    return;
  }
  if (CurrentTrack->Channel == 0) {
    ports_.Signaller->Signal(sError);
    return;
  }
  StartPlay(MeasureOf(CurrentMeasure), CurrentTrack->Voice, 0);
}

// The tick limit belongs to this play alone: a play that fails leaves none behind.
void TSongWindow::PlayTackt() {
  if (CurrentTrack != nullptr) {
    StartPlay(MeasureOf(CurrentMeasure), 0, static_cast<uint32_t>(std::max<int32_t>(TicksPerMeasure, 1)));
  }
}

void TSongWindow::StopPlay() {
  if (!Transport().Busy()) {
    int port = 0;
    if (CurrentTrack != nullptr && CurrentTrack->MidiOut > 0) {
      port = CurrentTrack->MidiOut;
    } else if (HeadTreck != nullptr && HeadTreck->MidiOut > 0) {
      port = HeadTreck->MidiOut;
    }
    ResetPort(port);
  } else {
    StopPlayback(GPlayerOwner);
  }
  ShowPlayState(Transport().Busy());
}

void TSongWindow::RePlay() {
  if (CurrentTrack == nullptr || !Transport().RePlayable(*this)) {
    ports_.Signaller->Signal(sError);
    return;
  }
  ports_.Signaller->Signal(sTrack);
  if (!Transport().RePlay(*this)) {
    ports_.Signaller->Signal(sError);
  }
  ShowPlayState(Transport().Busy());
}

void TSongWindow::StopAndGo() {
  if (CurrentTrack == nullptr || GPlayerOwner != WindowNumber) {
    ports_.Signaller->Signal(sError);
    return;
  }
  CommitEditors();
  const long double played = static_cast<long double>(GPlayer.Position.load()) /
                             static_cast<long double>(std::max<int32_t>(TicksPerMeasure, 1));
  const auto measure = static_cast<uint16_t>(static_cast<uint16_t>(std::trunc(played)) + Transport().StartMeasure());
  CurrentMeasure = measure == 0 ? 1 : measure;
  ShowTreck(smMeasure);
  StopPlayback(WindowNumber);
  ShowPlayState(Transport().Busy());
}

void TSongWindow::ShowPlayState(bool playing) {
  constexpr const char* kShown[] = {"PlayPos", "PlayVoice", "PlayAll", "PlayTackt", "StopAndGo", "RePlay"};
  std::array<bool, std::size(kShown)> before{};
  for (size_t i = 0; i < std::size(kShown); ++i) {
    before[i] = Action(kShown[i]).Enabled;
  }
  for (const char* name : kPlayActions) {
    SetEnabled(name, !playing);
  }
  SetEnabled("PlayTackt", !playing || !Transport().Preparing());
  SetEnabled("StopAndGo", playing && GPlayerOwner == WindowNumber);
  SetEnabled("RePlay", Transport().RePlayable(*this));
  bool changed = false;
  for (size_t i = 0; i < std::size(kShown); ++i) {
    changed = changed || before[i] != Action(kShown[i]).Enabled;
  }
  std::string& panel = StatusPanels[0];
  if (panel.size() < 3) {
    panel.resize(3, ' ');
    changed = true;
  }
  const char letter = playing ? 'B' : 'b';
  changed = changed || panel[2] != letter;
  panel[2] = letter;
  if (changed) {
    Notify();
  }
}
