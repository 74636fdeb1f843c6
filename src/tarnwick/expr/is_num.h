#pragma once
// Module mIsNUM: the relaxed number test the expression parser uses to normalise amounts read
// from data files before they are substituted into a filter.

#include <string_view>

namespace tarnwick {

// True when the text is an amount: after trimming, double quotes, ")", "," and "$" are dropped,
// "(" stands for "-", and what remains (digits, "+", "-", ".") must be numeric text.
// "$1,234.56" -> 1234.56, "(500.00)" -> -500; "12%", "1 000", "N/A" and "-" are not numbers.
// Sets value to the number, or to 0 when the text is not one.
bool IsNUM(std::string_view text, double& value);

}  // namespace tarnwick
