// Writers that append MIDI events to a track's event byte list (TMidiTrackOutput::Events).
//
// Every event writer takes the event's nominal tick (normally the song clock) and the
// ticks per measure (the period of the position randomisation), writes the delta time,
// then the event, and publishes the list once the event is whole. Calls for one track
// come in non-decreasing tick order from the render thread.
//
// Channels are 1..16. A channel event for channel 0 (the control track) or above 16 is
// not written at all. Data bytes are kept to 0..127: integer arguments by their low
// 7 bits, velocities (rounded from the per-key tables) by clamping.
// The status byte of a channel event is left out (running status) when the last channel
// event of the list had the same kind and channel and no meta event came between.
#pragma once

#include <cstdint>
#include <string>

#include "midi/midi_byte_list.h"

// Running-status kinds (TMidiTrackOutput::RunningStatusKind).
enum : uint8_t {
  kRunNone = 0,
  kRunNoteOn = 1,
  kRunNoteOff = 2,
  kRunController = 3,
  kRunProgram = 4,
  kRunPitchBend = 5,
  kRunPolyPressure = 6,
};

// What the writers keep per track: the event list, the running status and the position
// randomisation of the delta times.
struct TMidiTrackOutput {
  TMidiByteList Events;
  // The kind of the last channel event appended (kRun...) and its channel (1..16); every
  // meta event clears the kind.
  uint8_t RunningStatusKind = 0;
  uint8_t RunningStatusChannel = 0;
  uint32_t LastEventTick = 0;  // nominal tick of the last appended event
  uint32_t JumpOffset = 0;     // ticks between the clock and LastEventTick at a jump
  int32_t HumanizeOffset = 0;  // ticks the last event was moved by
  int32_t HumanizeCarry = 0;   // never positive: a displacement not yet given
  int32_t PositionRnd = 0;     // amplitude in ticks (handler statement "positionrnd")
};

// Raw bytes: appended without delta time and without publishing. A caller that composes
// an event from them calls track.Events.Publish() once the event is whole.
void WriteEventByte(uint8_t value, TMidiTrackOutput& track);
// The value as a variable-length quantity; values above 0x0FFFFFFF (the largest that four
// bytes hold) are written as 0x0FFFFFFF.
void WriteVarLen(uint32_t value, TMidiTrackOutput& track);
// The same quantity's bytes, most significant group first; returns how many (1..4).
int VarLenBytes(uint32_t value, uint8_t (&bytes)[4]);

// The delta time from the last event to this one, moved by the position randomisation:
// the event lands at tick + Round(sin(tick / ticksPerMeasure * pi) * PositionRnd) (a period
// of two measures); an event never lands before the one before it,
// and what it could not be moved by is carried to later events; events at one tick land
// together. Nothing is written for the first event of an empty list (its tick becomes
// LastEventTick). A tick before the last event's tick lands with the last event.
void WriteDeltaTime(TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure);

// Channel events. Note velocities are rounded and kept to 0..127.
void WriteNoteOn(int key, long double velocity, int channel, TMidiTrackOutput& track,
                 uint32_t tick, uint32_t ticksPerMeasure);
void WriteNoteOff(int key, long double velocity, int channel, TMidiTrackOutput& track,
                  uint32_t tick, uint32_t ticksPerMeasure);
void WriteController(int controller, int value, int channel, TMidiTrackOutput& track,
                     uint32_t tick, uint32_t ticksPerMeasure);
void WriteProgramChange(int program, int channel, TMidiTrackOutput& track, uint32_t tick,
                        uint32_t ticksPerMeasure);
// value is coarse + 128 * fine: 64 is the centre (data bytes 00 40).
void WritePitchBend(int channel, TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure,
                    long double value);
void WritePolyPressure(int key, int value, int channel, TMidiTrackOutput& track, uint32_t tick,
                       uint32_t ticksPerMeasure);

// Meta events (text bytes are code page 1251, written as they are).
void WriteTextEvent(const std::string& text, TMidiTrackOutput& track, uint32_t tick,
                    uint32_t ticksPerMeasure);
void WriteNoticeEvent(const std::string& text, TMidiTrackOutput& track, uint32_t tick,
                      uint32_t ticksPerMeasure);
void WriteTrackName(const std::string& text, TMidiTrackOutput& track, uint32_t tick,
                    uint32_t ticksPerMeasure);
// FF 58 04: numerator, the denominator's base-2 exponent (rounded down for a denominator
// that is not a power of two), MIDI clocks per beat, 8 thirty-seconds per quarter.
void WriteTimeSignature(int numerator, int denominator, TMidiTrackOutput& track, uint32_t tick,
                        uint32_t ticksPerMeasure);
// FF 51 03 and the microseconds per quarter note 60000000 / tempo, kept to 1..0xFFFFFF
// (a tempo of 0, below 0 or not a number gives the slowest).
void WriteTempo(TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure, long double tempo);
// FF 2F 00, the last event of every list.
void WriteEndOfTrack(TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure);

// The microseconds per quarter note that WriteTempo writes for a tempo.
uint32_t TempoMicroseconds(long double tempo);
