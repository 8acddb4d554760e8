#include "midi/midi_event_writer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "base/rounding.h"

namespace {

constexpr uint32_t kMaxVarLen = 0x0FFFFFFF;

uint8_t ClampData(int64_t v) {
  return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 127));
}

uint8_t MaskData(int v) {
  return static_cast<uint8_t>(v & 0x7F);
}

int32_t SaturateInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

bool IsChannel(int channel) {
  return channel >= 1 && channel <= 16;
}

// Delta, then the status byte unless running status covers it, then the data bytes.
void WriteChannelEvent(TMidiTrackOutput& track, uint8_t kind, uint8_t base, int channel,
                       uint32_t tick, uint32_t ticksPerMeasure, uint8_t data1, uint8_t data2,
                       int dataCount) {
  if (!IsChannel(channel)) {
    return;
  }
  WriteDeltaTime(track, tick, ticksPerMeasure);
  if (track.RunningStatusKind != kind || track.RunningStatusChannel != channel) {
    track.Events.Append(static_cast<uint8_t>(base + channel - 1));
  }
  track.Events.Append(data1);
  if (dataCount > 1) {
    track.Events.Append(data2);
  }
  track.RunningStatusKind = kind;
  track.RunningStatusChannel = static_cast<uint8_t>(channel);
  track.Events.Publish();
}

// Delta, FF, type, length, payload; a meta event ends the running status.
void WriteMetaEvent(TMidiTrackOutput& track, uint8_t type, const std::string& payload,
                    uint32_t tick, uint32_t ticksPerMeasure) {
  track.RunningStatusKind = kRunNone;
  WriteDeltaTime(track, tick, ticksPerMeasure);
  track.Events.Append(0xFF);
  track.Events.Append(type);
  const size_t length = std::min<size_t>(payload.size(), kMaxVarLen);
  WriteVarLen(static_cast<uint32_t>(length), track);
  for (size_t i = 0; i < length; ++i) {
    track.Events.Append(static_cast<uint8_t>(payload[i]));
  }
  track.Events.Publish();
}

// Round(sin(tick / ticksPerMeasure * pi) * amplitude).
int64_t HumanizeShift(uint32_t tick, uint32_t ticksPerMeasure, int32_t amplitude) {
  if (amplitude == 0 || ticksPerMeasure == 0) {
    return 0;
  }
  const long double phase = static_cast<long double>(tick) / ticksPerMeasure *
                            std::numbers::pi_v<long double>;
  return RoundHalfEven(std::sin(phase) * amplitude);
}

// Base-2 exponent of a denominator, rounded down; 0 for 1 and below.
uint8_t DenominatorExponent(int denominator) {
  uint8_t e = 0;
  while (denominator > 1 && e < 255) {
    denominator >>= 1;
    ++e;
  }
  return e;
}

}  // namespace

void WriteEventByte(uint8_t value, TMidiTrackOutput& track) {
  track.Events.Append(value);
}

int VarLenBytes(uint32_t value, uint8_t (&bytes)[4]) {
  value = std::min(value, kMaxVarLen);
  uint8_t groups[4];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  for (int i = 0; i < n; ++i) {
    bytes[i] = static_cast<uint8_t>(groups[n - 1 - i] | (i + 1 < n ? 0x80 : 0x00));
  }
  return n;
}

void WriteVarLen(uint32_t value, TMidiTrackOutput& track) {
  uint8_t bytes[4];
  const int n = VarLenBytes(value, bytes);
  for (int i = 0; i < n; ++i) {
    track.Events.Append(bytes[i]);
  }
}

void WriteDeltaTime(TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure) {
  if (track.Events.Empty()) {
    track.LastEventTick = tick;  // the first event of a list has no delta time
    return;
  }
  // The tick distance is taken modulo 2^32, as a jump shifts LastEventTick that way; a
  // distance of 2^31 and more is a tick before the last event: it counts as 0 and
  // LastEventTick stays.
  const uint32_t distance = tick - track.LastEventTick;
  const bool behind = distance >= 0x80000000u;
  const int64_t d = behind ? 0 : static_cast<int64_t>(distance);
  const int64_t h = HumanizeShift(tick, ticksPerMeasure, track.PositionRnd);
  const int64_t p = track.HumanizeOffset;
  const int64_t x = d - p + h;  // room between the previous event and this one's place
  int64_t carry = track.HumanizeCarry;
  int64_t o;
  if (d == 0) {
    o = p;  // same tick: lands with the event before, the carry counted once per tick
  } else if (x < 0) {
    carry += x;
    o = p - d;  // lands with the event before
  } else if (carry == 0) {
    o = h;
  } else if (x + carry >= 0) {
    o = h + carry;
    carry = 0;
  } else {
    carry += x;
    o = p - d;
  }
  const int64_t delta = d - p + o;
  WriteVarLen(static_cast<uint32_t>(std::clamp<int64_t>(delta, 0, kMaxVarLen)), track);
  track.HumanizeCarry = SaturateInt32(carry);
  track.HumanizeOffset = SaturateInt32(o);
  if (!behind) {
    track.LastEventTick = tick;
  }
}

void WriteNoteOn(int key, long double velocity, int channel, TMidiTrackOutput& track,
                 uint32_t tick, uint32_t ticksPerMeasure) {
  WriteChannelEvent(track, kRunNoteOn, 0x90, channel, tick, ticksPerMeasure, MaskData(key),
                    ClampData(RoundHalfEven(velocity)), 2);
}

void WriteNoteOff(int key, long double velocity, int channel, TMidiTrackOutput& track,
                  uint32_t tick, uint32_t ticksPerMeasure) {
  WriteChannelEvent(track, kRunNoteOff, 0x80, channel, tick, ticksPerMeasure, MaskData(key),
                    ClampData(RoundHalfEven(velocity)), 2);
}

void WriteController(int controller, int value, int channel, TMidiTrackOutput& track,
                     uint32_t tick, uint32_t ticksPerMeasure) {
  WriteChannelEvent(track, kRunController, 0xB0, channel, tick, ticksPerMeasure,
                    MaskData(controller), MaskData(value), 2);
}

void WriteProgramChange(int program, int channel, TMidiTrackOutput& track, uint32_t tick,
                        uint32_t ticksPerMeasure) {
  WriteChannelEvent(track, kRunProgram, 0xC0, channel, tick, ticksPerMeasure,
                    MaskData(program), 0, 1);
}

void WritePitchBend(int channel, TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure,
                    long double value) {
  // v is coarse + 128 * fine: the wire's first data byte (the fine part) is bits 7..13.
  const int64_t v = TruncToInt64(value);
  WriteChannelEvent(track, kRunPitchBend, 0xE0, channel, tick, ticksPerMeasure,
                    static_cast<uint8_t>((v >> 7) & 0x7F), static_cast<uint8_t>(v & 0x7F), 2);
}

void WritePolyPressure(int key, int value, int channel, TMidiTrackOutput& track, uint32_t tick,
                       uint32_t ticksPerMeasure) {
  WriteChannelEvent(track, kRunPolyPressure, 0xA0, channel, tick, ticksPerMeasure,
                    MaskData(key), MaskData(value), 2);
}

void WriteTextEvent(const std::string& text, TMidiTrackOutput& track, uint32_t tick,
                    uint32_t ticksPerMeasure) {
  WriteMetaEvent(track, 0x01, text, tick, ticksPerMeasure);
}

void WriteNoticeEvent(const std::string& text, TMidiTrackOutput& track, uint32_t tick,
                      uint32_t ticksPerMeasure) {
  WriteMetaEvent(track, 0x02, text, tick, ticksPerMeasure);
}

void WriteTrackName(const std::string& text, TMidiTrackOutput& track, uint32_t tick,
                    uint32_t ticksPerMeasure) {
  WriteMetaEvent(track, 0x03, text, tick, ticksPerMeasure);
}

void WriteTimeSignature(int numerator, int denominator, TMidiTrackOutput& track, uint32_t tick,
                        uint32_t ticksPerMeasure) {
  const uint8_t exponent = DenominatorExponent(denominator);
  // MIDI clocks (24 per quarter) per beat of the denominator's note value.
  const uint8_t clocks = static_cast<uint8_t>(std::max(1, 96 >> std::min<int>(exponent, 7)));
  const std::string payload{static_cast<char>(static_cast<uint8_t>(numerator)),
                            static_cast<char>(exponent), static_cast<char>(clocks), 8};
  WriteMetaEvent(track, 0x58, payload, tick, ticksPerMeasure);
}

uint32_t TempoMicroseconds(long double tempo) {
  if (!(tempo > 0)) {
    return 0xFFFFFF;
  }
  return static_cast<uint32_t>(std::clamp<int64_t>(TruncToInt64(60000000.0L / tempo), 1,
                                                   0xFFFFFF));
}

void WriteTempo(TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure, long double tempo) {
  const uint32_t u = TempoMicroseconds(tempo);
  const std::string payload{static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                            static_cast<char>(u & 0xFF)};
  WriteMetaEvent(track, 0x51, payload, tick, ticksPerMeasure);
}

void WriteEndOfTrack(TMidiTrackOutput& track, uint32_t tick, uint32_t ticksPerMeasure) {
  WriteMetaEvent(track, 0x2F, std::string(), tick, ticksPerMeasure);
}
