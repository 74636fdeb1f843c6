#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tarnwick/audit/ageing.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick {
namespace {

Date D(int y, int m, int d) { return *Date::FromYmd(y, m, d); }

Currency BandAmount(const cAge& age, int band) {
  std::int16_t i = static_cast<std::int16_t>(band);
  return age.Bucket(i);
}

TEST(AgeingBands, DaysFloorTowardMinusInfinityAndOpenEnds) {
  struct Case {
    int days;
    int width;
    int band;
  };
  const Case cases[] = {
      {0, 30, 40},     {29, 30, 40},    {30, 30, 41},   {59, 30, 41},   {-1, 30, 39},
      {-30, 30, 39},   {-31, 30, 38},   {-60, 30, 38},  {-61, 30, 37},  {1199, 30, 79},
      {1200, 30, 80},  {50000, 30, 80}, {-1170, 30, 1}, {-1171, 30, 0}, {-50000, 30, 0},
      {-1, 1, 39},     {-40, 1, 0},     {-39, 1, 1},    {40, 1, 80},    {364, 365, 40},
      {-365, 365, 39}, {-366, 365, 38},
  };
  const Date ageing = D(2007, 12, 31);
  for (const Case& c : cases) {
    cAge age;
    age.AgeingDate("12/31/2007");
    std::int16_t w = static_cast<std::int16_t>(c.width);
    age.SetAgeWidth(w);
    age.AddItem(ageing + c.days, 12.5);
    for (int b = 0; b < cAge::kBands; ++b)
      EXPECT_EQ(BandAmount(age, b), Currency(b == c.band ? 12.5 : 0.0))
          << "days " << c.days << " width " << c.width << " band " << b;
  }
}

TEST(AgeingBands, DayDifferenceRoundsHalvesToEven) {
  cAge age;
  age.AgeingDate("12/31/2007");
  const Date ageing = D(2007, 12, 31);
  age.AddItem(ageing - 0.5, 1);   // rounds to 0 days: band 40
  age.AddItem(ageing - 1.5, 2);   // rounds to -2 days: band 39
  age.AddItem(ageing + 29.5, 4);  // rounds to 30 days: band 41
  EXPECT_EQ(BandAmount(age, 40), Currency(1.0));
  EXPECT_EQ(BandAmount(age, 39), Currency(2.0));
  EXPECT_EQ(BandAmount(age, 41), Currency(4.0));
}

TEST(AgeingBands, LimitsAreWrittenBack) {
  cAge age;
  struct Case {
    std::int16_t in, out;
  };
  for (Case c : {Case{0, 1}, Case{-5, 1}, Case{1, 1}, Case{365, 365}, Case{400, 365}}) {
    std::int16_t w = c.in;
    age.SetAgeWidth(w);
    EXPECT_EQ(w, c.out);
  }
  for (Case c : {Case{-3, 0}, Case{0, 0}, Case{1, 1}, Case{80, 80}, Case{81, 80}}) {
    std::int16_t i = c.in;
    age.Bucket(i);
    EXPECT_EQ(i, c.out);
  }
  // The counts clamp their own copy only.
  age.AddItem(D(2007, 12, 30), 1);  // a Sunday
  age.AddItem(D(2007, 12, 29), 1);  // a Saturday
  EXPECT_EQ(age.WDCount(-4), 1);
  EXPECT_EQ(age.WDCount(9), 1);
  EXPECT_EQ(age.WDCount(2), 0);
  age.IsHoliday("1/1/2007");
  EXPECT_EQ(age.HolCount(-1), 1);
  EXPECT_EQ(age.HolCount(10), 0);
  EXPECT_EQ(age.HolCount(25), 0);
}

TEST(AgeingReport, ListsNonZeroBandsAndTotal) {
  cAge age;
  age.AgeingDate("12/31/2007");
  const Date ageing = D(2007, 12, 31);
  age.AddItem(ageing, 1234567.891);
  age.AddItem(ageing - 30, 10);
  age.AddItem(ageing - 31, 5.5);
  age.AddItem(ageing + 45, 100);  // cancels out: omitted
  age.AddItem(ageing + 46, -100);
  EXPECT_EQ(age.AgeReport(),
            "Ageing Report as of \t12/31/2007\r\n"
            "Start\tEnd\tAmount\r\n"
            "11/1/2007\t12/1/2007\t5.50\r\n"
            "12/1/2007\t12/31/2007\t10.00\r\n"
            "12/31/2007\t1/30/2008\t1,234,567.89\r\n"
            "Totals\t\t1,234,583.39\r\n");
  EXPECT_EQ(age.BucketDates(41), " Start: 1/30/2008 end: 2/29/2008");
  EXPECT_EQ(age.BucketDates(81), " Start: 12/31/2007 end: 1/30/2008");
  EXPECT_EQ(age.BucketDates(-1), " Start: 12/31/2007 end: 1/30/2008");

  // Width and ageing date changes move the report but not the amounts already added.
  std::int16_t w = 7;
  age.SetAgeWidth(w);
  age.AgeingDate("1/7/2008");
  EXPECT_EQ(age.BucketDates(39), " Start: 12/31/2007 end: 1/7/2008");
  EXPECT_EQ(BandAmount(age, 38), Currency(5.5));

  age.init();
  EXPECT_EQ(age.AgeReport(),
            "Ageing Report as of \t1/7/2008\r\nStart\tEnd\tAmount\r\nTotals\t\t.00\r\n");
  EXPECT_EQ(age.BucketDates(40), " Start: 1/7/2008 end: 1/14/2008");
}

TEST(AgeingReport, BadInputAndOverflowLeaveTheStateAlone) {
  cAge age;
  age.AgeingDate("3/15/2010");
  try {
    age.AgeingDate("not a date");
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::TypeMismatch);
  }
  EXPECT_EQ(age.BucketDates(40), " Start: 3/15/2010 end: 4/14/2010");

  age.AddItem(D(2010, 3, 15), 900e12);
  try {
    age.AddItem(D(2010, 3, 16), 100e12);
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
  EXPECT_EQ(BandAmount(age, 40), Currency(900e12));
  EXPECT_EQ(age.WDCount(2), 1);  // only the first item (a Monday) was counted
  EXPECT_EQ(age.WDCount(3), 0);

  // A band whose dates leave the calendar cannot be shown: a notice and an empty text.
  age.AgeingDate("12/1/9999");
  NoticeCapture notices;
  EXPECT_EQ(age.BucketDates(41), "");
  ASSERT_EQ(notices.texts().size(), 1u);
  EXPECT_EQ(notices.texts()[0], "error occurred");
}

TEST(WeekdayReport, NamesDaysWithCounts) {
  cAge age;
  EXPECT_EQ(age.WDReport(), "No days identified");
  age.AgeingDate("1/1/2008");
  for (int k = 0; k < 1500; ++k) age.AddItem(D(2008, 1, 7), 1);  // Monday
  age.AddItem(D(2008, 1, 12), 1);                                // Saturday
  age.AddItem(D(2008, 1, 13), 1);                                // Sunday
  EXPECT_EQ(age.WDReport(),
            "Weekday analysis: \r\n"
            "Sunday: \t1\r\n"
            "Monday: \t1,500\r\n"
            "Saturday: \t1\r\n");
  age.init();
  EXPECT_EQ(age.WDReport(), "No days identified");
}

TEST(Holidays, ExamplesAndReport) {
  struct Case {
    const char* text;
    bool holiday;
    int index;  // counted holiday, -1 for none
  };
  const Case cases[] = {
      {"7/4/2009", false, -1},
      {"7/3/2009", true, cAge::kIndependence},
      {"7/5/2010", true, cAge::kIndependence},
      {"12/31/2010", true, cAge::kNewYear},
      {"1/1/2011", false, -1},
      {"5/28/2007", true, cAge::kMemorial},
      {"5/21/2007", false, -1},
      {"11/22/2007", true, cAge::kThanksgiving},
      {"1/2/2012", true, cAge::kNewYear},  // 1 January 2012 was a Sunday
      {"1/2/2013", false, -1},
      {"12/24/2010", true, cAge::kChristmas},
      {"12/26/2011", true, cAge::kChristmas},
      {"11/10/2017", true, cAge::kVeterans},
      {"11/12/2018", true, cAge::kVeterans},
      {"1/15/2007", true, cAge::kMartinLutherKing},
      {"2/19/2007", true, cAge::kPresidents},
      {"9/3/2007", true, cAge::kLabor},
      {"10/8/2007", true, cAge::kColumbus},
      {"5/31/2010", true, cAge::kMemorial},  // first Monday + 28 days is still in May
      {"5/24/2010", false, -1},
      {"3/17/2007", false, -1},  // a month without holidays
      {"1/1", false, -1},
      {"7/4/", false, -1},
      {"abcdefgh", false, -1},
      {"", false, -1},
      {"13/45/2007", false, -1},
      {"9/7/2009 10:00", false, -1},  // computed holidays compare the whole date
      {"7/3/2009 10:00", true, cAge::kIndependence},
      {" 7/3/2009 ", true, cAge::kIndependence},
  };
  for (const Case& c : cases) {
    cAge age;
    EXPECT_EQ(age.IsHoliday(c.text), c.holiday) << c.text;
    for (std::int16_t h = 0; h <= 10; ++h)
      EXPECT_EQ(age.HolCount(h), h == c.index ? 1 : 0) << c.text << " holiday " << h;
  }

  cAge age;
  EXPECT_EQ(age.HolReport(), "No holidays identified");
  age.IsHoliday("12/25/2007");
  age.IsHoliday("12/25/2008");
  age.IsHoliday("1/1/2008");
  age.IsHoliday("11/22/2007");
  age.IsHoliday("2/29/2008");
  EXPECT_EQ(age.HolReport(),
            "Holidays: \r\n"
            "New Year's \t1\r\n"
            "Thanksgiving \t1\r\n"
            "Christmas \t2\r\n");
}

// Observed dates worked out independently: the n-th weekday of a month found by walking its
// days, fixed-date holidays shifted off weekends.
Date NthWeekday(int y, int m, int weekday, int n) {
  int seen = 0;
  for (int d = 1;; ++d) {
    const Date x = D(y, m, d);
    if (x.Weekday() == weekday && ++seen == n) return x;
  }
}

Date LastWeekday(int y, int m, int weekday) {
  for (int d = DaysInMonth(y, m);; --d) {
    const Date x = D(y, m, d);
    if (x.Weekday() == weekday) return x;
  }
}

Date Observed(Date x) {
  if (x.Weekday() == 7) return x - 1;
  if (x.Weekday() == 1) return x + 1;
  return x;
}

Date ExpectedHoliday(int h, int y) {
  switch (h) {
    case cAge::kNewYear: return Observed(D(y, 1, 1));
    case cAge::kMartinLutherKing: return NthWeekday(y, 1, 2, 3);
    case cAge::kPresidents: return NthWeekday(y, 2, 2, 3);
    case cAge::kMemorial: return LastWeekday(y, 5, 2);
    case cAge::kIndependence: return Observed(D(y, 7, 4));
    case cAge::kLabor: return NthWeekday(y, 9, 2, 1);
    case cAge::kColumbus: return NthWeekday(y, 10, 2, 2);
    case cAge::kVeterans: return Observed(D(y, 11, 11));
    case cAge::kThanksgiving: return NthWeekday(y, 11, 5, 4);
    case cAge::kJuneteenth: return Observed(D(y, 6, 19));
    default: return Observed(D(y, 12, 25));
  }
}

TEST(Holidays, EachYearHasExactlyTheObservedDate) {
  constexpr int kFirst = 1950, kLast = 2100;
  // accepted[h][holiday year] = the dates accepted for that holiday's observance; Juneteenth
  // (index 10) is a federal holiday from 2021 on.
  constexpr int kHolidays = 11;
  std::map<int, std::vector<double>> accepted[kHolidays];
  cAge age;
  for (Date x = D(kFirst, 1, 1); x <= D(kLast, 12, 31); x = x + 1) {
    std::array<std::int32_t, kHolidays> before{};
    for (int h = 0; h < kHolidays; ++h) before[h] = age.HolCount(static_cast<std::int16_t>(h));
    const bool result = age.IsHoliday(DateText(x));
    bool counted = false;
    for (int h = 0; h < kHolidays; ++h) {
      const int rise = age.HolCount(static_cast<std::int16_t>(h)) - before[h];
      ASSERT_GE(rise, 0);
      ASSERT_LE(rise, 1);
      if (rise == 0) continue;
      counted = true;
      // A Friday 31 December is the observance of the next year's New Year's Day.
      const int year = (h == cAge::kNewYear && x.month() == 12) ? x.year() + 1 : x.year();
      accepted[h][year].push_back(x.serial());
    }
    ASSERT_EQ(result, counted) << DateText(x);
  }
  int friday_new_years = 0;
  for (int h = 0; h < kHolidays; ++h) {
    for (int y = kFirst; y <= kLast; ++y) {
      if (h == cAge::kJuneteenth && y < 2021) {
        EXPECT_EQ(accepted[h].count(y), 0u) << "Juneteenth before 2021: " << y;
        continue;
      }
      const Date want = ExpectedHoliday(h, y);
      if (want.year() < kFirst) continue;  // observed on 31 December 1949
      ASSERT_EQ(accepted[h][y].size(), 1u) << "holiday " << h << " year " << y;
      EXPECT_EQ(accepted[h][y][0], want.serial())
          << "holiday " << h << " year " << y << ": " << DateText(Date(accepted[h][y][0]));
      if (h == cAge::kNewYear && want.month() == 12) ++friday_new_years;
    }
    // No acceptance is attributed to a year outside the range except the 2101 New Year's Day
    // observed on Friday 31 December 2100.
    for (const auto& [year, dates] : accepted[h])
      EXPECT_TRUE(year >= kFirst && (year <= kLast || (h == cAge::kNewYear && year == kLast + 1)))
          << "holiday " << h << " year " << year;
  }
  EXPECT_GT(friday_new_years, 10);
}

// Juneteenth from 2021 on, observed by the weekend rule; listed after Memorial Day.
TEST(Holidays, JuneteenthFrom2021) {
  const struct {
    const char* text;
    bool holiday;
  } cases[] = {
      {"6/18/2021", true},                        // 19 June 2021 was a Saturday
      {"6/19/2021", false}, {"6/20/2022", true},  // 19 June 2022 was a Sunday
      {"6/19/2022", false}, {"6/19/2023", true},  {"6/18/2027", true},  // a Saturday in 2027
      {"6/19/2027", false}, {"6/19/2020", false}, {"6/19/2019", false}, {"6/18/2020", false},
  };
  for (const auto& c : cases) {
    cAge age;
    EXPECT_EQ(age.IsHoliday(c.text), c.holiday) << c.text;
    EXPECT_EQ(age.HolCount(cAge::kJuneteenth), c.holiday ? 1 : 0) << c.text;
  }
  cAge age;
  for (const char* t : {"7/4/2023", "6/19/2023", "5/29/2023", "6/20/2022"}) age.IsHoliday(t);
  EXPECT_EQ(age.HolReport(),
            "Holidays: \r\n"
            "Memorial Day \t1\r\n"
            "Juneteenth \t2\r\n"
            "Independence Day \t1\r\n");
}

// A calendar of the client's own replaces the federal holidays, by name in file order.
TEST(Holidays, CalendarOfTheClientsOwn) {
  HolidayCalendar cal;
  EXPECT_EQ(cal.AddLine("# Canada 2023", DateOrder::kDmy), HolidayCalendar::Line::kNothing);
  EXPECT_EQ(cal.AddLine("   ", DateOrder::kDmy), HolidayCalendar::Line::kNothing);
  EXPECT_EQ(cal.AddLine("1/7/2023\tCanada Day", DateOrder::kDmy), HolidayCalendar::Line::kAdded);
  EXPECT_EQ(cal.AddLine("25/12/2023\tChristmas\r", DateOrder::kDmy), HolidayCalendar::Line::kAdded);
  EXPECT_EQ(cal.AddLine("2024-12-25\t Christmas ", DateOrder::kDmy), HolidayCalendar::Line::kAdded);
  EXPECT_EQ(cal.AddLine("26/12/2023", DateOrder::kDmy), HolidayCalendar::Line::kAdded);
  EXPECT_EQ(cal.AddLine("12/31/2023\tNew Year's Eve", DateOrder::kDmy),
            HolidayCalendar::Line::kNotADate);
  ASSERT_EQ(cal.Names(), (std::vector<std::string>{"Canada Day", "Christmas", "12/26/2023"}));
  EXPECT_EQ(cal.Days(), 4u);

  cAge age;
  age.Holidays(&cal);
  EXPECT_FALSE(age.IsHoliday("7/4/2023"));         // no longer a holiday
  EXPECT_TRUE(age.IsHoliday("7/1/2023"));          // a Saturday, and still the client's holiday
  EXPECT_TRUE(age.IsHoliday("12/25/2023 10:30"));  // the time of day is ignored
  EXPECT_TRUE(age.IsHoliday("12/25/2024"));
  EXPECT_TRUE(age.IsHoliday("12/26/2023"));
  EXPECT_FALSE(age.IsHoliday("12/25/2022"));
  EXPECT_EQ(age.HolCount(0), 1);
  EXPECT_EQ(age.HolCount(1), 2);
  EXPECT_EQ(age.HolCount(3), 0);
  EXPECT_EQ(age.HolReport(), "Holidays: \r\nCanada Day\t1\r\nChristmas\t2\r\n12/26/2023\t1\r\n");
  age.init();
  EXPECT_EQ(age.HolReport(), "No holidays identified");
  age.Holidays(nullptr);  // back to the federal holidays
  EXPECT_TRUE(age.IsHoliday("7/4/2023"));
  EXPECT_EQ(age.HolCount(cAge::kIndependence), 1);
}

}  // namespace
}  // namespace tarnwick
