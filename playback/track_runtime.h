// The playback side's state of one track (PTreck::Runtime): rendered event bytes, render
// state, player state. A plain record; each group says which code fills it. Reset values
// are the ones a fresh render starts from.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "notation/track.h"
#include "playback/midi_byte_list.h"
#include "playback/midi_file_records.h"

struct TTrackRuntime {
  // Rendered MIDI events (midi_event_writer.h appends, the player and the file writer read).
  TMidiByteList Events;

  // Running status of the event writers: the kind of the last channel event appended
  // (0 none, 1 note on, 2 note off, 3 control change, 4 program change, 5 pitch bend,
  // 6 polyphonic key pressure) and its channel (1..16); every meta event clears the kind.
  uint8_t RunningStatusKind = 0;
  uint8_t RunningStatusChannel = 0;

  // Position randomisation of the delta times (midi_event_writer.h).
  uint32_t LastEventTick = 0;  // nominal tick of the last appended event
  uint32_t JumpOffset = 0;     // ticks between the clock and LastEventTick at a jump
  int32_t HumanizeOffset = 0;  // ticks the last event was moved by
  int32_t HumanizeCarry = 0;   // never positive: a displacement not yet given
  int32_t PositionRnd = 0;     // amplitude in ticks (handler statement "positionrnd")

  // Velocities written with the note ons and note offs, per MIDI key.
  std::array<long double, 128> KeyOnVelocity = FilledKeys(81.0L);
  std::array<long double, 128> KeyOffVelocity = FilledKeys(81.0L);

  // Per-key note state of the render (ticks).
  std::array<long double, 128> KeyLength{};    // length of the note on the key, 0 = none
  std::array<long double, 128> KeyPosition{};  // ticks it has sounded, 0 = not started
  std::array<uint8_t, 128> KeyState{};         // tie state of the key's note

  // Performance state the handler and the MIDI-file players change.
  std::array<long double, 128> ControllerValues = DefaultControllers();
  uint8_t Instrument = 0;
  long double PitchValue = 64.0L;  // coarse + 128 * fine; 64 is the centre

  // Time signature last written (control track).
  uint8_t TimeSigNumerator = 4;
  uint8_t TimeSigDenominator = 4;

  // MIDI files loaded by the handler language (control track only).
  std::unique_ptr<TMidi> HandlerMidiFiles;

  static std::array<long double, 128> FilledKeys(long double v) {
    std::array<long double, 128> a;
    a.fill(v);
    return a;
  }
  static std::array<long double, 128> DefaultControllers() {
    std::array<long double, 128> a{};
    a[7] = 112.0L;
    a[10] = 64.0L;
    a[11] = 112.0L;
    return a;
  }
};

// The track's runtime record, created on first use.
inline TTrackRuntime& RuntimeOf(TTreck& track) {
  if (!track.Runtime) {
    track.Runtime = std::make_shared<TTrackRuntime>();
  }
  return *track.Runtime;
}
