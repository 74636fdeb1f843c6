#pragma once
// Number patterns: an arbitrary pattern applied to an arbitrary double, whole number and amount.
// The text written must be a number (after its grouping marks and "%") within half a unit of
// the pattern's last decimal of the value.
//
// Input layout: 8 bytes of a double, 8 of a whole number, 8 of an amount's raw count (little
// endian, missing bytes are zero), then the pattern.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "tarnwick/core/currency.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"

namespace tarnwick_fuzz {
namespace format_number {

using namespace tarnwick;

struct Shape {
  bool percent = false;
  int decimals = 0;
};

inline Shape ShapeOf(std::string_view p) {
  Shape s;
  if (!p.empty() && p.back() == '%') {
    s.percent = true;
    p.remove_suffix(1);
  }
  const std::size_t dot = p.find('.');
  if (dot != std::string_view::npos)
    for (char c : p.substr(dot + 1)) s.decimals += c == '0' || c == '#';
  return s;
}

inline void CheckOutput(long double value, const std::string& out, std::string_view pattern) {
  for (char c : out)
    FUZZ_CHECK((c >= '0' && c <= '9') || c == ',' || c == '.' || c == '%' || c == '-',
               "FormatNumber wrote a character outside digits and marks", pattern);
  std::string plain;
  for (char c : out)
    if (c != ',' && c != '%') plain += c;
  if (plain.empty() || plain == "." || plain == "-" || plain == "-.") return;  // zero under "#"
  const Shape shape = ShapeOf(pattern);
  const long double scaled = shape.percent ? value * 100 : value;
  const auto parsed = ParseNumber(plain);
  if (!parsed && std::fabs(scaled) > 1.7e308L) return;  // written in full, beyond a double
  FUZZ_CHECK(parsed.has_value(), "FormatNumber output is not numeric", pattern);
  const long double tol = 0.5L * std::pow(10.0L, -shape.decimals) + std::fabs(scaled) * 1e-15L;
  FUZZ_CHECK(std::fabs(static_cast<long double>(*parsed) - scaled) <= tol * 1.000001L,
             "FormatNumber is more than half a unit off", pattern);
}

template <typename T>
T Take(const std::uint8_t*& data, std::size_t& size) {
  unsigned char bytes[sizeof(T)] = {};
  const std::size_t n = size < sizeof(T) ? size : sizeof(T);
  if (n > 0) std::memcpy(bytes, data, n);
  data += n;
  size -= n;
  T v;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

}  // namespace format_number

inline void FormatNumberInput(const std::uint8_t* data, std::size_t size) {
  using namespace format_number;
  const double d = Take<double>(data, size);
  const std::int64_t whole = Take<std::int64_t>(data, size);
  const std::int64_t raw = Take<std::int64_t>(data, size);
  const std::string pattern(reinterpret_cast<const char*>(data), size);

  if (std::isfinite(d)) CheckOutput(d, FormatNumber(d, pattern), pattern);
  CheckOutput(static_cast<long double>(whole), FormatNumber(whole, pattern), pattern);
  const Currency c = Currency::FromRaw(raw);
  CheckOutput(static_cast<long double>(raw) / 10000.0L, FormatNumber(c, pattern), pattern);
  std::string appended = "x";
  AppendNumber(appended, c, pattern);
  // appending keeps what was there and adds the same text
  FUZZ_CHECK(
      appended[0] == 'x' && appended.compare(1, std::string::npos, FormatNumber(c, pattern)) == 0,
      "AppendNumber differs from FormatNumber", pattern);
}

}  // namespace tarnwick_fuzz
