#include "render/render_thread.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

#include "base/errors.h"
#include "base/note_arithmetic.h"
#include "notation/note_record.h"
#include "model/plugin_hooks.h"
#include "feedback/signals.h"
#include "feedback/speech.h"
#include "platform/key_state.h"
#include "platform/thread_priority.h"
#include "render/handler_executor.h"
#include "handler/handler_names.h"
#include "midi/midi_event_writer.h"
#include "midi/midi_file_reader.h"
#include "render/handler_midi_files.h"
#include "render/song_midi_file.h"
#include "render/note_events.h"
#include "render/render_globals.h"
#include "base/rounding.h"
#include "render/render_state.h"
#include "render/tick_skipping.h"
#include "render/track_runtime.h"
#include "settings/settings.h"
#include "settings/shared_state.h"

std::atomic<bool> GSkipQuietTicks{true};

namespace {

constexpr uint8_t kTieToNext = static_cast<uint8_t>(TShtrih::Legatisimo);

bool InKeyRange(int key) { return key >= 1 && key <= 127; }

// The song clock of a measure's first tick, kept to 32 bits.
uint32_t MeasureStartTick(uint16_t measure, int32_t ticksPerMeasure) {
  const uint64_t tick = static_cast<uint64_t>(measure - 1) * static_cast<uint64_t>(ticksPerMeasure);
  return static_cast<uint32_t>(std::min<uint64_t>(tick, 0xFFFFFFFFu));
}

// The per-key tie states of a note that starts: 1 and 2 hold a key over a tie, 3 ends one.
uint8_t NextTieState(uint8_t state, bool tiedToNext) {
  if (tiedToNext) {
    return (state == 0 || state == 3) ? 1 : 2;
  }
  return (state == 1 || state == 2) ? 3 : 0;
}

// A track's MIDI-file player being read: its own copy of the event data and read state.
using TPlayerReadState = std::map<std::pair<const TTrackRuntime*, int>, TMidiFileTrack>;

class TRender {
 public:
  explicit TRender(const TMidiThreadFuncParameters& p)
      : params_(p), ticks_(std::max<int32_t>(p.TicksPerMeasure, 1)) {}

  TRenderOutcome Run();

 private:
  bool Start();
  void Loop();
  bool RunTick();
  void RunTrack(TTreck& t, size_t index);
  bool TrackPlays(const TTreck& t) const;
  void WriteOpeningEvents(TTreck& t, bool isHead);
  void ReleaseKeys(TTreck& t);
  void AdvanceMidiPlayers(TTreck& t);
  void AdvanceNotes(TTreck& t, bool isHead);
  void SetUpKeys(TTreck& t, TQueueEntry& entry, bool isHead, std::array<bool, 128>& touched);
  void SetUpKey(TTrackRuntime& r, int key, bool tiedToNext, TShtrih articulation,
                long double remaining, std::array<bool, 128>& touched);
  bool RunHandler(TTreck& t, size_t index);
  void WriteTempoAndSignature(TTreck& t);
  void WriteChangedControllers(TTreck& t);
  void WriteStateEvents(TTreck& t);
  void KeepAlive(TTreck& t, bool isHead);
  void AdvanceHarmonyParts();
  void Jump();
  uint32_t QuietTickLimit() const;
  void PassOverQuietTicks();
  void Progress();
  void StartPlayer();
  void ReleaseSoundingKeys();
  TRenderOutcome End();

  uint32_t Tick() const { return position_; }
  TTrackRuntime& Head() { return RuntimeOf(*head_); }

  const TMidiThreadFuncParameters& params_;
  TRenderRun& run_ = RenderRun();
  int32_t ticks_;
  PTreck head_ = nullptr;
  uint16_t startMeasure_ = 1;
  uint32_t position_ = 0;       // the song clock
  uint32_t expected_ = 0;       // where the handlers want the clock next (a jump when moved)
  uint32_t renderedTicks_ = 0;
  uint32_t passedOver_ = 0;     // of them, ticks passed over as quiet
  uint32_t tickLimit_ = 0;
  uint32_t playerStartTick_ = 0;
  bool firstTick_ = true;   // the opening events are still to be written
  bool freshQueue_ = true;  // the queues were just filled: no tick has passed in them
  bool freshTick_ = true;   // the tick last run was the first in fresh queues
  bool realTime_ = false;
  bool endAnnounced_ = false;  // the progress reached the song's length and was told
  TPlayerReadState midiPlayers_;
  TTickSkipping skipping_;
};

bool TRender::TrackPlays(const TTreck& t) const {
  if (&t == head_) {
    return true;
  }
  if (run_.Voice == 0 && ((t.Enabled && !head_->Solo) || t.Solo)) {
    return true;
  }
  return run_.Voice > 0 && &t == params_.Track;
}

bool TRender::Start() {
  SetCurrentThreadPriority(params_.Settings.Priority);
  head_ = params_.Track;
  while (head_->Prev != nullptr) {
    head_ = head_->Prev;
  }
  GHandlerCompile.ScopePath.clear();
  ResetRenderContext();  // the tempo last written among it: every render writes its own
  GPlayerStarted = false;
  startMeasure_ = std::max<uint16_t>(run_.FromMeasure, 1);
  run_.StartMeasure = startMeasure_;
  GRendering = true;
  tickLimit_ = params_.TickLimit;
  realTime_ = params_.Settings.RealTime && params_.ExportFileName.empty();
  position_ = MeasureStartTick(startMeasure_, ticks_);
  GRenderPosition = position_;
  GErrors.ClearCode();
  QueueTrackNotes(head_, GErrors, position_, ticks_);
  if (GErrors.Code() == 0) {
    SeekTracksToPosition(head_, GErrors, position_, ticks_);
  }
  expected_ = position_;
  firstTick_ = true;
  freshQueue_ = true;
  skipping_.Prepare(
      head_, [this](const TTreck& t) { return TrackPlays(t); },
      !realTime_ && params_.Settings.SkipQuietTicks);
  return GErrors.Code() == 0;
}

void TRender::WriteOpeningEvents(TTreck& t, bool isHead) {
  TTrackRuntime& r = RuntimeOf(t);
  if (isHead) {
    WriteNoticeEvent(RenderNoticeText(), r, Tick(), ticks_);
    WriteTrackName(t.Caption, r, Tick(), ticks_);
    return;
  }
  WriteTrackName(t.Caption, r, Tick(), ticks_);
  WritePitchBend(t.Channel, r, Tick(), ticks_, 64.0L);
  WriteController(7, 112, t.Channel, r, Tick(), ticks_);
  WriteController(11, 112, t.Channel, r, Tick(), ticks_);
  WriteController(10, 64, t.Channel, r, Tick(), ticks_);
}

void TRender::ReleaseKeys(TTreck& t) {
  TTrackRuntime& r = RuntimeOf(t);
  TIndexList keys;
  const int count = r.KeyLength.NotZero(keys);
  for (int i = 0; i < count; ++i) {
    const int k = keys[i];
    // Rounding moves a value by half a tick at most: a key a tick or more from its end
    // is not due, and needs no rounding.
    if (k == 0 || r.KeyLength[k] <= 0 || r.KeyPosition[k] + 1 < r.KeyLength[k] ||
        RoundHalfEven(r.KeyLength[k]) > RoundHalfEven(r.KeyPosition[k])) {
      continue;
    }
    r.KeyLength[k] = 0;
    r.KeyPosition[k] = 0;
    const int sounding = k + r.Transpose;
    if (r.KeyState[k] == 0 && InKeyRange(sounding) && r.KeySounding[k] != 0) {
      WriteNoteOff(sounding, r.KeyOffVelocity[sounding & 0x7F], t.Channel, r, Tick(), ticks_);
      r.KeySounding[k] = 0;
    }
  }
}

void TRender::AdvanceMidiPlayers(TTreck& t) {
  TTrackRuntime& r = RuntimeOf(t);
  if (r.MidiPlayerCount == 0) {
    return;
  }
  const long double whole = r.VoiceWholeTicks[1];
  const long double metre =
      r.VoiceBeatValue[1] != 0 ? static_cast<long double>(r.VoiceBeats[1]) / r.VoiceBeatValue[1] : 1.0L;
  for (int n = 1; n <= r.MidiPlayerCount && n <= kMidiPlayerSlots; ++n) {
    TMidiPlayerSlot& slot = r.MidiPlayers[n - 1];
    if (!slot.Playing || slot.EventData == nullptr || slot.Division == 0) {
      continue;
    }
    const long double scale = whole / (slot.Division * metre * 4.0L);
    TMidiFileTrack& entry = midiPlayers_[{&r, n}];
    uint32_t delta = 0;
    if (slot.FirstPass) {
      entry = TMidiFileTrack{};
      entry.Data = *slot.EventData;
      entry.HasData = true;
      entry.Playing = true;
      slot.FirstPass = false;
      if (!ReadMidiFileDelta(entry, delta)) {
        slot.Playing = false;
        slot.EventData = nullptr;
        continue;
      }
      slot.NextEventTime += static_cast<double>(delta * scale);
    }
    while (slot.Playing && slot.NextEventTime <= Tick()) {
      const bool exhausted = DecodeMidiFileEvent(entry, static_cast<uint32_t>(ticks_), r);
      if (exhausted || !entry.Playing || !ReadMidiFileDelta(entry, delta)) {
        slot.Playing = false;
        slot.EventData = nullptr;
        break;
      }
      slot.NextEventTime += static_cast<double>(delta * scale);
    }
  }
}

void TRender::SetUpKey(TTrackRuntime& r, int key, bool tiedToNext, TShtrih articulation,
                       long double remaining, std::array<bool, 128>& touched) {
  if (key < 0 || key > 127 || touched[key]) {
    return;
  }
  touched[key] = true;
  r.KeyState[key] = NextTieState(r.KeyState[key], tiedToNext);
  if (remaining <= r.KeyLength[key]) {
    r.KeyLength[key] -= r.KeyPosition[key];
    r.KeyPosition[key] = 0;
  } else {
    r.KeyLength[key] = remaining;
  }
  switch (articulation) {
    case TShtrih::Staccato:
      r.KeyLength[key] *= r.StaccatoFactor;
      break;
    case TShtrih::Staccatisimo:
      r.KeyLength[key] = r.StaccatissimoLength;
      break;
    case TShtrih::NonLegato:
      r.KeyLength[key] *= r.NonLegatoFactor;
      break;
    default:
      break;
  }
}

void TRender::SetUpKeys(TTreck& t, TQueueEntry& entry, bool isHead,
                        std::array<bool, 128>& touched) {
  const TNoteRec& note = *entry.Note;
  if (note.Step == 0) {
    return;
  }
  TTrackRuntime& r = RuntimeOf(t);
  const int key = MidiKeyOf(note.Step, note.Accidental, note.Octave);
  if (isHead) {
    if (entry.Voice != 0) {
      return;
    }
    THarmonyPartState& h = GRender.Harmony;
    auto setPart = [&](size_t part, int partKey) {
      h.Keys[part] = static_cast<uint8_t>(std::clamp(partKey, 0, 127));
      h.Lengths[part] = entry.Remaining;
      h.Positions[part] = 0;
      h.Pressed[part] = 1;
      h.Articulation[part] = static_cast<uint8_t>(note.Articulation);
    };
    setPart(0, key);
    for (size_t i = 0; i < note.Intervals.size() && i < 3; ++i) {
      const TIntervalRec& iv = note.Intervals[i];
      setPart(i + 1, MidiKeyOf(iv.Step, iv.Accidental, iv.Octave));
    }
    return;
  }
  const auto& parts = r.HarmonyParts[std::min<size_t>(entry.Voice, kVoiceCount - 1)];
  if (std::any_of(parts.begin(), parts.end(), [](uint8_t p) { return p != 0; })) {
    return;
  }
  SetUpKey(r, key, static_cast<uint8_t>(note.Articulation) == kTieToNext, note.Articulation,
           entry.Remaining, touched);
  for (const TIntervalRec& iv : note.Intervals) {
    SetUpKey(r, MidiKeyOf(iv.Step, iv.Accidental, iv.Octave), iv.Flag == kIntervalTied,
             note.Articulation, entry.Remaining, touched);
  }
}

void TRender::AdvanceNotes(TTreck& t, bool isHead) {
  TTrackRuntime& r = RuntimeOf(t);
  AdvanceTrackQueue(t, freshQueue_ ? 0.0L : 1.0L, Tick(), ticks_, GErrors, TNoteCommands::All);
  if (GErrors.Code() != 0) {
    return;
  }
  std::array<bool, 128> touched;
  bool cleared = false;  // the keys touched at this tick, cleared when a note first starts
  for (TQueueEntry& entry : r.NoteQueue) {
    if (!entry.StartsNow || entry.Note == nullptr) {
      continue;
    }
    if (run_.Voice == 0 || entry.Voice == run_.Voice || isHead) {
      if (!cleared) {
        touched.fill(false);
        cleared = true;
      }
      SetUpKeys(t, entry, isHead, touched);
    }
  }
}

bool TRender::RunHandler(TTreck& t, size_t index) {
  TTrackRuntime& r = RuntimeOf(t);
  if (!t.HandlerOn || !head_->HandlerOn) {
    return false;
  }
  THandlerTick tick(GRender, t, static_cast<uint32_t>(ticks_), GSongLength.load(), Tick(), GErrors);
  tick.ControlTrack = head_;
  tick.StatementBudget = static_cast<uint64_t>(std::max(params_.Settings.StatementsPerTick, 1));
  tick.NeighbourKeys = skipping_.NeighbourKeys(index);
  tick.CountsKeys = skipping_.CountsKeys(index);
  RunHandlerStatements(r.Program.ProgramTree, tick);
  if (GErrors.Code() == 0 && !r.ActiveBlocks.empty()) {
    RunActiveBlocks(
        t, Tick(),
        [&](const TBlockFrame& frame, PProgram program) {
          return RunHandlerBlock(frame, program, tick);
        },
        GErrors);
  }
  skipping_.HandlerRan(tick.StateChanged);
  if (tick.JumpTarget != Tick()) {
    expected_ = tick.JumpTarget;
    return true;
  }
  return false;
}

void TRender::WriteTempoAndSignature(TTreck& t) {
  TTrackRuntime& control = Head();
  if (head_->Tempo != GRender.LastTempo &&
      RoundHalfEven(head_->Tempo) != RoundHalfEven(GRender.LastTempo)) {
    GRender.LastTempo = head_->Tempo;
    WriteTempo(control, Tick(), ticks_, head_->Tempo);
  }
  const TTrackRuntime& r = RuntimeOf(t);
  if (control.TimeSigNumerator != r.VoiceBeats[1] ||
      control.TimeSigDenominator != r.VoiceBeatValue[1]) {
    control.TimeSigNumerator = r.VoiceBeats[1];
    control.TimeSigDenominator = r.VoiceBeatValue[1];
    WriteTimeSignature(control.TimeSigNumerator, control.TimeSigDenominator, control, Tick(),
                       ticks_);
  }
}

// Controllers whose value differs from the one last written (and truncates differently)
// are written; only controllers marked as changed in either table are compared.
void TRender::WriteChangedControllers(TTreck& t) {
  TTrackRuntime& r = RuntimeOf(t);
  const TMarkedValues& values = r.ControllerValues;
  TIndexList changed;
  const int count = TMarkedValues::TakeMarks(r.ControllerValues, r.ControllersSent, changed);
  for (int i = 0; i < count; ++i) {
    const int c = changed[i];
    const long double sent = std::as_const(r.ControllersSent)[c];
    if (values[c] != sent && TruncToInt32(values[c]) != TruncToInt32(sent)) {
      r.ControllersSent[c] = values[c];
      WriteController(c, TruncToInt32(values[c]), t.Channel, r, Tick(), ticks_);
    }
  }
}

void TRender::WriteStateEvents(TTreck& t) {
  TTrackRuntime& r = RuntimeOf(t);
  if (r.NoteQueue.empty()) {
    return;
  }
  // Equal values truncate alike: only changed values are truncated and compared.
  if (r.PitchValue != r.LastPitchValue && TruncToInt32(r.PitchValue) != TruncToInt32(r.LastPitchValue)) {
    r.LastPitchValue = r.PitchValue;
    WritePitchBend(t.Channel, r, Tick(), ticks_, r.PitchValue);
  }
  if (r.PositionShift != r.AppliedShift) {
    const int32_t by = r.PositionShift - r.AppliedShift;
    for (TQueueEntry& entry : r.NoteQueue) {
      entry.Remaining += by;
    }
    r.AppliedShift = r.PositionShift;
  }
  if (r.Instrument != r.LastInstrument) {
    WriteProgramChange(r.Instrument, t.Channel, r, Tick(), ticks_);
    r.LastInstrument = r.Instrument;
  }
  WriteChangedControllers(t);
  TIndexList keys;
  const int count = r.KeyLength.NotZero(keys);
  for (int i = 0; i < count; ++i) {
    const int k = keys[i];
    if (k == 0 || r.KeyLength[k] <= 0 || r.KeyPosition[k] != 0) {
      continue;
    }
    const int sounding = k + r.Transpose;
    if (r.KeyState[k] < 2 && InKeyRange(sounding)) {
      if (r.KeySounding[k] != 0) {
        WriteNoteOff(sounding, r.KeyOffVelocity[sounding & 0x7F], t.Channel, r, Tick(), ticks_);
      }
      WriteNoteOn(sounding, r.KeyOnVelocity[sounding & 0x7F], t.Channel, r, Tick(), ticks_);
      r.KeySounding[k] = 1;
    }
    // The last note of a tie starts no key, but from now on its end releases it.
    if (r.KeyState[k] == 3) {
      r.KeyState[k] = 0;
    }
  }
  for (int i = 0; i < count; ++i) {
    const int k = keys[i];
    if (r.KeyLength[k] > 0 && r.KeyPosition[k] < r.KeyLength[k]) {
      r.KeyPosition[k] += 1;
    }
  }
}

void TRender::KeepAlive(TTreck& t, bool isHead) {
  if (!realTime_) {
    return;
  }
  const long double interval = static_cast<long double>(params_.Settings.StartPlayingOffset) / 1920.0L * ticks_;
  const int32_t every = TruncToInt32(interval);
  if (every < 1 || Tick() % static_cast<uint32_t>(every) != 0) {
    return;
  }
  TTrackRuntime& r = RuntimeOf(t);
  if (isHead) {
    WriteTimeSignature(r.TimeSigNumerator, r.TimeSigDenominator, r, Tick(), ticks_);
  } else {
    WriteController(2, TruncToInt32(r.ControllerValues[2]), t.Channel, r, Tick(), ticks_);
  }
}

void TRender::RunTrack(TTreck& t, size_t index) {
  const bool isHead = index == 0;
  TTrackRuntime& r = RuntimeOf(t);
  if (!TrackPlays(t)) {
    r.NoteQueue.clear();
    return;
  }
  if (firstTick_) {
    WriteOpeningEvents(t, isHead);
  }
  ReleaseKeys(t);
  AdvanceMidiPlayers(t);
  AdvanceNotes(t, isHead);
  if (GErrors.Code() != 0) {
    return;
  }
  bool moved = false;
  if (!isHead) {
    // What the handler and the tempo and time signature write may come again at the
    // next tick: such a tick is not quiet.
    const size_t written = r.Events.Size() + Head().Events.Size();
    moved = RunHandler(t, index);
    if (!moved && GErrors.Code() == 0) {
      WriteTempoAndSignature(t);
    }
    if (r.Events.Size() + Head().Events.Size() != written) {
      skipping_.HandlerWrote();
    }
  }
  if (!moved && GErrors.Code() == 0) {
    if (!isHead) {
      WriteStateEvents(t);
    }
    KeepAlive(t, isHead);
  }
}

void TRender::AdvanceHarmonyParts() {
  THarmonyPartState& h = GRender.Harmony;
  for (size_t p = 0; p < 4; ++p) {
    h.Pressed[p] = 0;
    if (h.Lengths[p] > 0 && h.Positions[p] < h.Lengths[p]) {
      h.Positions[p] += 1;
    } else if (h.Lengths[p] > 0) {
      h.Lengths[p] = 0;
      h.Positions[p] = 0;
    }
  }
}

bool TRender::RunTick() {
  skipping_.BeforeTick();
  size_t index = 0;
  for (PTreck t = head_; t != nullptr; t = t->Next, ++index) {
    RunTrack(*t, index);
    if (GErrors.Code() != 0) {
      break;
    }
  }
  const bool moved = expected_ != Tick();
  if (!moved) {
    AdvanceHarmonyParts();
  }
  freshTick_ = freshQueue_;
  firstTick_ = false;
  freshQueue_ = false;
  if (GErrors.Code() != 0) {
    return false;
  }
  if (moved) {
    Jump();
    return GErrors.Code() == 0;
  }
  position_ += 1;
  GRenderPosition = position_;
  expected_ = position_;
  renderedTicks_ += 1;
  Progress();
  return true;
}

void TRender::Jump() {
  for (PTreck t = head_; t != nullptr; t = t->Next) {
    TTrackRuntime& r = RuntimeOf(*t);
    r.JumpOffset = Tick() - r.LastEventTick;
    r.PositionShift = 0;
  }
  position_ = expected_;
  GRenderPosition = position_;
  QueueTrackNotes(head_, GErrors, position_, ticks_);
  if (GErrors.Code() == 0) {
    SeekTracksToPosition(head_, GErrors, position_, ticks_);
  }
  for (PTreck t = head_; t != nullptr; t = t->Next) {
    TTrackRuntime& r = RuntimeOf(*t);
    r.LastEventTick -= r.JumpOffset;
  }
  freshQueue_ = true;
  renderedTicks_ += 1;
}

// How many ticks from the next one may be passed over without the loop or the progress
// signal missing one: the tick limit, the control track's length and the progress ticks
// bound it.
uint32_t TRender::QuietTickLimit() const {
  uint64_t limit = std::numeric_limits<uint32_t>::max() - Tick();
  if (tickLimit_ != 0) {
    limit = std::min<uint64_t>(limit, tickLimit_ > renderedTicks_ ? tickLimit_ - renderedTicks_ : 0);
  }
  const long double length = head_->TrackLength;
  if (!(length >= Tick())) {
    return 0;
  }
  const long double toEnd = std::floor(length) + 1 - Tick();  // the loop ends past the length
  limit = static_cast<uint64_t>(std::min<long double>(toEnd, static_cast<long double>(limit)));
  const TRenderSettings& settings = params_.Settings;
  if (settings.SignalProgress && settings.ProgressFrequency >= 1) {
    const uint32_t every = static_cast<uint32_t>(settings.ProgressFrequency);
    const uint32_t songLength = GSongLength.load();
    limit = std::min<uint64_t>(limit, every - 1 - renderedTicks_ % every);
    limit = std::min<uint64_t>(limit, songLength >= Tick() ? songLength - Tick() : 0);
  }
  return static_cast<uint32_t>(limit);
}

// After a tick that ran normally: the ticks that would only move the counters are
// passed over at once.
void TRender::PassOverQuietTicks() {
  if (!skipping_.Enabled() || freshTick_) {
    return;  // the first tick of a render or after a jump is not compared with
  }
  const uint32_t quiet = skipping_.QuietTicks(Tick(), QuietTickLimit());
  if (quiet == 0) {
    return;
  }
  skipping_.PassOver(quiet);
  position_ += quiet;
  GRenderPosition = position_;
  expected_ = position_;
  renderedTicks_ += quiet;
  passedOver_ += quiet;
}

void TRender::StartPlayer() {
  playerStartTick_ = Tick();
  if (params_.StartPlayer) {
    params_.StartPlayer(head_, ticks_);
  }
  GPlayerStarted = true;
}

void TRender::Progress() {
  if (!realTime_) {
    const TRenderSettings& settings = params_.Settings;
    const uint32_t length = GSongLength.load();
    if (settings.SignalProgress && settings.ProgressFrequency >= 1 && !endAnnounced_ &&
        (renderedTicks_ % static_cast<uint32_t>(settings.ProgressFrequency) == 0 || Tick() > length)) {
      endAnnounced_ = Tick() >= length;  // the end is told once, whichever way it is reached
      PlaySignal(sTrack);
      if (length > 0) {
        const long double share = static_cast<long double>(Tick()) / length * 100.0L;
        Speak(std::to_string(TruncToInt32(share)) + "%", -1);
      }
    }
    return;
  }
  const uint64_t from = MeasureStartTick(startMeasure_, ticks_);
  if (!GPlayerStarted && Tick() > from + static_cast<uint64_t>(std::max(params_.Settings.StartPlayingOffset, 0))) {
    StartPlayer();
  }
}

void TRender::Loop() {
  for (;;) {
    // Holding Shift holds the render back at its start and after every jump.
    KeyState().WaitWhileShiftHeld([this] { return run_.Stop.load(); });
    bool jumped = false;
    while ((tickLimit_ == 0 || renderedTicks_ < tickLimit_) && !run_.Stop &&
           static_cast<long double>(Tick()) <= head_->TrackLength &&
           AnyTrackHasPendingNotes(head_)) {
      const uint32_t before = Tick();
      if (!RunTick()) {
        return;
      }
      if (Tick() != before + 1) {
        jumped = true;
        break;
      }
      PassOverQuietTicks();
    }
    if (!jumped || GErrors.Code() != 0 || run_.Stop) {
      return;
    }
  }
}

// Keys still sounding get their note-offs, so that no note hangs at the end of a list.
void TRender::ReleaseSoundingKeys() {
  for (PTreck t = head_; t != nullptr; t = t->Next) {
    TTrackRuntime& r = RuntimeOf(*t);
    for (int k = 0; k < 128; ++k) {
      if (r.KeySounding[k] == 0) {
        continue;
      }
      const int sounding = k + r.Transpose;
      if (InKeyRange(sounding)) {
        WriteNoteOff(sounding, r.KeyOffVelocity[sounding & 0x7F], t->Channel, r, Tick(), ticks_);
      }
      r.KeySounding[k] = 0;
    }
  }
}

TRenderOutcome TRender::End() {
  TRenderOutcome outcome;
  outcome.Ticks = renderedTicks_;
  outcome.PassedOver = passedOver_;
  const bool stopped = run_.Stop.load();
  const bool failed = GErrors.Code() != 0;
  outcome.Stopped = stopped;
  if (!failed) {
    ReleaseSoundingKeys();
  }
  for (PTreck t = head_; t != nullptr; t = t->Next) {
    TTrackRuntime& r = RuntimeOf(*t);
    if (!stopped && !failed) {
      WriteEndOfTrack(r, Tick(), ticks_);
    }
    r.Events.MarkComplete();
  }
  // The song's first note gives the head its signature again, before the file is written.
  if (head_->NoteList && head_->NoteList->First != nullptr && head_->NoteList->First->Signature) {
    Head().TimeSigNumerator = head_->NoteList->First->Signature->Numerator;
    Head().TimeSigDenominator = head_->NoteList->First->Signature->Denominator;
  }
  if (!failed && !stopped) {
    if (!params_.ExportFileName.empty()) {
      std::string error;
      outcome.Exported = WriteSongMidiFile(params_.ExportFileName, head_, static_cast<uint32_t>(ticks_), error);
      outcome.ExportError = error;
    } else if (!GPlayerStarted) {
      StartPlayer();
    }
  }
  outcome.PlayerStarted = GPlayerStarted;
  outcome.PlayerStartTick = playerStartTick_;
  ResetSongRenderState(head_);
  if (!failed) {
    GRendering = false;
  }
  if (params_.FormatModule && params_.FormatModule->RestoreParameters) {
    int32_t ticks = ticks_;
    params_.FormatModule->RestoreParameters(ticks, head_);
  }
  outcome.Finished = !failed && !stopped;
  return outcome;
}

TRenderOutcome TRender::Run() {
  if (params_.Track == nullptr) {
    return {};
  }
  if (Start()) {
    Loop();
  }
  return End();
}

}  // namespace

TRenderSettings CurrentRenderSettings() {
  TRenderSettings s;
  s.RealTime = GModeRealPlaying;
  s.StartPlayingOffset = GStartPlayingOffset;
  s.ProgressFrequency = GProgressFrequency;
  s.SignalProgress = SignalProgress;
  s.Priority = GPriorityGeneration;
  s.StatementsPerTick = GHandlerStatementsPerTick;
  s.SkipQuietTicks = GSkipQuietTicks;
  return s;
}

bool AnyTrackHasPendingNotes(PTreck head) {
  for (PTreck t = head; t != nullptr; t = t->Next) {
    if (t->Runtime && !t->Runtime->NoteQueue.empty() && t->Runtime->NoteQueue.front().Note != nullptr) {
      return true;
    }
  }
  return false;
}

std::string RenderNoticeText() {
  return "VELTO v." + std::to_string(VersionMajor) + "." + std::to_string(VersionMinor) + "." +
         std::to_string(VersionRelease) + "." + std::to_string(VersionBuild);
}

TRenderOutcome RenderThreadProc(const TMidiThreadFuncParameters& parameters) {
  TRender render(parameters);
  return render.Run();
}
