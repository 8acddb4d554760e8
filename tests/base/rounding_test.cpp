#include "base/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

TEST(RoundingTest, TruncationGoesTowardZeroAndSaturates) {
  struct Case {
    long double value;
    int64_t expected;
  };
  const long double two63 = std::ldexp(1.0L, 63);
  for (const Case& c : {
           Case{0.0L, 0}, Case{-0.0L, 0}, Case{0.5L, 0}, Case{-0.5L, 0}, Case{0.7L, 0},
           Case{1.5L, 1}, Case{2.5L, 2}, Case{2.9999L, 2}, Case{3.0L, 3}, Case{-1.5L, -1},
           Case{-2.5L, -2}, Case{-2.9999L, -2}, Case{-3.0L, -3}, Case{127.6L, 127},
           Case{2147483648.5L, 2147483648}, Case{-2147483649.5L, -2147483649},
           Case{two63 - 0.5L, kMax}, Case{two63 - 1.5L, kMax - 1}, Case{two63, kMax},
           Case{1e30L, kMax}, Case{-two63 + 0.5L, kMin + 1}, Case{-two63, kMin},
           Case{-1e30L, kMin}, Case{std::numeric_limits<long double>::infinity(), kMax},
           Case{-std::numeric_limits<long double>::infinity(), kMin},
           Case{std::numeric_limits<long double>::quiet_NaN(), 0},
       }) {
    EXPECT_EQ(TruncToInt64(c.value), c.expected) << static_cast<double>(c.value);
    EXPECT_EQ(TruncToInt32(c.value), std::clamp<int64_t>(c.expected, INT32_MIN, INT32_MAX));
    if (std::isfinite(c.value) && std::fabs(c.value) < 1e18L) {
      EXPECT_EQ(TruncToInt64(c.value), static_cast<int64_t>(std::trunc(c.value)));
    }
  }
}

TEST(RoundingTest, RoundingTakesHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(0.5L), 0);
  EXPECT_EQ(RoundHalfEven(1.5L), 2);
  EXPECT_EQ(RoundHalfEven(-2.5L), -2);
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<long double>::quiet_NaN()), 0);
}

}  // namespace
