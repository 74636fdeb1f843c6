#pragma once
// Report text: lines end in CR LF, columns are separated by one tab, and numbers are rendered
// through the fixed number patterns ("###,###,##0", "#.####0", "##.#0%", ...).

#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/default_text.h"

namespace tarnwick {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kTab = "\t";

// Renders a value with a number pattern made of "0", "#", ",", "." and an optional trailing "%".
// Rounding is to the pattern's decimals, halves away from zero. The integer part is written in
// full (grouped when the pattern groups) however few placeholders the pattern has; an all-"#"
// integer part writes a zero integer part as nothing; a negative value gets a leading "-".
std::string FormatNumber(double value, std::string_view pattern);
std::string FormatNumber(std::int32_t value, std::string_view pattern);
std::string FormatNumber(std::int64_t value, std::string_view pattern);
std::string FormatNumber(Currency value, std::string_view pattern);

// |value| x 10^decimals rounded to a whole number, halves away from zero, from the exact value
// of the double (no product rounded on the way): the digits a pattern with that many decimals
// writes. False for a value that is not finite, decimals outside 0..19, or a result of 2^64 or
// more.
bool RoundScaled(double value, int decimals, std::uint64_t& out);

// One "label<TAB>value<CR LF>" line of a report, the value as text or through a pattern.
void AppendLabelLine(std::string& out, std::string_view label, std::string_view value);
void AppendLabelLine(std::string& out, std::string_view label, double value,
                     std::string_view pattern);

// Appending forms for report builders: no temporary string.
void AppendNumber(std::string& out, double value, std::string_view pattern);
void AppendNumber(std::string& out, Currency value, std::string_view pattern);

}  // namespace tarnwick
