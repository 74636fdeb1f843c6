#include "tarnwick/audit/two_period.h"

#include <cmath>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/error.h"

namespace tarnwick {

std::size_t cKS::Slot(std::int16_t i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= acct_.size()) Raise(ErrorCode::SubscriptOutOfRange);
  return static_cast<std::size_t>(i);
}

void cKS::Setup(std::int16_t iCt, double p1total, double p2total) {
  // Slots 0..iCt: a negative count leaves no valid range.
  if (iCt < 0) Raise(ErrorCode::SubscriptOutOfRange);
  acct_.assign(static_cast<std::size_t>(iCt) + 1, Account{});
  count_ = iCt;
  total1_ = p1total;
  total2_ = p2total;
  acctName_.clear();
  period1_ = 0.0;
  period2_ = 0.0;
  cumamt1_ = 0.0;
  cumamt2_ = 0.0;
  dstat_ = 0.0;
  exceptIndex_ = 0;
  next_ = 0;
}

Variant cKS::AddItem(std::string_view Acct, double val1, double val2) {
  if (total1_ == 0.0 || total2_ == 0.0) return Variant{};
  if (next_ > 32767) Raise(ErrorCode::Overflow);
  const auto k = static_cast<std::int16_t>(next_);
  Account& a = acct_[Slot(k)];
  const double c1 = Checked(cumamt1_ + val1);
  const double c2 = Checked(cumamt2_ + val2);
  const double p1 = Div(c1, total1_);
  const double p2 = Div(c2, total2_);
  const double cd = Checked(std::fabs(p1 - p2));

  a.name.assign(Acct);
  a.per1 = val1;
  a.per2 = val2;
  a.ca1 = c1;
  a.ca2 = c2;
  a.cp1 = p1;
  a.cp2 = p2;
  a.cd = cd;
  cumamt1_ = c1;
  cumamt2_ = c2;
  cumpct1_ = p1;
  cumpct2_ = p2;
  if (cd > dstat_) {  // ties keep the earlier account
    dstat_ = cd;
    exceptIndex_ = k;
    acctName_.assign(Acct);
    period1_ = val1;
    period2_ = val2;
  }
  ++next_;
  return Variant{};
}

}  // namespace tarnwick
