// 128 values (per MIDI key or controller number) with a mark on each entry that may have
// changed: the render looks at the key lengths and controllers of every track at every
// tick, and with the marks it looks only at the few entries that matter.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

// Entry numbers in ascending order, as TMarkedValues fills them in.
using TIndexList = std::array<uint8_t, 128>;

class TMarkedValues {
 public:
  using TValues = std::array<long double, 128>;

  TMarkedValues() = default;
  // Starts with `values`, every entry marked.
  explicit TMarkedValues(const TValues& values) { *this = values; }

  long double operator[](size_t i) const { return values_[i]; }
  // Every write passes here (or below), so the entry is marked: the caller may store any
  // value through the reference.
  long double& operator[](size_t i) {
    marks_[i / 64] |= uint64_t{1} << (i % 64);
    return values_[i];
  }
  // Takes all 128 values; marks every entry.
  TMarkedValues& operator=(const TValues& values) {
    values_ = values;
    marks_.fill(~uint64_t{0});
    return *this;
  }
  void fill(long double value) {
    values_.fill(value);
    marks_.fill(~uint64_t{0});
  }

  // The marked entries whose value is not zero (NaN is not zero), ascending, into `list`;
  // their count. The marks of entries found zero are dropped.
  int NotZero(TIndexList& list) {
    int n = 0;
    for (size_t word = 0; word < marks_.size(); ++word) {
      for (uint64_t bits = marks_[word]; bits != 0; bits &= bits - 1) {
        const size_t i = word * 64 + static_cast<size_t>(std::countr_zero(bits));
        if (values_[i] == 0) {
          marks_[word] &= ~(uint64_t{1} << (i % 64));
        } else {
          list[n++] = static_cast<uint8_t>(i);
        }
      }
    }
    return n;
  }

  // The entries marked in `a` or in `b`, ascending, into `list`; their count. Both tables'
  // marks are dropped: the caller compares those entries now.
  static int TakeMarks(TMarkedValues& a, TMarkedValues& b, TIndexList& list) {
    int n = 0;
    for (size_t word = 0; word < a.marks_.size(); ++word) {
      for (uint64_t bits = a.marks_[word] | b.marks_[word]; bits != 0; bits &= bits - 1) {
        list[n++] = static_cast<uint8_t>(word * 64 + static_cast<size_t>(std::countr_zero(bits)));
      }
      a.marks_[word] = 0;
      b.marks_[word] = 0;
    }
    return n;
  }

 private:
  TValues values_{};
  std::array<uint64_t, 2> marks_{};  // bit i: entry i may have changed since last looked at
};
