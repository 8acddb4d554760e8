#include "playback/transport.h"

#include "model/song.h"
#include "platform/key_state.h"
#include "playback/midi_ports.h"
#include "render/module_assembly.h"
#include "playback/player.h"
#include "render/render_globals.h"
#include "render/render_state.h"
#include "render/song_preparation.h"
#include "render/track_runtime.h"
#include "settings/shared_state.h"

TTransport::~TTransport() { Stop(); }

void TTransport::StopLocked() {
  GRenderStop = true;
  KeyState().Wake();  // a render held back by Shift sees the stop
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
  GPlayVoice = options.Voice;
  const uint16_t from = options.FromMeasure == 0 ? 1 : options.FromMeasure;
  GPlayFromMeasure = from;
  GStartMeasure = from;
  // The ports fall silent and the player is claimed for this window before preparing.
  SilenceAll();
  GPlayerOwner = window.WindowNumber;
  if (!PrepareAndCompileSong(window)) {
    return false;
  }
  TMidiThreadFuncParameters parameters;
  parameters.WindowNumber = window.WindowNumber;
  parameters.Device = options.Device;
  parameters.TicksPerMeasure = window.TicksPerMeasure;
  parameters.Track = window.CurrentTrack != nullptr ? window.CurrentTrack : window.HeadTreck;
  parameters.FormatModule = window.FormatModule;
  parameters.TickLimit = options.TickLimit;
  parameters.ExportFileName = options.ExportFile;
  parameters.StartPlayer = [](PTreck head, int32_t ticksPerMeasure) {
    PreparePlayback(head, GTrackCount, ticksPerMeasure);
    GPlayerThread.Start(head);
  };
  rendering_ = true;
  render_ = std::thread([this, parameters] {
    outcome_ = RenderThreadProc(parameters);
    rendering_ = false;
  });
  return true;
}

bool TTransport::RePlay(TVelto& window) {
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
