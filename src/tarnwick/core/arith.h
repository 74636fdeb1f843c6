#pragma once
// Checked arithmetic: C++ yields inf, NaN or wraps silently where the engine must raise.

#include <cmath>
#include <cstdint>
#include <limits>

#include "tarnwick/core/error.h"

namespace tarnwick {

// A floating result that must be finite: inf or NaN is the overflow error.
inline double Checked(double x) {
  if (!std::isfinite(x)) Raise(ErrorCode::Overflow);
  return x;
}

// a / b with the host's rules: b == 0 is division by zero (0/0 included).
inline double Div(double a, double b) {
  if (b == 0.0) Raise(ErrorCode::DivisionByZero);
  return Checked(a / b);
}

inline double Sqr(double x) {
  if (x < 0.0) Raise(ErrorCode::InvalidArgument);
  return std::sqrt(x);
}

inline double Log(double x) {
  if (!(x > 0.0)) Raise(ErrorCode::InvalidArgument);
  return std::log(x);
}

// Whole-number rounding of the engine: to the nearest, halves to even (2.5 -> 2, 3.5 -> 4).
inline double RoundHalfEven(double x) { return std::nearbyint(x); }

// Rounding inside number patterns: halves away from zero.
inline double RoundHalfAway(double x) { return std::round(x); }

// Conversion to a 32-bit Long: rounded halves to even; outside the width is the overflow error.
inline std::int32_t ToLong(double x) {
  if (!std::isfinite(x)) Raise(ErrorCode::Overflow);
  const double r = RoundHalfEven(x);
  if (r < -2147483648.0 || r > 2147483647.0) Raise(ErrorCode::Overflow);
  return static_cast<std::int32_t>(r);
}

// Conversion to a 16-bit Integer, same rules.
inline std::int16_t ToInteger(double x) {
  if (!std::isfinite(x)) Raise(ErrorCode::Overflow);
  const double r = RoundHalfEven(x);
  if (r < -32768.0 || r > 32767.0) Raise(ErrorCode::Overflow);
  return static_cast<std::int16_t>(r);
}

// Checked whole-number arithmetic in a given width (16- and 32-bit counters).
template <class T>
inline T AddChecked(T a, T b) {
  T r{};
  if (__builtin_add_overflow(a, b, &r)) Raise(ErrorCode::Overflow);
  return r;
}
template <class T>
inline T SubChecked(T a, T b) {
  T r{};
  if (__builtin_sub_overflow(a, b, &r)) Raise(ErrorCode::Overflow);
  return r;
}
template <class T>
inline T MulChecked(T a, T b) {
  T r{};
  if (__builtin_mul_overflow(a, b, &r)) Raise(ErrorCode::Overflow);
  return r;
}
// A whole value of another width narrowed into T, overflow if it does not fit.
template <class T, class U>
inline T Narrow(U v) {
  if (v < static_cast<U>(std::numeric_limits<T>::min()) ||
      v > static_cast<U>(std::numeric_limits<T>::max()))
    Raise(ErrorCode::Overflow);
  return static_cast<T>(v);
}

}  // namespace tarnwick
