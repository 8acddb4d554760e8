#include "render/marked_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<int> NotZeroKeys(TMarkedValues& lengths) {
  TIndexList keys{};
  const int count = lengths.NotZero(keys);
  return std::vector<int>(keys.begin(), keys.begin() + count);
}

TEST(MarkedValuesTest, NotZeroListsTheKeysWithALengthInAscendingOrder) {
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
    TMarkedValues lengths;
    for (const auto& [key, value] : c.writes) {
      lengths[key] = value;
    }
    EXPECT_EQ(NotZeroKeys(lengths), c.expected);
    EXPECT_EQ(NotZeroKeys(lengths), c.expected) << "a second look finds the same keys";
  }
}

TEST(MarkedValuesTest, WritesAfterALookAreFound) {
  TMarkedValues lengths;
  lengths[10] = 3;
  ASSERT_EQ(NotZeroKeys(lengths), (std::vector<int>{10}));
  lengths[10] = 0;
  EXPECT_EQ(NotZeroKeys(lengths), (std::vector<int>{}));
  lengths[10] += 2;  // a key found zero and dropped is marked again by the next write
  lengths[100] = 1;
  EXPECT_EQ(NotZeroKeys(lengths), (std::vector<int>{10, 100}));
  const TMarkedValues& view = lengths;
  EXPECT_EQ(view[10], 2);
  EXPECT_EQ(view[11], 0);
}

TEST(MarkedValuesTest, AssigningAllLengthsFindsEveryNonZeroOne) {
  TMarkedValues lengths;
  lengths[3] = 9;
  std::array<long double, 128> values{};
  values[0] = 1;
  values[70] = 0.5L;
  values[127] = 4;
  lengths = values;
  EXPECT_EQ(NotZeroKeys(lengths), (std::vector<int>{0, 70, 127}));
  EXPECT_EQ(lengths[3], 0) << "the old lengths are replaced";
}

std::vector<int> TakenMarks(TMarkedValues& a, TMarkedValues& b) {
  TIndexList list{};
  const int count = TMarkedValues::TakeMarks(a, b, list);
  return std::vector<int>(list.begin(), list.begin() + count);
}

TEST(MarkedValuesTest, TakeMarksListsEntriesWrittenInEitherTableOnce) {
  std::array<long double, 128> defaults{};
  defaults[7] = 112;
  TMarkedValues values(defaults);
  TMarkedValues sent;
  EXPECT_EQ(TakenMarks(values, sent).size(), 128u) << "a table built from values is all marked";
  EXPECT_EQ(TakenMarks(values, sent), (std::vector<int>{})) << "taking drops the marks";
  values[100] = 1;
  sent[3] = 2;
  sent[100] = 1;
  values[127] = 0;  // a write of an equal value still marks
  EXPECT_EQ(TakenMarks(values, sent), (std::vector<int>{3, 100, 127}));
  sent.fill(0);
  EXPECT_EQ(TakenMarks(values, sent).size(), 128u);
  EXPECT_EQ(values[7], 112);
  EXPECT_EQ(values[100], 1);
}

}  // namespace
