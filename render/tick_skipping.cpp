#include "render/tick_skipping.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/rounding.h"
#include "render/render_globals.h"
#include "render/track_runtime.h"

namespace {

constexpr uint64_t kUnbounded = std::numeric_limits<uint64_t>::max();
// Counters below this move by whole ticks exactly: their spacing is at most a tick.
constexpr long double kExactCounter = 4.0e15L;

bool WholeCounter(long double v) {
  return std::isfinite(v) && v == std::floor(v) && std::fabs(v) < kExactCounter;
}

bool HasOrnament(const TNoteRec* note) { return note != nullptr && note->OrnamentNumber != 0; }

}  // namespace

void TTickSkipping::Prepare(PTreck head, const std::function<bool(const TTreck&)>& plays,
                            bool enabled) {
  enabled_ = enabled;
  head_ = head;
  tracks_.clear();
  for (PTreck t = head; t != nullptr; t = t->Next) {
    TTrackInfo info;
    info.Track = t;
    info.Plays = plays(*t);
    info.Head = t == head;
    const TTrackRuntime& r = RuntimeOf(*t);
    info.Traits = AnalyseProgram(r.Program.ProgramTree, r.Program);
    tracks_.push_back(std::move(info));
  }
}

TTickSkipping::TSnapshot TTickSkipping::Take() const {
  TSnapshot s;
  s.HarmonyLengths = GRender.Harmony.Lengths;
  s.HarmonyPressed = GRender.Harmony.Pressed;
  return s;
}

void TTickSkipping::BeforeTick() {
  if (!enabled_) {
    return;
  }
  changed_ = false;
  before_ = Take();
}

bool TTickSkipping::HandlerRuns(const TTrackInfo& info) const {
  return !info.Head && info.Track->HandlerOn && head_->HandlerOn;
}

// Notes: a voice moves on at the tick its remaining time runs out; a note that began at
// the tick just run is seen as begun by the handlers of that tick only. Ornaments make
// "keys" give other keys as the note goes on.
uint64_t TTickSkipping::QueueQuietTicks(const TTreck& track, bool ornamentsMatter) {
  const TTrackRuntime& r = *track.Runtime;
  uint64_t quiet = kUnbounded;
  for (const TQueueEntry& e : r.NoteQueue) {
    if (e.StartsNow || e.Note == nullptr || !(e.Remaining >= 1) || e.Remaining > kExactCounter) {
      return 0;
    }
    if (ornamentsMatter &&
        (HasOrnament(e.Note) || (e.Voice < kVoiceCount && HasOrnament(r.NextNotes[e.Voice])))) {
      return 0;
    }
    // The tick `next` + i takes Remaining - (i + 1); the voice moves on when that is <= 0.
    quiet = std::min(quiet, static_cast<uint64_t>(std::ceil(e.Remaining)) - 1);
  }
  return quiet;
}

// Keys: a key is released at the first tick whose rounded position reaches its rounded
// length; positions move by one a tick while the track has notes queued.
uint64_t TTickSkipping::KeyQuietTicks(TTreck& track, bool positionsMove) {
  TTrackRuntime& r = *track.Runtime;
  TIndexList keys;
  const int count = r.KeyLength.NotZero(keys);
  uint64_t quiet = kUnbounded;
  for (int i = 0; i < count; ++i) {
    const int k = keys[i];
    const long double length = r.KeyLength[k];
    const long double position = r.KeyPosition[k];
    if (!(length > 0)) {
      continue;  // never released, never moves
    }
    if (!WholeCounter(position) || std::fabs(length) > kExactCounter) {
      return 0;
    }
    if (k == 0) {
      if (positionsMove && position < length) {
        return 0;  // moves until it reaches its length, and is never released
      }
      continue;
    }
    const int64_t end = RoundHalfEven(length);
    const int64_t at = static_cast<int64_t>(position);
    if (end <= at) {
      return 0;
    }
    if (positionsMove) {
      quiet = std::min(quiet, static_cast<uint64_t>(end - at));
    }
  }
  return quiet;
}

// Harmony parts: a part's key ends at the end of the tick whose position has reached
// its length.
uint64_t TTickSkipping::HarmonyQuietTicks() {
  const THarmonyPartState& h = GRender.Harmony;
  uint64_t quiet = kUnbounded;
  for (size_t p = 0; p < 4; ++p) {
    if (!(h.Lengths[p] > 0)) {
      continue;
    }
    if (!WholeCounter(h.Positions[p]) || h.Lengths[p] > kExactCounter) {
      return 0;
    }
    const long double left = std::ceil(h.Lengths[p] - h.Positions[p]);
    quiet = std::min(quiet, left > 0 ? static_cast<uint64_t>(left) : 0);
  }
  return quiet;
}

uint64_t TTickSkipping::TrackQuietTicks(const TTrackInfo& info, uint32_t next) const {
  TTreck& t = *info.Track;
  if (!info.Plays || !t.Runtime) {
    return kUnbounded;  // its queue is emptied at every tick
  }
  const TTrackRuntime& r = *t.Runtime;
  const bool handler = HandlerRuns(info);
  if ((handler && !info.Traits.ClockFree) || !r.ActiveBlocks.empty()) {
    return 0;
  }
  for (int n = 1; n <= r.MidiPlayerCount && n <= kMidiPlayerSlots; ++n) {
    const TMidiPlayerSlot& slot = r.MidiPlayers[n - 1];
    if (slot.Playing && slot.EventData != nullptr && slot.Division != 0) {
      return 0;
    }
  }
  const bool queued = !r.NoteQueue.empty();
  if (!info.Head && queued &&
      (r.PositionShift != r.AppliedShift || r.Instrument != r.LastInstrument)) {
    return 0;
  }
  uint64_t quiet = std::min(QueueQuietTicks(t, handler), KeyQuietTicks(t, !info.Head && queued));
  if (handler && quiet > 0) {
    const uint64_t change = NextTimedChange(info.Traits, next - 1);
    quiet = std::min(quiet, change - next);
  }
  return quiet;
}

uint32_t TTickSkipping::QuietTicks(uint32_t next, uint32_t limit) {
  if (!enabled_ || changed_ || limit == 0 || !(Take() == before_)) {
    return 0;
  }
  uint64_t quiet = std::min<uint64_t>(limit, HarmonyQuietTicks());
  for (const TTrackInfo& info : tracks_) {
    if (quiet == 0) {
      break;
    }
    quiet = std::min(quiet, TrackQuietTicks(info, next));
  }
  return static_cast<uint32_t>(quiet);
}

void TTickSkipping::PassOver(uint32_t ticks) {
  for (const TTrackInfo& info : tracks_) {
    if (!info.Plays || !info.Track->Runtime) {
      continue;
    }
    TTrackRuntime& r = *info.Track->Runtime;
    for (TQueueEntry& e : r.NoteQueue) {
      e.Remaining -= ticks;
    }
    if (info.Head || r.NoteQueue.empty()) {
      continue;
    }
    TIndexList keys;
    const int count = r.KeyLength.NotZero(keys);
    for (int i = 0; i < count; ++i) {
      const int k = keys[i];
      if (r.KeyLength[k] > 0 && r.KeyPosition[k] < r.KeyLength[k]) {
        r.KeyPosition[k] += ticks;
      }
    }
  }
  THarmonyPartState& h = GRender.Harmony;
  for (size_t p = 0; p < 4; ++p) {
    if (h.Lengths[p] > 0 && h.Positions[p] < h.Lengths[p]) {
      h.Positions[p] += ticks;
    }
  }
}
