#include "tarnwick/audit/mus_reconciliation.h"

#include <cstdlib>
#include <string_view>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/platform/random.h"

namespace tarnwick {
namespace {

constexpr std::string_view kCountPattern = "#,###,##0";
constexpr std::string_view kMoneyPattern = "#,###,###,###.00";

// raw / divisor rounded to the nearest whole number, halves to even.
std::int64_t DivideHalfEven(std::int64_t raw, std::int64_t divisor) {
  std::int64_t q = raw / divisor;
  const std::int64_t rem = raw % divisor;
  const std::int64_t twice = 2 * std::llabs(rem);
  if (twice > divisor || (twice == divisor && q % 2 != 0)) q += raw < 0 ? -1 : 1;
  return q;
}

Currency CountAmount(std::int32_t n) {
  return Currency::FromRaw(std::int64_t{n} * Currency::kScale);
}

void Line(std::string& out, std::string_view label) {
  out += label;
  out += kCrLf;
}

void Line(std::string& out, std::string_view label, Currency value, std::string_view pattern) {
  out += label;
  out += kTab;
  AppendNumber(out, value, pattern);
  out += kCrLf;
}

void Line(std::string& out, std::string_view label, std::int32_t value) {
  out += label;
  out += kTab;
  out += FormatNumber(value, kCountPattern);
  out += kCrLf;
}

}  // namespace

cCMA::cCMA() { RandomStart(); }

Currency cCMA::selunderJ() const { return CountAmount(selUnder_); }
Currency cCMA::seloverJ() const { return CountAmount(selOver_); }

void cCMA::SetInterval() { intvl_ = Currency::FromRaw(DivideHalfEven(j_.raw(), r_)); }

void cCMA::RandomStart() {
  position_ = Currency::FromDouble(-(intvl_.ToDouble() * Rnd()));
  rnstart_ = position_;
}

void cCMA::r(std::int16_t value) {
  r_ = (value == 2 || value == 3) ? value : std::int16_t{1};
  SetInterval();
}

void cCMA::j(Currency value) {
  j_ = value < Currency(100.0) ? Currency(100.0) : value;
  SetInterval();
}

void cCMA::rn(Currency value) {
  // Whole units, halves to even.
  std::int64_t units = DivideHalfEven(value.raw(), Currency::kScale);
  if (units > 0) units = -units;
  const Currency start = Currency::FromRaw(MulChecked<std::int64_t>(units, Currency::kScale));
  if (start < -intvl_) {
    RandomStart();
    return;
  }
  position_ = start;
  rnstart_ = start;
}

bool cCMA::AddItem(double d) {
  const Currency amount = Currency::FromDouble(d);
  // Work on copies so that an overflow leaves every total as it was.
  if (d < 0) {
    const Currency pop = popCr_ + amount;
    numCr_ = AddChecked(numCr_, 1);
    popCr_ = pop;
    return false;
  }
  const Currency pop = popDr_ + amount;
  const std::int32_t num = AddChecked(numDr_, 1);
  if (!(d > 0)) {
    popDr_ = pop;
    numDr_ = num;
    return false;
  }
  Currency position = position_ + amount;
  const bool selected = position > Currency{};
  if (selected) {
    if (amount > intvl_) {
      // An item larger than the interval is always taken and does not move the selection points.
      const std::int32_t n = AddChecked(selOver_, 1);
      const Currency total = selamtOver_ + amount;
      position -= amount;
      selOver_ = n;
      selamtOver_ = total;
    } else {
      const std::int32_t n = AddChecked(selUnder_, 1);
      const Currency total = selamtUnder_ + amount;
      position -= intvl_;
      selUnder_ = n;
      selamtUnder_ = total;
    }
  }
  popDr_ = pop;
  numDr_ = num;
  position_ = position;
  return selected;
}

std::string cCMA::CMASampRec() const {
  const Currency under_times_interval = CountAmount(selUnder_) * intvl_;
  const Currency subtotal = rnstart_ - selamtOver_ - under_times_interval + popDr_;
  std::string out;
  out.reserve(640);
  Line(out, "Sample reconciliation report");
  Line(out, "J", j_, kCountPattern);
  out += "R";
  out += kTab;
  out += NumText(static_cast<std::int32_t>(r_));
  out += kCrLf;
  Line(out, "RN start", rnstart_, kCountPattern);
  Line(out, "Interval", intvl_, kCountPattern);
  Line(out, "Population DR", popDr_, kMoneyPattern);
  Line(out, "Population CR", popCr_, kMoneyPattern);
  Line(out, "Number of debits", numDr_);
  Line(out, "Number of credits", numCr_);
  Line(out, "Number of selections under J", selUnder_);
  Line(out, "Number of selections over J", selOver_);
  Line(out, "Amount of selections under J", selamtUnder_, kMoneyPattern);
  Line(out, "Amount of selections over J", selamtOver_, kMoneyPattern);
  Line(out, "ending rse", position_, kMoneyPattern);
  Line(out, "Reconciliation");
  Line(out, "Rn Start", rnstart_, kCountPattern);
  Line(out, "Selected Amount over J", -selamtOver_, kMoneyPattern);
  Line(out, "Number under j times interval", -under_times_interval, kMoneyPattern);
  Line(out, "Population debits", popDr_, kMoneyPattern);
  Line(out, "Subtotal ", subtotal, kMoneyPattern);
  Line(out, "Ending rn", position_, kMoneyPattern);
  Line(out, "Difference (s/b 0)", subtotal - position_, kMoneyPattern);
  return out;
}

}  // namespace tarnwick
