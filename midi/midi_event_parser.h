// One parser for the events of a track body, shared by the file reader (chunk bytes), the
// file writer (checking a rendered byte list) and the player (reading a byte list).
//
// A source is anything with `uint8_t operator[](size_t) const`; the parser reads only
// indexes below the end it is given, so it never reads out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "midi/midi_byte_list.h"
#include "platform/midi_message.h"

// One event as it stands in the bytes.
struct TMidiEvent {
  uint32_t Delta = 0;          // ticks since the previous event (0 when read without one)
  uint8_t Status = 0;          // 0x80..0xEF channel event, 0xF0/0xF7 SysEx, 0xFF meta, other system
  uint8_t Data1 = 0;           // channel and system common events: first data byte
  uint8_t Data2 = 0;           // second data byte (0 when the event has one)
  uint8_t MetaType = 0;        // meta events: the type byte
  size_t PayloadOffset = 0;    // meta and SysEx: index of the payload in the source
  uint32_t PayloadLength = 0;  // meta and SysEx: declared payload length in bytes
  size_t Next = 0;             // index just after the event

  bool IsChannel() const { return Status >= 0x80 && Status < 0xF0; }
  bool IsMeta() const { return Status == 0xFF; }
  bool IsSysEx() const { return Status == 0xF0 || Status == 0xF7; }
  bool IsEndOfTrack() const { return Status == 0xFF && MetaType == 0x2F; }
  uint8_t Kind() const { return Status & 0xF0; }
  uint8_t Channel() const { return Status & 0x0F; }  // 0-based
};

enum class TMidiParse : uint8_t {
  Event,     // an event was read
  NeedMore,  // the bytes end inside the event (or before it)
  Malformed  // the bytes cannot be an event; the reason says why
};

// Reads a variable-length quantity of at most 4 bytes at pos (below end) into value.
template <class Source>
TMidiParse ParseMidiVarLen(const Source& src, size_t& pos, size_t end, uint32_t& value,
                           std::string* why) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= end) {
      return TMidiParse::NeedMore;
    }
    const uint8_t b = src[pos++];
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) {
      return TMidiParse::Event;
    }
  }
  if (why) {
    *why = "variable-length quantity longer than 4 bytes";
  }
  return TMidiParse::Malformed;
}

// Reads the event at pos (below end): its delta time first when withDelta. runningStatus
// is the status in force and takes the new one; meta and SysEx events leave it. A channel
// data byte of 128 or more, a data byte with no status in force, a too long quantity are
// malformed. The payload of meta and SysEx events must lie below end.
template <class Source>
TMidiParse ParseMidiEvent(const Source& src, size_t pos, size_t end, bool withDelta,
                          uint8_t& runningStatus, TMidiEvent& ev, std::string* why) {
  ev = TMidiEvent{};
  if (withDelta) {
    const TMidiParse r = ParseMidiVarLen(src, pos, end, ev.Delta, why);
    if (r != TMidiParse::Event) {
      return r;
    }
  }
  if (pos >= end) {
    return TMidiParse::NeedMore;
  }
  uint8_t status = src[pos];
  if (status < 0x80) {
    if (runningStatus < 0x80) {
      if (why) {
        *why = "data byte with no status byte in force";
      }
      return TMidiParse::Malformed;
    }
    status = runningStatus;  // running status: the byte is data
  } else {
    ++pos;
  }
  ev.Status = status;
  if (status == 0xFF) {
    if (pos >= end) {
      return TMidiParse::NeedMore;
    }
    ev.MetaType = src[pos++];
  }
  if (status == 0xFF || status == 0xF0 || status == 0xF7) {
    const TMidiParse r = ParseMidiVarLen(src, pos, end, ev.PayloadLength, why);
    if (r != TMidiParse::Event) {
      return r;
    }
    if (end - pos < ev.PayloadLength) {
      return TMidiParse::NeedMore;
    }
    ev.PayloadOffset = pos;
    ev.Next = pos + ev.PayloadLength;
    return TMidiParse::Event;
  }
  const int count = ShortMessageDataBytes(status);  // F0, F7 and FF were read above
  if (end - pos < static_cast<size_t>(count)) {
    return TMidiParse::NeedMore;
  }
  for (int i = 0; i < count; ++i) {
    const uint8_t b = src[pos + i];
    if (b >= 0x80) {
      if (why) {
        *why = "status byte where a data byte (0..127) was expected";
      }
      return TMidiParse::Malformed;
    }
    (i == 0 ? ev.Data1 : ev.Data2) = b;
  }
  if (status < 0xF0) {
    runningStatus = status;
  }
  ev.Next = pos + count;
  return TMidiParse::Event;
}

// A byte list as a parser source (indexes below its published count only).
struct TMidiByteListSource {
  const TMidiByteList& List;
  uint8_t operator[](size_t i) const { return List.At(i); }
};

// The player's step: reads the event at the cursor (with its delta time unless it is the
// first event of the list) from the published bytes. On Event the cursor moves past it;
// on NeedMore or Malformed it stays.
inline TMidiParse ReadMidiEvent(TMidiByteCursor& cursor, uint8_t& runningStatus, TMidiEvent& ev,
                                std::string* why = nullptr) {
  const size_t start = cursor.Position();
  const size_t end = cursor.List().Published();
  uint8_t status = runningStatus;
  const TMidiParse r = ParseMidiEvent(TMidiByteListSource{cursor.List()}, start, end, start > 0,
                                      status, ev, why);
  if (r == TMidiParse::Event) {
    runningStatus = status;
    cursor.Seek(ev.Next);
  }
  return r;
}
