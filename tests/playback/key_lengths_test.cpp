#include "playback/key_lengths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<int> NotZeroKeys(TKeyLengths& lengths) {
  TKeyList keys{};
  const int count = lengths.NotZero(keys);
  return std::vector<int>(keys.begin(), keys.begin() + count);
}

TEST(KeyLengthsTest, NotZeroListsTheKeysWithALengthInAscendingOrder) {
  struct Case {
    std::vector<std::pair<int, long double>> writes;
    std::vector<int> expected;
  };
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  for (const Case& c : {
           Case{{}, {}},
           Case{{{127, 5}, {0, 1}, {64, 2}, {63, -3}}, {0, 63, 64, 127}},
           Case{{{60, 480}, {60, 0}}, {}},
           Case{{{60, -0.0L}, {61, nan}}, {61}},
           Case{{{5, 1}, {5, 0}, {5, 7}}, {5}},
       }) {
    TKeyLengths lengths;
    for (const auto& [key, value] : c.writes) {
      lengths[key] = value;
    }
    EXPECT_EQ(NotZeroKeys(lengths), c.expected);
    EXPECT_EQ(NotZeroKeys(lengths), c.expected) << "a second look finds the same keys";
  }
}

TEST(KeyLengthsTest, WritesAfterALookAreFound) {
  TKeyLengths lengths;
  lengths[10] = 3;
  ASSERT_EQ(NotZeroKeys(lengths), (std::vector<int>{10}));
  lengths[10] = 0;
  EXPECT_EQ(NotZeroKeys(lengths), (std::vector<int>{}));
  lengths[10] += 2;  // a key found zero and dropped is marked again by the next write
  lengths[100] = 1;
  EXPECT_EQ(NotZeroKeys(lengths), (std::vector<int>{10, 100}));
  const TKeyLengths& view = lengths;
  EXPECT_EQ(view[10], 2);
  EXPECT_EQ(view[11], 0);
}

TEST(KeyLengthsTest, AssigningAllLengthsFindsEveryNonZeroOne) {
  TKeyLengths lengths;
  lengths[3] = 9;
  std::array<long double, 128> values{};
  values[0] = 1;
  values[70] = 0.5L;
  values[127] = 4;
  lengths = values;
  EXPECT_EQ(NotZeroKeys(lengths), (std::vector<int>{0, 70, 127}));
  EXPECT_EQ(lengths[3], 0) << "the old lengths are replaced";
}

}  // namespace
