#include "tarnwick/core/holiday_calendar.h"

#include "tarnwick/core/default_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

namespace {

constexpr int kSunday = 1;
constexpr int kMonday = 2;
constexpr int kFriday = 6;
constexpr int kSaturday = 7;
constexpr int kFirstJuneteenth = 2021;

bool IsWorkday(int weekday) { return weekday >= kMonday && weekday <= kFriday; }

int WeekdayOf(int year, int month, int day) {
  return Date(static_cast<double>(DaysFromCivil(year, month, day))).Weekday();
}

// Day of the month of the first Monday, from the weekday of the first day (1 = Sunday).
int FirstMonday(int year, int month) {
  static constexpr int kDay[8] = {0, 2, 1, 7, 6, 5, 4, 3};
  return kDay[WeekdayOf(year, month, 1)];
}

int FirstThursday(int year, int month) {
  static constexpr int kDay[8] = {0, 5, 4, 3, 2, 1, 7, 6};
  return kDay[WeekdayOf(year, month, 1)];
}

// A holiday on a fixed day, observed on the Friday before when it falls on a Saturday and on
// the Monday after when it falls on a Sunday.
bool FixedHoliday(const YearMonthDay& x, int weekday, int month, int day) {
  if (x.month != month || !IsWorkday(weekday)) return false;
  if (x.day == day) return true;
  if (x.day == day - 1) return WeekdayOf(x.year, month, day) == kSaturday;
  if (x.day == day + 1) return WeekdayOf(x.year, month, day) == kSunday;
  return false;
}

bool NewYearsDay(const YearMonthDay& x, int weekday) {
  if (x.month == 1) {
    if (x.day == 1) return IsWorkday(weekday);
    if (x.day == 2) return IsWorkday(weekday) && WeekdayOf(x.year, 1, 1) == kSunday;
    return false;
  }
  // The next 1 January falls on a Saturday.
  return x.month == 12 && x.day == 31 && weekday == kFriday;
}

// Computed holidays compare the whole date value, so a time of day never matches.
bool SameDay(Date x, int year, int month, int day) {
  return x.serial() == static_cast<double>(DaysFromCivil(year, month, day));
}

}  // namespace

bool FederalHolidays(Date x, bool (&found)[kFederalHolidays]) {
  enum : int {
    kNewYear,
    kMartinLutherKing,
    kPresidents,
    kMemorial,
    kIndependence,
    kLabor,
    kColumbus,
    kVeterans,
    kThanksgiving,
    kChristmas,
    kJuneteenth
  };
  const YearMonthDay ymd = x.Ymd();
  const int w = x.Weekday();
  const int y = ymd.year;
  switch (ymd.month) {
    case 1:
      found[kNewYear] = NewYearsDay(ymd, w);
      found[kMartinLutherKing] = SameDay(x, y, 1, FirstMonday(y, 1) + 14);
      break;
    case 2: found[kPresidents] = SameDay(x, y, 2, FirstMonday(y, 2) + 14); break;
    case 5: {
      int day = FirstMonday(y, 5) + 28;
      if (day > 31) day -= 7;  // that Monday is in June: the last Monday of May is a week earlier
      found[kMemorial] = SameDay(x, y, 5, day);
      break;
    }
    case 6: found[kJuneteenth] = y >= kFirstJuneteenth && FixedHoliday(ymd, w, 6, 19); break;
    case 7: found[kIndependence] = FixedHoliday(ymd, w, 7, 4); break;
    case 9: found[kLabor] = SameDay(x, y, 9, FirstMonday(y, 9)); break;
    case 10: found[kColumbus] = SameDay(x, y, 10, FirstMonday(y, 10) + 7); break;
    case 11:
      found[kVeterans] = FixedHoliday(ymd, w, 11, 11);
      found[kThanksgiving] = SameDay(x, y, 11, FirstThursday(y, 11) + 21);
      break;
    case 12:
      found[kChristmas] = FixedHoliday(ymd, w, 12, 25);
      found[kNewYear] = NewYearsDay(ymd, w);
      break;
    default: return false;
  }
  for (const bool f : found) {
    if (f) return true;
  }
  return false;
}

void HolidayCalendar::Add(Date day, std::string_view name) {
  const Date whole(static_cast<double>(day.Day()));
  std::string label(TrimView(name));
  if (label.empty()) label = DateText(whole);
  auto [it, added] = nameIndex_.emplace(label, static_cast<int>(names_.size()));
  if (added) names_.push_back(label);
  days_.emplace(whole.Day(), it->second);
}

HolidayCalendar::Line HolidayCalendar::AddLine(std::string_view line, DateOrder order) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const std::string_view trimmed = TrimView(line);
  if (trimmed.empty() || trimmed.front() == '#') return Line::kNothing;
  const std::size_t tab = line.find('\t');
  const std::string_view dateText = line.substr(0, tab);
  const std::string_view name =
      tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
  const auto d = ParseDate(dateText, order);
  if (!d) return Line::kNotADate;
  Add(*d, name);
  return Line::kAdded;
}

int HolidayCalendar::Find(Date day) const {
  const auto it = days_.find(day.Day());
  return it == days_.end() ? -1 : it->second;
}

}  // namespace tarnwick
