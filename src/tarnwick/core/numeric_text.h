#pragma once
// The host's number test and date test, locale-independent: "." is the decimal point,
// "," the grouping mark, dates are month/day/year.

#include <cstdint>
#include <optional>
#include <string_view>

#include "tarnwick/core/date.h"

namespace tarnwick {

// Numeric text: surrounding blanks, a leading or trailing sign, "$", grouping commas in the
// whole part, one decimal point, an exponent (E or D), or a parenthesised negative "(12.50)".
// Returns the value, or nullopt when the text is not numeric.
std::optional<double> ParseNumber(std::string_view text);
inline bool IsNumericText(std::string_view text) { return ParseNumber(text).has_value(); }

// The short path of ParseNumber for plain decimals ("1234.56", "-7", ".5"), nearly every
// amount of a ledger: with at most 15 digits the digits make an exact double and so does the
// power of ten, and one division rounds correctly, giving the value the full reading would.
// False (value untouched) for any other text. One loop, so that a varying length costs one
// mispredicted branch, not two.
inline bool ParsePlainDecimal(std::string_view text, double& value) {
  static constexpr double kPow10[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* p = text.data();
  const char* end = p + text.size();
  const bool negative = p < end && *p == '-';
  p += negative;
  if (end - p > 16) return false;  // more than 15 digits and a point
  std::uint64_t m = 0;
  unsigned digits = 0, point = 0, decimals = 0;
  for (; p < end; ++p) {
    const unsigned d = static_cast<unsigned>(static_cast<unsigned char>(*p)) - unsigned{'0'};
    if (d < 10) {
      m = m * 10 + d;
      ++digits;
      decimals += point;
    } else if (*p == '.' && point == 0) {
      point = 1;
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > 15) return false;
  const double v = static_cast<double>(m) / kPow10[decimals];
  value = negative ? -v : v;
  return true;
}

// The order in which date text writes day, month and year. The engine's own order is month/
// day/year; a source written day/month/year or year/month/day is read in its order on request.
// Text that begins with a four-digit year is read year/month/day in every order.
enum class DateOrder : std::uint8_t { kMdy, kDmy, kYmd };

// Date text: month/day/year with "/", "-" or "." (one separator throughout); the year in two
// or four digits (00-29 -> 20xx, 30-99 -> 19xx); optional time "h:mm[:ss]" with optional
// AM/PM after a blank; surrounding blanks allowed. Also a time alone ("13:45", day 0).
// In the order kDmy the first two numbers change places; in kYmd the year (two or four
// digits) comes first, then month and day.
std::optional<Date> ParseDate(std::string_view text, DateOrder order);
inline std::optional<Date> ParseDate(std::string_view text) {
  return ParseDate(text, DateOrder::kMdy);
}
inline bool IsDateText(std::string_view text) { return ParseDate(text).has_value(); }

// "month/day/year", "day/month/year" or "year/month/day", for messages.
const char* DateOrderName(DateOrder order);

}  // namespace tarnwick
