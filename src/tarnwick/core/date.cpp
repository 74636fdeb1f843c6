#include "tarnwick/core/date.h"

#include <cmath>

namespace tarnwick {

namespace {
// 1970-01-01 is day 25569 of the host's calendar.
constexpr std::int64_t kUnixEpochSerial = 25569;
}  // namespace

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && IsLeapYear(y)) return 29;
  return kDays[(m - 1) % 12];
}

// Civil-date conversions after H. Hinnant's public-domain algorithms.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + kUnixEpochSerial;
}

YearMonthDay CivilFromDays(std::int64_t serial) {
  const std::int64_t z = serial - kUnixEpochSerial + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::optional<Date> Date::FromYmd(int year, int month, int day) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return std::nullopt;
  return Date(static_cast<double>(DaysFromCivil(year, month, day)));
}

Date Date::Serial(int year, int month, int day) {
  // Normalise the month into 1..12, carrying whole years; the day rolls over freely.
  int m0 = month - 1;
  int y = year + (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12));
  m0 = ((m0 % 12) + 12) % 12;
  return Date(static_cast<double>(DaysFromCivil(y, m0 + 1, 1) + (day - 1)));
}

std::int32_t Date::Day() const { return static_cast<std::int32_t>(std::trunc(serial_)); }

YearMonthDay Date::Ymd() const { return CivilFromDays(Day()); }

int Date::Weekday() const {
  // Day 0 (30 December 1899) was a Saturday.
  const std::int64_t d = Day();
  return static_cast<int>(((d + 6) % 7 + 7) % 7) + 1;
}

int Date::SecondsOfDay() const {
  const double frac = std::fabs(serial_ - std::trunc(serial_));
  return static_cast<int>(std::lround(frac * 86400.0)) % 86400;
}

}  // namespace tarnwick
