#pragma once
// The number test and the date test on arbitrary text, with the default texts and number
// patterns fed back through them: whatever the tests accept must be finite, and what the engine
// prints for it must be read back as the same value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"

namespace tarnwick_fuzz {
namespace number_text {

using namespace tarnwick;

inline std::string StripMarks(std::string_view s) {
  std::string t;
  for (char c : s)
    if (c != ',' && c != '%') t += c;
  return t;
}

inline void CheckNumber(std::string_view text) {
  const auto v = ParseNumber(text);
  if (!v) return;
  FUZZ_CHECK(std::isfinite(*v), "ParseNumber accepted a non-finite value", text);

  // The default text has 15 significant digits and must read back within that precision.
  const std::string shown = NumText(*v);
  const auto back = ParseNumber(shown);
  FUZZ_CHECK(back.has_value(), "NumText output is not numeric text", shown);
  FUZZ_CHECK(std::fabs(*back - *v) <= std::fabs(*v) * 1e-14, "NumText does not read back", text);

  static constexpr std::string_view kPatterns[] = {"###,###,##0", "#.####0", "##.#0%",  "0.00",
                                                   "#,##0.00",    "0",       "0.000000"};
  for (std::string_view pattern : kPatterns) {
    const std::string out = FormatNumber(*v, pattern);
    if (out.empty()) continue;  // an all-"#" integer part writes a zero as nothing
    const double scale = pattern.back() == '%' ? 100.0 : 1.0;
    const auto parsed = ParseNumber(StripMarks(out));
    // a percentage beyond the double range is written in full but cannot be read back
    FUZZ_CHECK(parsed.has_value() || !std::isfinite(*v * scale),
               "FormatNumber output is not numeric", out);
    if (!parsed) continue;
    const std::size_t dot = pattern.find('.');
    int decimals = 0;
    if (dot != std::string_view::npos)
      for (char c : pattern.substr(dot)) decimals += c == '0' || c == '#';
    const double tol = 0.5 * std::pow(10.0, -decimals) + std::fabs(*v * scale) * 1e-15;
    FUZZ_CHECK(std::fabs(*parsed - *v * scale) <= tol * 1.0000001, "FormatNumber rounds wrong",
               text);
  }
}

inline void CheckDate(std::string_view text) {
  const auto d = ParseDate(text);
  if (!d) return;
  FUZZ_CHECK(std::isfinite(d->serial()), "ParseDate gave a non-finite serial", text);
  std::string shown;
  try {
    shown = DateText(*d);
  } catch (const EngineError&) {
    return;  // a date outside the host's range is an error of the call
  }
  const auto back = ParseDate(shown);
  FUZZ_CHECK(back.has_value(), "DateText output is not date text", shown);
  FUZZ_CHECK(std::fabs(back->serial() - d->serial()) < 1.0 / 86400.0, "DateText does not read back",
             text);
}

}  // namespace number_text

inline void NumberText(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  number_text::CheckNumber(text);
  number_text::CheckDate(text);
}

}  // namespace tarnwick_fuzz
