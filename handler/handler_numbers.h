// Number conversions of the handler run-time: MIDI data bytes from handler values and
// numbers as the handler language prints them.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "base/rounding.h"

// The value brought into 0..128 by whole turns of 128 (exact for any finite value,
// whatever its size), keeping its fraction; nothing for NaN and the infinities.
// Inline: the handler statements call it for every key of every tick.
inline std::optional<long double> WrapToMidiRange(long double value) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  if (value >= 0 && value < 128.0L) {
    return value;  // the common case needs no division
  }
  long double wrapped = std::fmod(value, 128.0L);  // exact, sign of value
  if (wrapped < 0) {
    wrapped += 128.0L;
  }
  return wrapped;
}

// A wrapped value rounded (halves to even) to a data byte 0..127: 127.5 gives 127.
inline uint8_t RoundedDataByte(long double wrapped) {
  const int64_t r = RoundHalfEven(wrapped);
  if (r < 0) {
    return 0;
  }
  return static_cast<uint8_t>(r > 127 ? 127 : r);
}

// A number as the handler language prints it: at most 15 significant digits, "," as the
// decimal sign, an exponent only for very large or very small values ("1,5E20").
std::string FloatToStr(long double value);
