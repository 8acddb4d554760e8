// The lengths of the notes on a track's keys (index: MIDI key 0..127, 0 = no note), with a
// record of the keys whose length may not be zero. The render looks at every key twice a
// tick; with the record it looks only at the few keys that sound.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

// A list of keys in ascending order, as TKeyLengths::NotZero fills it.
using TKeyList = std::array<uint8_t, 128>;

class TKeyLengths {
 public:
  using TValues = std::array<long double, 128>;

  long double operator[](size_t key) const { return values_[key]; }
  // Every write passes here, so the key is marked: the caller may store any value.
  long double& operator[](size_t key) {
    marked_[key / 64] |= uint64_t{1} << (key % 64);
    return values_[key];
  }
  // Takes all 128 lengths; marks every key.
  TKeyLengths& operator=(const TValues& values) {
    values_ = values;
    marked_.fill(~uint64_t{0});
    return *this;
  }

  // The keys whose length is not zero (NaN counts as not zero), ascending, into `keys`;
  // their count. Marks of keys found zero are dropped.
  int NotZero(TKeyList& keys) {
    int n = 0;
    for (size_t word = 0; word < marked_.size(); ++word) {
      for (uint64_t bits = marked_[word]; bits != 0; bits &= bits - 1) {
        const size_t key = word * 64 + static_cast<size_t>(std::countr_zero(bits));
        if (values_[key] == 0) {
          marked_[word] &= ~(uint64_t{1} << (key % 64));
        } else {
          keys[n++] = static_cast<uint8_t>(key);
        }
      }
    }
    return n;
  }

 private:
  TValues values_{};
  std::array<uint64_t, 2> marked_{};  // bit k: the length of key k may not be zero
};
