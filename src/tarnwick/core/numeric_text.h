#pragma once
// The host's number test and date test, locale-independent: "." is the decimal point,
// "," the grouping mark, dates are month/day/year.

#include <optional>
#include <string_view>

#include "tarnwick/core/date.h"

namespace tarnwick {

// Numeric text: surrounding blanks, a leading or trailing sign, "$", grouping commas in the
// whole part, one decimal point, an exponent (E or D), or a parenthesised negative "(12.50)".
// Returns the value, or nullopt when the text is not numeric.
std::optional<double> ParseNumber(std::string_view text);
inline bool IsNumericText(std::string_view text) { return ParseNumber(text).has_value(); }

// Date text: month/day/year with "/", "-" or "." (one separator throughout); the year in two
// or four digits (00-29 -> 20xx, 30-99 -> 19xx); optional time "h:mm[:ss]" with optional
// AM/PM after a blank; surrounding blanks allowed. Also a time alone ("13:45", day 0).
std::optional<Date> ParseDate(std::string_view text);
inline bool IsDateText(std::string_view text) { return ParseDate(text).has_value(); }

}  // namespace tarnwick
