#pragma once
// Variant: an argument or result that may be empty, a number, a date, a text or a Boolean.

#include <string>
#include <string_view>
#include <variant>

#include "tarnwick/core/date.h"

namespace tarnwick {

class Variant {
 public:
  enum class Kind { Empty, Number, Date, Text, Boolean };

  Variant() = default;
  Variant(double v) : v_(v) {}                         // NOLINT(google-explicit-constructor)
  Variant(int v) : v_(static_cast<double>(v)) {}       // NOLINT
  Variant(Date v) : v_(v) {}                           // NOLINT
  Variant(std::string v) : v_(std::move(v)) {}         // NOLINT
  Variant(const char* v) : v_(std::string(v)) {}       // NOLINT
  Variant(std::string_view v) : v_(std::string(v)) {}  // NOLINT
  Variant(bool v) : v_(v) {}                           // NOLINT

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool IsEmpty() const { return kind() == Kind::Empty; }
  bool IsNumber() const { return kind() == Kind::Number; }
  bool IsDate() const { return kind() == Kind::Date; }
  bool IsText() const { return kind() == Kind::Text; }
  bool IsBoolean() const { return kind() == Kind::Boolean; }

  // Conversions as the host makes them; a value that cannot convert is the type-mismatch error.
  // Empty is 0 / "" / False.
  double ToDouble() const;
  Date ToDate() const;
  bool ToBool() const;
  // Default text: numbers and dates as the report text writes them, Booleans "True"/"False".
  std::string ToText() const;

  const std::string& text() const { return std::get<std::string>(v_); }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::variant<std::monostate, double, Date, std::string, bool> v_;
};

}  // namespace tarnwick
