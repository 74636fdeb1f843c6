#pragma once
// HolidayCalendar: a list of named days that replaces the observed United States federal
// holidays where a client keeps other holidays (another country's, a company's own). The
// holiday report (cAge) and the filter's holiday function (cOP) take one by pointer; without
// one they follow the federal rules.
//
// A holiday file holds one date per line, optionally followed by a TAB and the holiday's name
// ("12/25/2024<TAB>Christmas"); a name met on several lines is one holiday counted together.
// Lines that are blank, or whose first character other than a space is "#", hold nothing.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarnwick/core/date.h"
#include "tarnwick/core/numeric_text.h"

namespace tarnwick {

// The observed United States federal holidays, the calendar used without a HolidayCalendar:
// New Year's Day, Martin Luther King Day, Presidents' Day, Memorial Day, Independence Day,
// Labor Day, Columbus Day, Veterans Day, Thanksgiving, Christmas, and Juneteenth from 2021 on.
// A holiday on a fixed date that falls on a Saturday is observed on the Friday before, on a
// Sunday on the Monday after. Sets found[i] for the holidays that fall on `day`, in that order
// (index 10 is Juneteenth), and says whether any does. A time of day never matches a holiday
// computed as the nth weekday of a month.
constexpr int kFederalHolidays = 11;
bool FederalHolidays(Date day, bool (&found)[kFederalHolidays]);
inline bool IsFederalHoliday(Date day) {
  bool found[kFederalHolidays] = {};
  return FederalHolidays(day, found);
}

class HolidayCalendar {
 public:
  enum class Line : std::uint8_t { kAdded, kNothing, kNotADate };

  // Adds a day (the time of day is dropped) under a name; an empty name is the day's own date
  // text. A day already in the calendar keeps its first name.
  void Add(Date day, std::string_view name);
  // Reads one line of a holiday file, its date written in `order`.
  Line AddLine(std::string_view line, DateOrder order);
  // The index in Names() of the day's holiday (the time of day ignored), or -1.
  int Find(Date day) const;
  const std::vector<std::string>& Names() const { return names_; }
  std::size_t Days() const { return days_.size(); }

 private:
  std::unordered_map<std::int32_t, int> days_;
  std::unordered_map<std::string, int> nameIndex_;
  std::vector<std::string> names_;
};

}  // namespace tarnwick
