#include "playback/transport.h"

#include "model/song.h"
#include "platform/key_state.h"
#include "playback/midi_ports.h"
#include "playback/player.h"
#include "render/handler_midi_files.h"
#include "render/module_assembly.h"
#include "render/render_state.h"
#include "render/snapshot_broker.h"
#include "render/song_preparation.h"
#include "render/track_runtime.h"

TTransport::TTransport() { SetRenderRun(&run_); }

TTransport::~TTransport() {
  Stop();
  SetRenderRun(nullptr);
}

bool TTransport::WaitForPreparation(std::unique_lock<std::mutex>& lock) {
  if (preparing_ && preparer_ == std::this_thread::get_id()) {
    return false;
  }
  preparationEnded_.wait(lock, [this] { return !preparing_; });
  return true;
}

void TTransport::StopLocked() {
  run_.Stop = true;
  SnapshotBroker().Cancel();  // a render waiting on a snapshot window goes on to its stop
  KeyState().Wake();          // a render held back by Shift sees the stop
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
  cancelled_ = cancelled_ || preparing_;
  StopLocked();
}

bool TTransport::Play(TVelto& window, const TPlayOptions& options) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!WaitForPreparation(lock)) {
      return false;
    }
    StopLocked();
    window_ = &window;
    rendered_ = nullptr;  // the preparation clears the lists
    outcome_ = TRenderOutcome{};
    run_.Reset(options.FromMeasure, options.Voice);
    // The ports fall silent and the player is claimed for this window before preparing.
    SilenceAll();
    GPlayerOwner = window.WindowNumber;
    preparing_ = true;
    cancelled_ = false;
    preparer_ = std::this_thread::get_id();
  }
  const bool prepared = PrepareAndCompileSong(window, options.Window, false, &run_.Stop);
  std::lock_guard<std::mutex> lock(mutex_);
  preparing_ = false;
  preparationEnded_.notify_all();
  if (!prepared || cancelled_) {
    return false;
  }
  renderedPreparation_ = GSongPreparations;
  StartRenderLocked(window, options);
  return true;
}

bool TTransport::RunHere(TVelto& window, const TPlayOptions& options,
                         const std::function<bool(const TStopQuery& stopped)>& work) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!WaitForPreparation(lock)) {
      return false;
    }
    StopLocked();
    window_ = &window;
    rendered_ = nullptr;  // the work prepares the song again
    outcome_ = TRenderOutcome{};
    run_.Reset(options.FromMeasure, options.Voice);
    SilenceAll();
    GPlayerOwner = window.WindowNumber;
    preparing_ = true;
    cancelled_ = false;
    preparer_ = std::this_thread::get_id();
  }
  // Put back when work ends, however it ends.
  struct TRestore {
    TTransport& transport;
    THandlerInterruption interruption;
    ~TRestore() {
      GHandlerInterruption = std::move(interruption);
      std::lock_guard<std::mutex> lock(transport.mutex_);
      transport.preparing_ = false;
      transport.preparationEnded_.notify_all();
    }
  } restore{*this, std::move(GHandlerInterruption)};
  GHandlerInterruption = nullptr;  // unset: the render goes on at once
  return work([this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
  });
}

void TTransport::StartRenderLocked(TVelto& window, const TPlayOptions& options) {
  TMidiThreadFuncParameters parameters;
  parameters.WindowNumber = window.WindowNumber;
  parameters.Device = options.Device;
  parameters.TicksPerMeasure = window.TicksPerMeasure;
  parameters.Track = window.CurrentTrack != nullptr ? window.CurrentTrack : window.HeadTreck;
  parameters.FormatModule = window.FormatModule;
  parameters.TickLimit = options.TickLimit;
  parameters.ExportFileName = options.ExportFile;
  parameters.StartPlayer = [this](PTreck head, int32_t ticksPerMeasure) {
    PreparePlayback(head, run_.TrackCount, ticksPerMeasure);
    GPlayerThread.Start(head);
  };
  rendered_ = &window;
  renderFinished_ = false;
  rendering_ = true;
  render_ = std::thread([this, parameters] {
    outcome_ = RenderThreadProc(parameters);
    // A stopped or failed render leaves its lists cut short, without their ends.
    renderFinished_ = outcome_.Finished;
    rendering_ = false;
  });
}

bool TTransport::RePlay(TVelto& window) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!WaitForPreparation(lock)) {
    return false;
  }
  StopLocked();
  if (window.HeadTreck == nullptr || rendered_ != &window || !renderFinished_ ||
      renderedPreparation_ != GSongPreparations) {
    return false;
  }
  window_ = &window;
  GPlayerOwner = window.WindowNumber;
  if (!PreparePlayback(window.HeadTreck, run_.TrackCount, window.TicksPerMeasure)) {
    return false;
  }
  GPlayerThread.Start(window.HeadTreck);
  return true;
}

bool TTransport::Export(TVelto& window, const std::string& file, std::string* error,
                        IPreparationWindow* ui) {
  // The caller waits for this render: nothing could show a snapshot meanwhile.
  TDeclinedSnapshots declined(SnapshotBroker());
  TPlayOptions options;
  options.ExportFile = file;
  options.Window = ui;
  if (!Play(window, options)) {
    if (error != nullptr) {
      *error = GErrors.Code() != 0 ? "the song could not be prepared"
                                   : "the export was stopped before it started";
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
  std::unique_lock<std::mutex> lock(mutex_);
  if (!WaitForPreparation(lock)) {
    cancelled_ = true;
    return;
  }
  if (window_ == &window || GPlayerOwner == window.WindowNumber) {
    StopLocked();
    window_ = nullptr;
  }
  if (rendered_ == &window) {
    rendered_ = nullptr;
  }
  if (window.HeadTreck != nullptr) {
    ResetSongRenderState(window.HeadTreck);
  }
}

TRenderOutcome TTransport::Wait() {
  TRenderOutcome outcome;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!WaitForPreparation(lock)) {
      return outcome;
    }
    outcome = JoinRenderLocked();
  }
  GPlayerThread.Join();
  return outcome;
}

bool TTransport::Busy() const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (preparing_) {
      return true;
    }
  }
  return rendering_ || GPlayerThread.Running();
}

bool TTransport::Preparing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return preparing_;
}

bool TTransport::RePlayable(const TVelto& window) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !preparing_ && !rendering_ && renderFinished_ && window.HeadTreck != nullptr &&
         rendered_ == &window && renderedPreparation_ == GSongPreparations;
}

bool PrepareAndCompileSong(TVelto& window, IPreparationWindow* ui, bool withBlockLibrary,
                           const std::atomic<bool>* stop) {
  IPreparationWindow noWindow;
  if (!PrepareSong(window, ui != nullptr ? *ui : noWindow)) {
    return false;
  }
  if (withBlockLibrary) {
    RuntimeOf(*window.HeadTreck).UsesBlockLibrary = true;
  }
  TCompileSong song;
  song.ControlTrack = window.HeadTreck;
  song.Current = window.CurrentTrack;
  song.ShownTrack = window.CurrentTrack;
  song.SongName = window.FileName;
  song.TicksPerMeasure = window.TicksPerMeasure;
  song.ErrorMeasure = window.CurrentMeasure;
  song.FormatModule = window.FormatModule;
  song.Stop = stop;
  TakeMidiFileMessages();  // none left from another compile
  const bool compiled = CompileTrackModules(song);
  // The reader's messages, shown here on the thread that prepares, with no lock held.
  for (const TMidiFileMessage& message : TakeMidiFileMessages()) {
    (ui != nullptr ? *ui : noWindow).ShowMidiFileMessage(message.Text, message.Caption, message.Warning);
  }
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
