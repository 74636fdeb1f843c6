#include "tarnwick/audit/ageing.h"

#include <cmath>
#include <string_view>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/holiday_calendar.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick {
namespace {

constexpr std::string_view kCountPattern = "###,###,###,###,##0";
constexpr std::string_view kAmountPattern = "#,###,###.#0";

constexpr std::string_view kDayNames[8] = {"",          "Sunday",   "Monday", "Tuesday",
                                           "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr std::string_view kHolidayLabels[11] = {
    "New Year's ",       "Martin Luther King ", "President's Day ", "Memorial Day ",
    "Independence Day ", "Labor Day ",          "Columbus Day ",    "Veterans Day ",
    "Thanksgiving ",     "Christmas ",          "Juneteenth "};
// The holidays in the order of the year, as the report lists them.
constexpr int kReportOrder[11] = {0, 1, 2, 3, 10, 4, 5, 6, 7, 8, 9};

// Serials of 1 January 100 and 31 December 9999: the calendar's range.
constexpr double kFirstSerial = -657434.0;
constexpr double kLastSerial = 2958465.0;

}  // namespace

cAge::cAge() { init(); }

Variant cAge::init() {
  bands_.fill(Currency{});
  weekdays_.fill(0);
  holidays_.fill(0);
  calendarCounts_.assign(calendarCounts_.size(), 0);
  return Variant{};
}

void cAge::Holidays(const HolidayCalendar* calendar) {
  calendar_ = calendar;
  holidays_.fill(0);
  calendarCounts_.assign(calendar ? calendar->Names().size() : 0, 0);
}

std::int32_t cAge::HolCount(std::int16_t i) const {
  if (calendar_) {
    return i >= 0 && static_cast<std::size_t>(i) < calendarCounts_.size()
               ? calendarCounts_[static_cast<std::size_t>(i)]
               : 0;
  }
  if (i < 0) i = 0;
  if (i > 10) i = 10;
  return holidays_[static_cast<std::size_t>(i)];
}

std::int32_t cAge::WDCount(std::int16_t i) const {
  if (i < 1) i = 1;
  if (i > 7) i = 7;
  return weekdays_[static_cast<std::size_t>(i)];
}

Currency cAge::Bucket(std::int16_t& i) const {
  if (i < 1) i = 0;
  if (i > kBands - 1) i = kBands - 1;
  return bands_[static_cast<std::size_t>(i)];
}

Variant cAge::AgeingDate(const std::string& sDate) {
  const std::optional<Date> d = ParseDate(sDate);
  if (!d) Raise(ErrorCode::TypeMismatch, "ageing date is not a date: " + sDate);
  ageingDate_ = *d;
  return Variant{};
}

Variant cAge::SetAgeWidth(std::int16_t& i) {
  if (i < 1) i = 1;
  if (i > 365) i = 365;
  width_ = i;
  return Variant{};
}

int cAge::BandOf(Date d) const {
  const double days = RoundHalfEven(Checked(d - ageingDate_));
  const double band = kCentreBand + std::floor(days / width_);
  if (band < 0) return 0;
  if (band > kBands - 1) return kBands - 1;
  return static_cast<int>(band);
}

Variant cAge::AddItem(Date d, double amt) {
  const int band = BandOf(d);
  const Currency sum = bands_[static_cast<std::size_t>(band)] + Currency::FromDouble(amt);
  const int wd = d.Weekday();
  const std::int32_t count = AddChecked(weekdays_[static_cast<std::size_t>(wd)], 1);
  bands_[static_cast<std::size_t>(band)] = sum;
  weekdays_[static_cast<std::size_t>(wd)] = count;
  return Variant{};
}

void cAge::BandDates(int i, Date& start, Date& end) const {
  const double offset = (i >= 0 && i < kBands) ? double(i - kCentreBand) * width_ : 0.0;
  start = ageingDate_ + offset;
  end = start + width_;
  if (start.serial() < kFirstSerial || end.serial() > kLastSerial) Raise(ErrorCode::Overflow);
}

std::string cAge::AgeReport() const {
  std::string out;
  out.reserve(2048);
  out += "Ageing Report as of ";
  out += kTab;
  out += DateText(ageingDate_);
  out += kCrLf;
  out += "Start\tEnd\tAmount";
  out += kCrLf;
  Currency total{};
  for (int i = 0; i < kBands; ++i) {
    const Currency amount = bands_[static_cast<std::size_t>(i)];
    total += amount;
    if (amount == Currency{}) continue;
    Date start, end;
    BandDates(i, start, end);
    out += DateText(start);
    out += kTab;
    out += DateText(end);
    out += kTab;
    AppendNumber(out, amount, kAmountPattern);
    out += kCrLf;
  }
  out += "Totals\t\t";
  AppendNumber(out, total, kAmountPattern);
  out += kCrLf;
  return out;
}

std::string cAge::BucketDates(std::int16_t i) const {
  try {
    Date start, end;
    BandDates(i, start, end);
    return " Start: " + DateText(start) + " end: " + DateText(end);
  } catch (const EngineError&) {
    Notify("error occurred");
    return std::string();
  }
}

std::string cAge::WDReport() const {
  bool any = false;
  for (int i = 1; i <= 7; ++i) any = any || weekdays_[static_cast<std::size_t>(i)] != 0;
  if (!any) return "No days identified";
  std::string out = "Weekday analysis: ";
  out += kCrLf;
  for (int i = 1; i <= 7; ++i) {
    const std::int32_t n = weekdays_[static_cast<std::size_t>(i)];
    if (n <= 0) continue;
    out += kDayNames[i];
    out += ": ";
    out += kTab;
    out += FormatNumber(n, kCountPattern);
    out += kCrLf;
  }
  return out;
}

std::string cAge::HolReport() const {
  std::int64_t sum = 0;
  for (const std::int32_t n : holidays_) sum += n;
  for (const std::int32_t n : calendarCounts_) sum += n;
  if (sum == 0) return "No holidays identified";
  std::string out = "Holidays: ";
  out += kCrLf;
  auto line = [&](std::string_view label, std::int32_t n) {
    if (n <= 0) return;
    out += label;
    out += kTab;
    out += FormatNumber(n, kCountPattern);
    out += kCrLf;
  };
  if (calendar_) {
    for (std::size_t i = 0; i < calendarCounts_.size(); ++i)
      line(calendar_->Names()[i], calendarCounts_[i]);
    return out;
  }
  for (const int i : kReportOrder) line(kHolidayLabels[i], holidays_[static_cast<std::size_t>(i)]);
  return out;
}

bool cAge::IsHoliday(const std::string& sText) {
  if (sText.size() < 5) return false;
  const std::optional<Date> parsed = ParseDate(sText);
  if (!parsed) return false;
  return IsHolidayDate(*parsed);
}

bool cAge::IsHolidayDate(Date x) {
  if (calendar_) {
    const int i = calendar_->Find(x);
    if (i < 0) return false;
    std::int32_t& n = calendarCounts_[static_cast<std::size_t>(i)];
    n = AddChecked(n, 1);
    return true;
  }
  bool found[kFederalHolidays] = {};
  if (!FederalHolidays(x, found)) return false;
  static_assert(kFederalHolidays == 11 && kJuneteenth == 10, "cAge counts the calendar's holidays");

  // Count only after every rule is known so that an overflow leaves the counts as they were.
  std::array<std::int32_t, 11> counts = holidays_;
  bool any = false;
  for (int i = 0; i < 11; ++i) {
    if (!found[i]) continue;
    counts[static_cast<std::size_t>(i)] = AddChecked(counts[static_cast<std::size_t>(i)], 1);
    any = true;
  }
  holidays_ = counts;
  return any;
}

}  // namespace tarnwick
