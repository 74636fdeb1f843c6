#pragma once
// cAge: ageing of dated amounts into 81 bands around an ageing date, weekday counts, and the
// observed United States federal holidays (with the weekend shift of fixed-date holidays), or
// the days of a holiday calendar of the caller's (HolidayCalendar) in their place.
// The expression evaluator uses IsHoliday for its holiday function.
//
// Juneteenth (19 June, shifted off weekends like the other fixed-date holidays) is a federal
// holiday from 2021 on. It is counted at index 10 (kJuneteenth), so that the ten holidays of
// earlier years keep their indexes, and listed after Memorial Day in the holiday report.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/holiday_calendar.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {

class cAge {
 public:
  static constexpr int kBands = 81;
  static constexpr int kCentreBand = 40;
  // Holiday indexes as HolCount numbers them.
  enum Holiday : int {
    kNewYear = 0,
    kMartinLutherKing = 1,
    kPresidents = 2,
    kMemorial = 3,
    kIndependence = 4,
    kLabor = 5,
    kColumbus = 6,
    kVeterans = 7,
    kThanksgiving = 8,
    kChristmas = 9,
    kJuneteenth = 10,  // from 2021 on
  };

  cAge();

  std::string HolReport() const;
  std::string WDReport() const;
  // Index below 0 reads 0, above 10 reads 10. With a calendar of the caller's: the count of
  // its i-th name (Names() order), 0 outside.
  std::int32_t HolCount(std::int16_t i) const;
  // Index below 1 reads 1, above 7 reads 7.
  std::int32_t WDCount(std::int16_t i) const;
  // Clears band amounts, weekday and holiday counts; keeps the ageing date and width.
  Variant init();
  // Amount of band i; the index is limited to 0..80 and written back.
  Currency Bucket(std::int16_t& i) const;
  // Reads month/day/year text; text that is not a date is the type-mismatch error.
  Variant AgeingDate(const std::string& sDate);
  // Width in days, limited to 1..365 and written back.
  Variant SetAgeWidth(std::int16_t& i);
  Variant AddItem(Date d, double amt);
  std::string AgeReport() const;
  // " Start: <date> end: <date>" of band i; on failure a notice and an empty text.
  std::string BucketDates(std::int16_t i) const;
  // True when the text is a date that is an observed federal holiday; counts the holiday.
  bool IsHoliday(const std::string& sText);
  // IsHoliday of a date already read (text of at least five characters).
  bool IsHolidayDate(Date x);
  // Replaces the federal holidays by the days of `calendar` (nullptr: back to the federal
  // holidays); the holiday counts start again. The calendar must outlive its use here.
  void Holidays(const HolidayCalendar* calendar);

  // The band (0..80) a date falls in for the current ageing date and width.
  int BandOf(Date d) const;

 private:
  // Start and end (first day of the next band) of band i; a date outside the calendar range
  // is the overflow error.
  void BandDates(int i, Date& start, Date& end) const;

  Date ageingDate_{};
  std::int16_t width_ = 30;
  std::array<Currency, kBands> bands_{};
  std::array<std::int32_t, 8> weekdays_{};   // 1..7 used, 1 = Sunday
  std::array<std::int32_t, 11> holidays_{};  // 0..10 used
  const HolidayCalendar* calendar_ = nullptr;
  std::vector<std::int32_t> calendarCounts_;  // per name of calendar_
};

}  // namespace tarnwick
