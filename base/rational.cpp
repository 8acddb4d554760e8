#include "base/rational.h"

#include <limits>

namespace {

using Wide = __int128;

Wide WideGcd(Wide a, Wide b) {
  if (a < 0) {
    a = -a;
  }
  if (b < 0) {
    b = -b;
  }
  while (b != 0) {
    Wide t = a % b;
    a = b;
    b = t;
  }
  return a;
}

bool FitsInt64(Wide v) {
  return v >= std::numeric_limits<int64_t>::min() + 1 && v <= std::numeric_limits<int64_t>::max();
}

// Reduces num/den (den != 0) and packs it, or gives an invalid value when it does not fit.
TRational Make(Wide num, Wide den) {
  if (den == 0) {
    return TRational::Invalid();
  }
  if (den < 0) {
    num = -num;
    den = -den;
  }
  Wide g = WideGcd(num, den);
  if (g > 1) {
    num /= g;
    den /= g;
  }
  if (!FitsInt64(num) || !FitsInt64(den)) {
    return TRational::Invalid();
  }
  return TRational(static_cast<int64_t>(num), static_cast<int64_t>(den));
}

}  // namespace

TRational::TRational(int64_t num, int64_t den) {
  if (den == 0 || num == std::numeric_limits<int64_t>::min() ||
      den == std::numeric_limits<int64_t>::min()) {
    valid_ = false;
    return;
  }
  if (den < 0) {
    num = -num;
    den = -den;
  }
  Wide g = WideGcd(num, den);
  num_ = static_cast<int64_t>(num / g);
  den_ = static_cast<int64_t>(den / g);
}

TRational TRational::Invalid() {
  TRational r;
  r.valid_ = false;
  return r;
}

long double TRational::ToLongDouble() const {
  if (!valid_) {
    return 0.0L;
  }
  return static_cast<long double>(num_) / static_cast<long double>(den_);
}

std::string TRational::ToString() const {
  if (!valid_) {
    return "invalid";
  }
  return std::to_string(num_) + "/" + std::to_string(den_);
}

TRational operator+(const TRational& a, const TRational& b) {
  if (!a.valid_ || !b.valid_) {
    return TRational::Invalid();
  }
  return Make(Wide(a.num_) * b.den_ + Wide(b.num_) * a.den_, Wide(a.den_) * b.den_);
}

TRational operator-(const TRational& a, const TRational& b) {
  if (!a.valid_ || !b.valid_) {
    return TRational::Invalid();
  }
  return Make(Wide(a.num_) * b.den_ - Wide(b.num_) * a.den_, Wide(a.den_) * b.den_);
}

TRational operator*(const TRational& a, const TRational& b) {
  if (!a.valid_ || !b.valid_) {
    return TRational::Invalid();
  }
  return Make(Wide(a.num_) * b.num_, Wide(a.den_) * b.den_);
}

TRational operator/(const TRational& a, const TRational& b) {
  if (!a.valid_ || !b.valid_ || b.num_ == 0) {
    return TRational::Invalid();
  }
  return Make(Wide(a.num_) * b.den_, Wide(a.den_) * b.num_);
}

bool operator==(const TRational& a, const TRational& b) {
  return a.valid_ && b.valid_ && a.num_ == b.num_ && a.den_ == b.den_;
}

std::partial_ordering operator<=>(const TRational& a, const TRational& b) {
  if (!a.valid_ || !b.valid_) {
    return std::partial_ordering::unordered;
  }
  Wide left = Wide(a.num_) * b.den_;
  Wide right = Wide(b.num_) * a.den_;
  if (left < right) {
    return std::partial_ordering::less;
  }
  if (left > right) {
    return std::partial_ordering::greater;
  }
  return std::partial_ordering::equivalent;
}
