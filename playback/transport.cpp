#include "playback/transport.h"

#include "notation/song.h"
#include "playback/midi_ports.h"
#include "playback/module_assembly.h"
#include "playback/player.h"
#include "playback/render_globals.h"
#include "playback/render_state.h"
#include "playback/song_preparation.h"
#include "playback/track_runtime.h"
#include "shell/shared_state.h"

TTransport::~TTransport() { Stop(); }

void TTransport::StopLocked() {
  GRenderStop = true;
  JoinRenderLocked();
  GPlayerThread.StopAndJoin();
}

TRenderOutcome TTransport::JoinRenderLocked() {
  if (render_.joinable()) {
    render_.join();
  }
  return outcome_;
}

void TTransport::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  StopLocked();
}

bool TTransport::Play(TVelto& window, const TPlayOptions& options) {
  std::lock_guard<std::mutex> lock(mutex_);
  StopLocked();
  window_ = &window;
  outcome_ = TRenderOutcome{};
  GExportFileName = options.ExportFile;
  GPlayVoice = options.Voice;
  const uint16_t from = options.FromMeasure == 0 ? 1 : options.FromMeasure;
  GPlayFromMeasure = from;
  GStartMeasure = from;
  GPlayer.TickLimit = options.TickLimit;
  if (!PrepareAndCompileSong(window)) {
    return false;
  }
  TMidiThreadFuncParameters parameters;
  parameters.WindowNumber = window.WindowNumber;
  parameters.Device = options.Device;
  parameters.TicksPerMeasure = window.TicksPerMeasure;
  parameters.Track = window.CurrentTrack != nullptr ? window.CurrentTrack : window.HeadTreck;
  parameters.FormatModule = window.FormatModule;
  rendering_ = true;
  render_ = std::thread([this, parameters] {
    outcome_ = RenderThreadProc(parameters);
    rendering_ = false;
  });
  return true;
}

bool TTransport::RePlay(TVelto& window, int32_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  StopLocked();
  if (window.HeadTreck == nullptr) {
    return false;
  }
  window_ = &window;
  GPlayerOwner = window.WindowNumber;
  if (!PreparePlayback(window.HeadTreck, GTrackCount, window.TicksPerMeasure)) {
    return false;
  }
  GPlayerThread.Start(window.HeadTreck);
  return true;
}

bool TTransport::Export(TVelto& window, const std::string& file, std::string* error) {
  TPlayOptions options;
  options.ExportFile = file;
  if (!Play(window, options)) {
    if (error != nullptr) {
      *error = "the song could not be prepared";
    }
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const TRenderOutcome outcome = JoinRenderLocked();
  GExportFileName.clear();
  if (!outcome.Exported && error != nullptr) {
    *error = !outcome.ExportError.empty() ? outcome.ExportError
             : outcome.Stopped              ? "the render was stopped"
                                            : "the render ended with an error";
  }
  return outcome.Exported;
}

void TTransport::StopForTrackRemoval(TVelto& window) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (window_ == &window || GPlayerOwner == window.WindowNumber) {
    StopLocked();
    window_ = nullptr;
  }
  if (window.HeadTreck != nullptr) {
    ResetSongRenderState(window.HeadTreck);
  }
}

TRenderOutcome TTransport::Wait() {
  TRenderOutcome outcome;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome = JoinRenderLocked();
  }
  GPlayerThread.Join();
  return outcome;
}

bool TTransport::Busy() const { return rendering_ || GPlayerThread.Running(); }

bool PrepareAndCompileSong(TVelto& window) {
  if (!PrepareSong(window)) {
    return false;
  }
  TCompileSong song;
  song.ControlTrack = window.HeadTreck;
  song.Current = window.CurrentTrack;
  song.ShownTrack = window.CurrentTrack;
  song.SongName = window.FileName;
  song.TicksPerMeasure = window.TicksPerMeasure;
  song.ErrorMeasure = window.CurrentMeasure;
  song.FormatModule = window.FormatModule;
  const bool compiled = CompileTrackModules(song);
  window.TicksPerMeasure = song.TicksPerMeasure;
  if (!compiled) {
    window.CurrentTrack = song.ShownTrack;
    window.CurrentMeasure = song.ErrorMeasure;
  }
  return compiled;
}

TTransport& Transport() {
  static TTransport transport;
  static const bool installed = [] {
    SetStopForTrackRemoval([](TVelto& window) { Transport().StopForTrackRemoval(window); });
    SetRenderStopper([] { Transport().Stop(); });
    return true;
  }();
  (void)installed;
  return transport;
}
