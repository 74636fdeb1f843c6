#pragma once
// Date: the host's serial day number. Day 0 is 30 December 1899; the fraction is the time of day.
// Calendar is proleptic Gregorian, so 1 January 1900 is 2,
// 28 February 1900 is 60 and 1 March 1900 is 61 (no 29 February 1900).

#include <compare>
#include <cstdint>
#include <optional>

namespace tarnwick {

struct YearMonthDay {
  int year = 1899;
  int month = 12;
  int day = 30;
  friend bool operator==(const YearMonthDay&, const YearMonthDay&) = default;
};

class Date {
 public:
  constexpr Date() = default;
  constexpr explicit Date(double serial) : serial_(serial) {}

  // A valid calendar day (year 100..9999); otherwise std::nullopt.
  static std::optional<Date> FromYmd(int year, int month, int day);
  // Like the host's DateSerial: months and days outside their range roll over
  // (month 13 is January of the next year, day 0 the last day of the previous month).
  static Date Serial(int year, int month, int day);

  constexpr double serial() const { return serial_; }
  // The whole day number (time of day dropped toward day 0 as the host does).
  std::int32_t Day() const;
  YearMonthDay Ymd() const;
  int year() const { return Ymd().year; }
  int month() const { return Ymd().month; }
  int day() const { return Ymd().day; }
  // 1 = Sunday ... 7 = Saturday.
  int Weekday() const;
  // Seconds since midnight of the time-of-day fraction.
  int SecondsOfDay() const;

  constexpr double operator-(const Date& o) const { return serial_ - o.serial_; }
  constexpr Date operator+(double days) const { return Date(serial_ + days); }
  constexpr Date operator-(double days) const { return Date(serial_ - days); }
  constexpr auto operator<=>(const Date&) const = default;

 private:
  double serial_ = 0.0;
};

// Days from 30 December 1899 to the given civil date (any year, proleptic Gregorian).
std::int64_t DaysFromCivil(int year, int month, int day);
YearMonthDay CivilFromDays(std::int64_t days);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

}  // namespace tarnwick
