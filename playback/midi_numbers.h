// Float to integer conversions of the MIDI writers: saturating, NaN gives 0.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Rounds half to even, saturating at the int64 range; NaN gives 0.
inline int64_t MidiRound(long double v) {
  if (std::isnan(v)) {
    return 0;
  }
  const long double r = std::nearbyintl(v);
  if (r >= 9.2e18L) {
    return std::numeric_limits<int64_t>::max();
  }
  if (r <= -9.2e18L) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(r);
}

// Truncates toward zero, saturating like MidiRound.
inline int64_t MidiTrunc(long double v) {
  return std::isnan(v) ? 0 : MidiRound(std::truncl(v));
}
