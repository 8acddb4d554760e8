// The shape of a MIDI message, shared by the device backends and the event parser.
#pragma once

#include <cstdint>

// Number of data bytes that follow a status byte in a short message (0..2); F0, F7 and
// FF, whose lengths the bytes themselves give, count none.
inline int ShortMessageDataBytes(uint8_t status) {
  if (status < 0x80) {
    return 0;
  }
  if (status < 0xF0) {
    const uint8_t kind = status >> 4;
    return (kind == 0xC || kind == 0xD) ? 1 : 2;
  }
  switch (status) {
    case 0xF1:
    case 0xF3:
      return 1;
    case 0xF2:
      return 2;
    default:
      return 0;
  }
}
