#pragma once
// Currency: the engine's fixed-point amount, a signed 64-bit count of ten-thousandths.

#include <compare>
#include <cstdint>
#include <string>

namespace tarnwick {

class Currency {
 public:
  static constexpr std::int64_t kScale = 10000;

  constexpr Currency() = default;
  // From a double: nearest ten-thousandth, halves to even; beyond the range is the overflow error.
  static Currency FromDouble(double value);
  static constexpr Currency FromRaw(std::int64_t raw) { return Currency(RawTag{}, raw); }
  // Implicit from a double so that amounts read as the host's Currency conversion.
  Currency(double value) : raw_(FromDouble(value).raw_) {}  // NOLINT(google-explicit-constructor)

  constexpr std::int64_t raw() const { return raw_; }
  double ToDouble() const { return static_cast<double>(raw_) / kScale; }
  explicit operator double() const { return ToDouble(); }

  // Default text: up to four decimals, trailing zeros dropped ("12.5", "-0.0001", "3").
  std::string Text() const;

  // Checked arithmetic: a result beyond the range is the overflow error.
  Currency operator+(Currency o) const;
  Currency operator-(Currency o) const;
  Currency operator*(Currency o) const;  // rounded to ten-thousandths, halves to even
  Currency operator-() const;
  Currency& operator+=(Currency o) { return *this = *this + o; }
  Currency& operator-=(Currency o) { return *this = *this - o; }
  Currency& operator*=(Currency o) { return *this = *this * o; }

  constexpr auto operator<=>(const Currency&) const = default;

  static constexpr Currency Max() { return FromRaw(INT64_MAX); }
  static constexpr Currency Min() { return FromRaw(INT64_MIN); }

 private:
  struct RawTag {};
  constexpr Currency(RawTag, std::int64_t raw) : raw_(raw) {}
  std::int64_t raw_ = 0;
};

}  // namespace tarnwick
