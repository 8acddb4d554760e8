// Exact fractions for note lengths and measure sums.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

// A fraction with a positive denominator, always reduced. An operation whose result does
// not fit 64 bits gives an invalid value; anything computed from an invalid value stays
// invalid, and invalid values compare equal to nothing.
class TRational {
 public:
  constexpr TRational() = default;
  TRational(int64_t num, int64_t den = 1);

  int64_t Num() const { return num_; }
  int64_t Den() const { return den_; }
  bool Valid() const { return valid_; }
  bool IsZero() const { return valid_ && num_ == 0; }

  // The value as a long double (0 for an invalid value).
  long double ToLongDouble() const;
  // "num/den", or "invalid".
  std::string ToString() const;

  static TRational Invalid();

  friend TRational operator+(const TRational& a, const TRational& b);
  friend TRational operator-(const TRational& a, const TRational& b);
  friend TRational operator*(const TRational& a, const TRational& b);
  friend TRational operator/(const TRational& a, const TRational& b);
  TRational& operator+=(const TRational& b) { return *this = *this + b; }
  TRational& operator-=(const TRational& b) { return *this = *this - b; }

  friend bool operator==(const TRational& a, const TRational& b);
  // Orders valid values; an invalid operand compares as unordered.
  friend std::partial_ordering operator<=>(const TRational& a, const TRational& b);

 private:
  int64_t num_ = 0;
  int64_t den_ = 1;
  bool valid_ = true;
};
