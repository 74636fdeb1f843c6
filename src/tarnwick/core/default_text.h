#pragma once
// Default texts of unpatterned values, shared by every report and by Variant.

#include <cstdint>
#include <string>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/date.h"

namespace tarnwick {

// Up to 15 significant digits, "." as decimal point, no grouping, no trailing zeros, "0.5"
// for magnitudes below 1. Magnitudes from 1E-4 to below 1E+15 are fixed notation; others use
// the host's exponent form ("1.5E+15", "1E-05").
std::string NumText(double value);
// Appends the same text to out without a temporary string.
void AppendNumText(std::string& out, double value);
std::string NumText(std::int32_t value);
std::string NumText(std::int64_t value);
std::string NumText(Currency value);
// month/day/year, four-digit year, no leading zeros: "12/31/2007", "1/5/2008". A time of day,
// when the serial has one, follows as " h:mm:ss AM".
std::string DateText(Date value);
std::string BoolText(bool value);  // "True" / "False"

}  // namespace tarnwick
