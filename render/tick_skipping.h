// Passing over quiet ticks. Most ticks of a render change nothing: between two ticks at
// which something is due (a note starts or ends, a key is released, a harmony part ends,
// a timed statement starts or stops running), a handler program that does not read the
// clock repeats what it did at the tick before. So after a tick that ran normally and
// changed nothing that the next tick could see (no handler stored a new value or wrote
// an event, no tempo or time signature was written, no note began, no harmony part
// ended), the ticks up to the next due tick are passed over in one step: only the
// counters move (remaining note ticks, key positions, harmony part positions), by whole
// ticks, which is exact for the values they hold. The files come out byte for byte as
// when every tick runs.
//
// Events that bring the output in line with the state (key releases, note ons, program,
// pitch and controller changes) do not come again at the next tick unless the state
// changes again; the values of "keys" (keyname ...) are read only in its body, after it
// set them in the same tick.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/track.h"
#include "render/program_analysis.h"

class TTickSkipping {
 public:
  // Sets up for a render of the song from `head`; `plays` tells the tracks that play.
  // Disabled, it only answers NeighbourKeys.
  void Prepare(PTreck head, const std::function<bool(const TTreck&)>& plays, bool enabled);

  // Whether the "keys" statements of track `index` (0 = the control track) must work out
  // the keys before and after the current one: its program reads them.
  bool NeighbourKeys(size_t index) const {
    return index >= tracks_.size() || tracks_[index].Traits.ReadsNeighbourKeys;
  }
  // Whether they must count the keys they visit: its program reads keycount.
  bool CountsKeys(size_t index) const {
    return index >= tracks_.size() || tracks_[index].Traits.ReadsKeyCount;
  }

  bool Enabled() const { return enabled_; }

  // Before a tick that runs normally: takes what the tick is compared with afterwards.
  void BeforeTick();
  // A handler run of the tick has ended; `stateChanged` is its THandlerTick::StateChanged.
  void HandlerRan(bool stateChanged) { changed_ = changed_ || stateChanged; }
  // A handler, or the tempo and time signature that follow it, wrote events.
  void HandlerWrote() { changed_ = true; }

  // After a tick that ran normally, with `next` the tick to come: how many ticks from
  // `next` on would only move the counters (at most `limit`); 0 when `next` must run.
  uint32_t QuietTicks(uint32_t next, uint32_t limit);
  // Moves the counters of every playing track and of the harmony parts over `ticks`
  // quiet ticks.
  void PassOver(uint32_t ticks);

 private:
  struct TTrackInfo {
    PTreck Track = nullptr;
    bool Plays = false;
    bool Head = false;
    TProgramTraits Traits;
  };
  // What a tick must leave as it found it: the harmony parts.
  struct TSnapshot {
    std::array<long double, 4> HarmonyLengths{};
    std::array<uint8_t, 4> HarmonyPressed{};
    bool operator==(const TSnapshot&) const = default;
  };

  TSnapshot Take() const;
  bool HandlerRuns(const TTrackInfo& info) const;
  // The quiet ticks the state of one track allows from `next` on (0: none).
  uint64_t TrackQuietTicks(const TTrackInfo& info, uint32_t next) const;
  static uint64_t QueueQuietTicks(const TTreck& track, bool ornamentsMatter);
  static uint64_t KeyQuietTicks(TTreck& track, bool positionsMove);
  static uint64_t HarmonyQuietTicks();

  bool enabled_ = false;
  PTreck head_ = nullptr;
  std::vector<TTrackInfo> tracks_;
  TSnapshot before_;
  bool changed_ = false;
};
