#include "tarnwick/core/currency.h"

#include <charconv>
#include <cmath>

#include "tarnwick/core/error.h"
#include "tarnwick/core/internal/int128.h"

namespace tarnwick {

Currency Currency::FromDouble(double value) {
  if (!std::isfinite(value)) Raise(ErrorCode::Overflow);
  // value * 10000 in a double is exact enough for every amount up to ~9e11; beyond that the
  // product's own rounding is below a ten-thousandth of the value anyway.
  const double scaled = std::nearbyint(value * static_cast<double>(kScale));
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
    Raise(ErrorCode::Overflow);
  return FromRaw(static_cast<std::int64_t>(scaled));
}

std::string Currency::Text() const {
  char buf[32];
  const bool neg = raw_ < 0;
  const uint128_t mag = neg ? -static_cast<int128_t>(raw_) : static_cast<int128_t>(raw_);
  const std::uint64_t whole = static_cast<std::uint64_t>(mag / kScale);
  std::uint64_t frac = static_cast<std::uint64_t>(mag % kScale);
  char* p = buf;
  if (neg) *p++ = '-';
  p = std::to_chars(p, buf + sizeof buf, whole).ptr;
  if (frac != 0) {
    *p++ = '.';
    char digits[4];
    for (int i = 3; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + frac % 10);
      frac /= 10;
    }
    int n = 4;
    while (n > 0 && digits[n - 1] == '0') --n;
    for (int i = 0; i < n; ++i) *p++ = digits[i];
  }
  return std::string(buf, p);
}

Currency Currency::operator+(Currency o) const {
  std::int64_t r;
  if (__builtin_add_overflow(raw_, o.raw_, &r)) Raise(ErrorCode::Overflow);
  return FromRaw(r);
}

Currency Currency::operator-(Currency o) const {
  std::int64_t r;
  if (__builtin_sub_overflow(raw_, o.raw_, &r)) Raise(ErrorCode::Overflow);
  return FromRaw(r);
}

Currency Currency::operator-() const {
  if (raw_ == INT64_MIN) Raise(ErrorCode::Overflow);
  return FromRaw(-raw_);
}

Currency Currency::operator*(Currency o) const {
  const int128_t p = static_cast<int128_t>(raw_) * o.raw_;
  int128_t q = p / kScale;
  const int128_t r = p % kScale;
  // halves to even on the dropped remainder
  const int128_t twice = (r < 0 ? -r : r) * 2;
  if (twice > kScale || (twice == kScale && (q & 1) != 0)) q += (p < 0 ? -1 : 1);
  if (q > INT64_MAX || q < INT64_MIN) Raise(ErrorCode::Overflow);
  return FromRaw(static_cast<std::int64_t>(q));
}

}  // namespace tarnwick
