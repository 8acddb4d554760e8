#include "playback/player.h"

#include <algorithm>
#include <limits>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/errors.h"
#include "feedback/speech.h"
#include "platform/clock.h"
#include "platform/thread_priority.h"
#include "midi/midi_file_reader.h"
#include "playback/midi_ports.h"
#include "render/song_midi_file.h"
#include "render/track_runtime.h"
#include "settings/settings.h"
#include "settings/shared_state.h"

std::atomic<int32_t> GPlayerOwner{0};
std::atomic<uint32_t> GLastPlayerTempo{0};
TPlayerThread GPlayerThread;

namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note: 120 per minute
constexpr double kIdlePassMs = 1000;        // the next pass when nothing is due sooner
constexpr double kStarvedPollMs = 2;        // a list that caught up with a running render
constexpr double kResetSettleMs = 50;       // between the channel resets and the device reset
constexpr uint8_t kTextEvent = 0x01;
constexpr uint8_t kTempoEvent = 0x51;
constexpr uint8_t kEndOfTrack = 0x2F;

std::mutex render_stopper_mutex;
std::function<void()> render_stopper;

std::mutex thread_runner_mutex;
TPlayerThreadRunner thread_runner;  // guarded by thread_runner_mutex

TPlayerThreadRunner ThreadRunner() {
  std::lock_guard<std::mutex> lock(thread_runner_mutex);
  return thread_runner;
}

// A request that must end a wait of the player at once.
bool RequestPending() {
  return GPlayer.Stop.load() || GPlayer.Pause.load() || GPlayer.TempoRequest.load() != 0 ||
         (GPlayer.Seek.load() && !GPlayer.Silent.load());
}

int LastPort() { return std::min(GLastMidiOut, kMidiPortCount - 1); }

PTreck HeadOf(PTreck track) {
  while (track != nullptr && track->Prev != nullptr) {
    track = track->Prev;
  }
  return track;
}

// Error 18 when a port the song may use is not open.
bool CheckPortsOpen() {
  for (int port = 0; port <= LastPort(); ++port) {
    if (!MidiOutIsOpen(port)) {
      ReportMidiOutError(port, "Midi out hardvare");  // the player's own spelling
      return false;
    }
  }
  return true;
}

// Program 0 and the mute flag on every channel of every port.
void PrepareChannels() {
  for (int port = 0; port <= LastPort(); ++port) {
    for (int channel = 0; channel < 16; ++channel) {
      SendProgramChange(port, channel, 0);
      bool muted = false;
      {
        std::lock_guard<std::mutex> lock(MidiSendLock());
        auto& state = GPlayer.Channels[static_cast<size_t>(channel)];
        muted = state.Muted;
        state.FirstController = kNoValue;
        state.FirstControllerKept = false;
      }
      MuteChannel(port, channel, muted);
    }
  }
}

void BuildTracks(TPlayerRun& run, PTreck head) {
  int32_t index = 0;
  for (PTreck track = head; track != nullptr; track = track->Next, ++index) {
    TPlayerTrack entry;
    entry.Track = track;
    entry.Runtime = track->Runtime.get();
    entry.TrackIndex = index;
    entry.Port = std::clamp(track->MidiOut, 0, kMidiPortCount - 1);
    if (entry.Runtime != nullptr) {
      entry.Cursor.emplace(entry.Runtime->Events);
    }
    run.Tracks.push_back(std::move(entry));
  }
}

// Start, or restart for a seek: every track from its first event, every channel blank.
void RestartRun(TPlayerRun& run, bool seeking) {
  GPlayer.Silent = seeking;
  GPlayer.Playing = true;
  GPlayer.Pause = false;
  GPlayer.Finished = false;
  GPlayer.SoundingTotal = 0;
  GPlayer.Position = 0;
  for (auto& track : run.Tracks) {
    track.EventsPlayed = 0;
    track.LastKey = kNoValue;
    track.LastVelocity = kNoValue;
    track.RunningStatus = 0;
    track.PlayActive = track.Cursor.has_value();
    track.HasPending = false;
    track.PendingTick = 0;
    track.NextTime = 0;
    track.DeltaMs = 0;
    if (track.Cursor) {
      track.Cursor->Seek(0);
    }
  }
  std::lock_guard<std::mutex> lock(MidiSendLock());
  for (auto& channel : GPlayer.Channels) {
    channel.SoundingCount = 0;
    channel.KeyVelocity.fill(0);
    channel.Program = 0;
    channel.ProgramSet = false;
    channel.ControllerValues.fill(kNoValue);
    channel.ControllerLocked.fill(0);
    channel.LastKey = kNoValue;
    channel.LastVelocity = kNoValue;
    channel.LastController = kNoValue;
    channel.LastControllerValue = kNoValue;
    channel.BankMsb = 0;
    channel.PitchBend = -1;
    channel.PortsUsed = 0;
  }
}

void StartTempo(TPlayerRun& run) {
  SetSongTempo(run, kDefaultTempo, 0);
  GPlayer.MsPerTick = 500.0 / run.Division;
}

// Reads the track's next event with its delta time and schedules it. False when there
// is none yet (the render still runs), none at all (the track ends), or the list ran
// out before its end-of-track event (then the whole playback stops).
bool FetchNext(TPlayerTrack& track) {
  const TMidiByteList& list = track.Cursor->List();
  const bool complete = list.IsComplete();  // before reading: every byte is published then
  TMidiEvent event;
  const TMidiParse result = ReadMidiEvent(*track.Cursor, track.RunningStatus, event);
  if (result == TMidiParse::Event) {
    track.Pending = event;
    track.HasPending = true;
    track.DeltaMs = event.Delta * GPlayer.MsPerTick;
    track.NextTime += track.DeltaMs;
    track.PendingTick += event.Delta;
    return true;
  }
  if (result == TMidiParse::Malformed || (complete && track.Cursor->Position() == 0 &&
                                          list.Published() == 0)) {
    track.PlayActive = false;  // unreadable or empty: nothing to play
  } else if (complete) {
    GPlayer.Stop = true;  // the list ran out before its end
  }
  return false;
}

// Times of one tick summed along different tracks differ in their last bits: events
// closer than this count as simultaneous.
constexpr double kSameTimeMs = 1e-6;

struct TPassResult {
  bool AnyActive = false;  // some track still has events
  bool Starved = false;    // some track waits for the render
  double NextDue = 0;      // ms: the earliest pending event
};

// The track whose event is due next by `now`: the earliest, and of events at one time the
// one of the first track, as in the pre-rendered song. Nothing at or after `horizon`.
TPlayerTrack* NextDueTrack(TPlayerRun& run, double now, double horizon) {
  TPlayerTrack* next = nullptr;
  for (auto& track : run.Tracks) {
    if (track.PlayActive && track.HasPending && track.NextTime <= now + kSameTimeMs &&
        track.NextTime < horizon - kSameTimeMs &&
        (next == nullptr || track.NextTime < next->NextTime - kSameTimeMs)) {
      next = &track;
    }
  }
  return next;
}

// One pass at the time `now`: plays every due event in time order across the tracks, so
// events that are late (the render fell behind, the machine stalled) keep their order. A
// track still waiting for the render may yet get an event at the time of its last one:
// it holds back every event at or after that time (the horizon).
TPassResult RunPass(TPlayerRun& run, double now, bool first) {
  TPassResult pass;
  pass.NextDue = now + kIdlePassMs;
  double horizon = std::numeric_limits<double>::infinity();
  for (auto& track : run.Tracks) {
    if (!track.PlayActive) {
      continue;
    }
    if (first) {
      track.DeltaMs = 0;
      track.NextTime = now;
    }
    if (!track.HasPending && !FetchNext(track) && track.PlayActive) {
      horizon = std::min(horizon, track.NextTime);
    }
    if (GPlayer.Stop) {
      return pass;
    }
  }
  while (TPlayerTrack* track = NextDueTrack(run, now, horizon)) {
    GPlayer.Now = now;
    // The place the song has sounded to: the tick of the event sent, whatever its track.
    GPlayer.Position = static_cast<int32_t>(
        std::min<int64_t>(track->PendingTick, std::numeric_limits<int32_t>::max()));
    PlayEvent(run, *track);
    ++track->EventsPlayed;
    if (GPlayer.Stop) {
      return pass;
    }
    if (track->PlayActive && !FetchNext(*track) && track->PlayActive) {
      horizon = std::min(horizon, track->NextTime);
    }
  }
  for (auto& track : run.Tracks) {
    if (!track.PlayActive) {
      continue;
    }
    pass.AnyActive = true;
    if (track.HasPending && track.NextTime < horizon - kSameTimeMs) {
      pass.NextDue = std::min(pass.NextDue, track.NextTime);
    } else {
      pass.Starved = true;
      pass.NextDue = std::min(pass.NextDue, now + kStarvedPollMs);
    }
  }
  return pass;
}

// Moves the song's time line `shiftMs` later.
void ShiftTimes(TPlayerRun& run, double shiftMs) {
  GPlayer.StartTime += shiftMs;
  for (auto& track : run.Tracks) {
    track.NextTime += shiftMs;
  }
}

// Pause: silence, wait for the end of the pause, then shift every pending event by
// its length. False when playing ended during the pause.
bool PauseUntilResumed(TPlayerRun& run, TClock& clock, double now) {
  SilenceAll();
  clock.WaitUntil(kForeverMs, [] {
    return !GPlayer.Pause.load() || !GPlayer.Playing.load() || GPlayer.Stop.load();
  });
  if (!GPlayer.Playing || GPlayer.Stop) {
    return false;
  }
  ShiftTimes(run, clock.NowMs() - now);
  return true;
}

// Controller order for sending a channel's state again: the parameter selectors before
// their data entry, bank select before the program change.
constexpr uint8_t kSelectors[] = {99, 98, 101, 100, 6, 38};

bool IsSelector(int controller) {
  return std::find(std::begin(kSelectors), std::end(kSelectors), controller) !=
         std::end(kSelectors);
}

// Sends a channel's stored bank, program, controllers and pitch bend to a port.
void ResendChannel(int port, int channel, const TChannelState& state) {
  const auto status = [channel](uint8_t kind) { return static_cast<uint8_t>(kind + channel); };
  const auto control = [&](int controller) {
    const uint8_t value = state.ControllerValues[static_cast<size_t>(controller)];
    if (value != kNoValue) {
      SendControlChange(port, channel, controller, value);
    }
  };
  control(0);
  control(32);
  if (state.ProgramSet) {
    SendProgramChange(port, channel, state.Program);
  }
  for (uint8_t controller : kSelectors) {
    control(controller);
  }
  // Channel mode messages (120..127) are not state.
  for (int controller = 1; controller < 120; ++controller) {
    if (controller != 32 && !IsSelector(controller)) {
      control(controller);
    }
  }
  if (state.PitchBend != -1) {
    const int value = state.PitchBend + 8192;
    SendShortMessage(port, status(0xE0), static_cast<uint8_t>((value >> 7) & 0x7F),
                     static_cast<uint8_t>(value & 0x7F));
  }
}

// The end of a seek: resets the ports and sends every channel's state again.
void ResendState() {
  for (int port = 0; port <= LastPort(); ++port) {
    ResetPort(port);
  }
  for (int channel = 0; channel < 16; ++channel) {
    TChannelState state;
    {
      std::lock_guard<std::mutex> lock(MidiSendLock());
      state = GPlayer.Channels[static_cast<size_t>(channel)];
    }
    for (int port = 0; port <= LastPort(); ++port) {
      if ((state.PortsUsed >> port) & 1u) {
        ResendChannel(port, channel, state);
      }
    }
  }
}

// The seek reached its time: the song continues from there at the real clock.
void CompleteSeek(TPlayerRun& run, TClock& clock) {
  ShiftTimes(run, clock.NowMs() - (GPlayer.StartTime + GPlayer.SeekTime.load()));
  GPlayer.Silent = false;
  GPlayer.Seek = false;
  ResendState();
}

// Passes until the end, a stop, or a pause that ends playing.
void Play(TPlayerRun& run, TClock& clock) {
  RestartRun(run, false);
  StartTempo(run);
  double now = clock.NowMs();
  GPlayer.StartTime = GPlayer.Now = now;
  bool first = true;
  while (!GPlayer.Stop) {
    if (GPlayer.Seek && !GPlayer.Silent) {
      SilenceAll();  // nothing sounds while seeking
      RestartRun(run, true);
      StartTempo(run);
      now = clock.NowMs();
      GPlayer.StartTime = GPlayer.Now = now;
      first = true;
    }
    if (GPlayer.Silent && now - GPlayer.StartTime >= GPlayer.SeekTime) {
      CompleteSeek(run, clock);
    }
    if (const uint32_t tempo = GPlayer.TempoRequest.exchange(0); tempo != 0) {
      SetSongTempo(run, tempo, GPlayer.Silent ? now : clock.NowMs());
    }
    const bool silent = GPlayer.Silent;
    if (!silent) {
      now = clock.NowMs();
    }
    const TPassResult pass = RunPass(run, now, first);
    first = false;
    if (GPlayer.Stop) {
      break;
    }
    if (!pass.AnyActive) {
      GPlayer.Finished = true;
      break;
    }
    if (!silent && GPlayer.Pause) {
      if (!PauseUntilResumed(run, clock, now)) {
        break;
      }
      continue;
    }
    int32_t sounding = 0;
    {
      std::lock_guard<std::mutex> lock(MidiSendLock());
      for (const auto& channel : GPlayer.Channels) {
        sounding += channel.SoundingCount;
      }
    }
    GPlayer.SoundingTotal = sounding;
    if (!silent) {
      clock.WaitUntil(pass.NextDue, RequestPending);
    } else if (pass.Starved) {
      // Seeking into a part the render has not written yet: wait for it in real time.
      clock.WaitUntil(clock.NowMs() + kStarvedPollMs, [] { return GPlayer.Stop.load(); });
    } else {
      now = pass.NextDue;  // seeking runs on song time, without waiting
    }
  }
}

// The end of playback: every channel reset, then every device.
void FinishPlayback(TClock& clock) {
  for (int port = 0; port <= LastPort(); ++port) {
    ResetPort(port);
  }
  clock.SleepUntil(clock.NowMs() + kResetSettleMs);
  for (int port = 0; port <= LastPort(); ++port) {
    ResetMidiDevice(port);
  }
  {
    std::lock_guard<std::mutex> lock(MidiSendLock());
    for (auto& channel : GPlayer.Channels) {
      channel.KeyVelocity.fill(0);
      channel.SoundingCount = 0;
      channel.FirstController = kNoValue;
      channel.FirstControllerKept = false;
    }
  }
  GPlayer.SoundingTotal = 0;
  GPlayer.Playing = false;
  if (GAutoPlayStarted) {
    GAutoPlayEnded = true;
  }
}

uint8_t PayloadByte(const TPlayerTrack& track, const TMidiEvent& event, size_t i) {
  return track.Cursor->List().At(event.PayloadOffset + i);
}

void PlayMetaEvent(TPlayerRun& run, TPlayerTrack& track, const TMidiEvent& event) {
  switch (event.MetaType) {
    case kTempoEvent: {
      uint32_t tempo = 0;
      for (size_t i = 0; i < std::min<size_t>(event.PayloadLength, 4); ++i) {
        tempo = (tempo << 8) | PayloadByte(track, event, i);
      }
      if (tempo > 0) {
        SetSongTempo(run, tempo, track.NextTime);
      }
      break;
    }
    case kTextEvent: {
      // A text that starts with a line feed or a vertical tab is said, without that.
      if (event.PayloadLength < 2 || GPlayer.Silent) {
        break;
      }
      const uint8_t mark = PayloadByte(track, event, 0);
      if (mark != 0x0A && mark != 0x0B) {
        break;
      }
      std::string text;
      for (size_t i = 1; i < event.PayloadLength; ++i) {
        text.push_back(static_cast<char>(PayloadByte(track, event, i)));
      }
      Speak(text, -1);
      break;
    }
    case kEndOfTrack:
      track.PlayActive = false;
      break;
    default:
      break;
  }
}

void PlayControlChange(const TPlayerTrack& track, int channel, uint8_t controller, uint8_t value) {
  const bool silent = GPlayer.Silent;
  bool locked = false;
  {
    std::lock_guard<std::mutex> lock(MidiSendLock());
    TChannelState& state = GPlayer.Channels[static_cast<size_t>(channel)];
    locked = state.ControllerLocked[controller] != 0;
    if (!locked) {
      state.ControllerValues[controller] = value;
    }
    if (controller == 0) {
      state.BankMsb = value;  // also while seeking: the drum kit decides transposition
    }
    if (!silent) {
      state.LastController = controller;
      state.LastControllerValue = value;
      if (!state.FirstControllerKept) {
        state.FirstController = controller;
        state.FirstControllerKept = true;
      }
    }
  }
  if (!silent && !locked) {
    SendShortMessage(track.Port, static_cast<uint8_t>(0xB0 + channel), controller, value);
  }
}

void PlayPitchBend(const TPlayerTrack& track, const TMidiEvent& event) {
  const int value = event.Data1 * 128 + event.Data2;
  const bool silent = GPlayer.Silent;
  {
    std::lock_guard<std::mutex> lock(MidiSendLock());
    GPlayer.Channels[event.Channel()].PitchBend = value - 8192;
  }
  if (silent) {
    GPlayer.BendPeak = std::max(GPlayer.BendPeak, std::abs(value - 8192));
  } else {
    SendShortMessage(track.Port, event.Status, event.Data1, event.Data2);
  }
}

void PlayChannelEvent(TPlayerTrack& track, const TMidiEvent& event) {
  const int channel = event.Channel();
  const bool silent = GPlayer.Silent;
  {
    std::lock_guard<std::mutex> lock(MidiSendLock());
    GPlayer.Channels[static_cast<size_t>(channel)].PortsUsed |= 1u << track.Port;
  }
  switch (event.Kind()) {
    case 0x80:
      if (!silent) {
        SendNote(track.Port, false, event.Data1, channel, event.Data2);
      }
      break;
    case 0x90:
      if (!silent) {
        track.LastKey = event.Data1;
        track.LastVelocity = event.Data2;
        SendNote(track.Port, true, event.Data1, channel, event.Data2);
        if (event.Data2 != 0 && !GPlayer.FirstNoteSeen) {
          GPlayer.FirstNoteTime = GPlayer.Now;
          GPlayer.FirstNoteSeen = true;
        }
      }
      break;
    case 0xB0:
      PlayControlChange(track, channel, event.Data1, event.Data2);
      break;
    case 0xC0: {
      {
        std::lock_guard<std::mutex> lock(MidiSendLock());
        auto& state = GPlayer.Channels[static_cast<size_t>(channel)];
        state.Program = event.Data1;
        state.ProgramSet = true;
      }
      SendProgramChange(track.Port, channel, event.Data1);
      break;
    }
    case 0xE0:
      PlayPitchBend(track, event);
      break;
    default:  // polyphonic and channel pressure
      if (!silent) {
        SendShortMessage(track.Port, event.Status, event.Data1, event.Data2);
      }
      break;
  }
}

}  // namespace

bool PreparePlayback(PTreck firstTrack, int32_t trackCount, int32_t ticksPerMeasure) {
  if (firstTrack == nullptr) {
    return false;
  }
  GPlayer.FileName = "qem.mid";
  GPlayer.BendPeak = 0;
  {
    std::lock_guard<std::mutex> lock(MidiSendLock());
    for (auto& channel : GPlayer.Channels) {
      channel.Muted = false;
    }
  }
  GMidiFile.Format = 1;
  GMidiFile.TrackCount = static_cast<uint16_t>(std::clamp(trackCount, 0, 65535));
  GMidiFile.Division =
      SongTicksPerQuarter(firstTrack, static_cast<uint32_t>(std::max(ticksPerMeasure, 1)));
  return true;
}

void PlaybackThreadProc(PTreck track) {
  SetCurrentThreadPriority(GPriorityPlaying);
  RequestFineTimer();
  GPlayer.Position = 0;
  GPlayer.Seek = false;
  GPlayer.SeekTime = 0;
  GPlayer.TempoRequest = 0;
  GPlayer.FirstNoteSeen = false;
  const PTreck head = HeadOf(track);
  if (head == nullptr || !CheckPortsOpen()) {
    GPlayer.Playing = false;
    return;
  }
  PrepareChannels();
  GPlayer.Transpose = 0;
  GPlayer.VelocityOffset = 0;
  TPlayerRun run;
  run.Division = std::max<uint32_t>(1, GMidiFile.Division);
  BuildTracks(run, head);
  TClock& clock = PlaybackClock();
  Play(run, clock);
  FinishPlayback(clock);
}

bool PlayEvent(TPlayerRun& run, TPlayerTrack& track) {
  if (!track.HasPending) {
    return false;
  }
  const TMidiEvent event = track.Pending;
  track.HasPending = false;
  if (event.IsChannel()) {
    PlayChannelEvent(track, event);
  } else if (event.IsMeta()) {
    PlayMetaEvent(run, track, event);
  }
  // System Exclusive and system messages in a list are passed over.
  return true;
}

void SetSongTempo(TPlayerRun& run, uint32_t usPerQuarter, double pivotMs) {
  const double old = GPlayer.MsPerTick;
  GPlayer.MsPerTick = usPerQuarter / 1000.0 / run.Division;
  if (GLastPlayerTempo.exchange(usPerQuarter) == usPerQuarter || old <= 0) {
    return;
  }
  for (auto& track : run.Tracks) {
    if (track.PlayActive && track.HasPending) {
      track.DeltaMs = (track.NextTime - pivotMs) / old * GPlayer.MsPerTick;
      track.NextTime = pivotMs + track.DeltaMs;
    }
  }
}

void RequestPlayerStop() {
  GPlayer.Stop = true;
  PlaybackClock().Wake();
}

void SetPlayerPause(bool pause) {
  GPlayer.Pause = pause;
  PlaybackClock().Wake();
}

void RequestPlayerTempo(uint32_t usPerQuarter) {
  GPlayer.TempoRequest = usPerQuarter;
  PlaybackClock().Wake();
}

void RequestPlayerSeek(double songMs) {
  GPlayer.SeekTime = songMs;
  GPlayer.Seek = true;
  PlaybackClock().Wake();
}

TPlayerThread::~TPlayerThread() { StopAndJoin(); }

void TPlayerThread::Start(PTreck track) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) {
    RequestPlayerStop();
    thread_.join();
  }
  // Cleared here, before the thread runs, so that a stop requested from now on holds.
  GPlayer.Stop = false;
  GPlayer.Playing = true;
  running_ = true;
  std::function<void()> body = [this, track] {
    PlaybackThreadProc(track);
    running_.store(false, std::memory_order_release);
  };
  if (TPlayerThreadRunner runner = ThreadRunner()) {
    thread_ = std::thread(std::move(runner), std::move(body));
  } else {
    thread_ = std::thread(std::move(body));
  }
}

void TPlayerThread::StopAndJoin() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) {
    RequestPlayerStop();
    thread_.join();
  }
}

void TPlayerThread::Join() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) {
    thread_.join();
  }
}

void SetPlayerThreadRunner(TPlayerThreadRunner runner) {
  std::lock_guard<std::mutex> lock(thread_runner_mutex);
  thread_runner = std::move(runner);
}

void SetRenderStopper(std::function<void()> stopAndJoin) {
  std::lock_guard<std::mutex> lock(render_stopper_mutex);
  render_stopper = std::move(stopAndJoin);
}

void StopPlayback(int32_t window) {
  int32_t owner = window;
  if (!GPlayerOwner.compare_exchange_strong(owner, 0)) {
    return;
  }
  // The render first: once it has ended it can start no player.
  std::function<void()> stop_render;
  {
    std::lock_guard<std::mutex> lock(render_stopper_mutex);
    stop_render = render_stopper;
  }
  if (stop_render) {
    stop_render();
  }
  GPlayerThread.StopAndJoin();
}
