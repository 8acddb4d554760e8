// Float to integer conversions: every one saturates at the int64 range and gives 0 for NaN.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

// Rounds half to even. The default rounding mode does exactly that, so llrint (one
// instruction) serves; nearbyint would save and restore the floating-point environment.
inline int64_t RoundHalfEven(long double x) {
  if (std::isnan(x)) {
    return 0;
  }
  if (x >= 9223372036854775807.0L) {
    return std::numeric_limits<int64_t>::max();
  }
  if (x <= -9223372036854775808.0L) {
    return std::numeric_limits<int64_t>::min();
  }
  return std::llrint(x);
}

// Truncates toward zero: rounds to nearest, then steps back toward zero when that went
// past the value. std::trunc would switch the x87 rounding mode there and back, which
// stalls the floating-point unit.
inline int64_t TruncToInt64(long double x) {
  const int64_t r = RoundHalfEven(x);  // exact and saturated, 0 for NaN
  if (x >= 0) {
    return static_cast<long double>(r) > x ? r - 1 : r;
  }
  return static_cast<long double>(r) < x ? r + 1 : r;
}

// Truncates toward zero into the int32 range (saturating, 0 for NaN).
inline int32_t TruncToInt32(long double x) {
  return static_cast<int32_t>(std::clamp<int64_t>(TruncToInt64(x), std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}
