#pragma once
// cKS: compares the distribution of balances over accounts between two periods. Accounts are
// added in a fixed order; the running cumulative share of each period's total is kept per
// account, and the largest gap between the two (the two-sample Kolmogorov-Smirnov d-statistic
// over the account order) is reported with the account where it occurs.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/variant.h"

namespace tarnwick {

class cKS {
 public:
  std::int16_t Count() const { return count_; }
  std::int16_t ExceptIndex() const { return exceptIndex_; }
  // Per-account values, index 0..Count; any other index (or any before Setup) is the
  // subscript error.
  double CA1(std::int16_t i) const { return acct_[Slot(i)].ca1; }
  double CA2(std::int16_t i) const { return acct_[Slot(i)].ca2; }
  double CP1(std::int16_t i) const { return acct_[Slot(i)].cp1; }
  double CP2(std::int16_t i) const { return acct_[Slot(i)].cp2; }
  double CD(std::int16_t i) const { return acct_[Slot(i)].cd; }
  std::string Acct(std::int16_t i) const { return acct_[Slot(i)].name; }
  double Per1(std::int16_t i) const { return acct_[Slot(i)].per1; }
  double Per2(std::int16_t i) const { return acct_[Slot(i)].per2; }
  double cumamt1() const { return cumamt1_; }
  double cumamt2() const { return cumamt2_; }
  double cumpct1() const { return cumpct1_; }
  double cumpct2() const { return cumpct2_; }
  double Total1() const { return total1_; }
  double Total2() const { return total2_; }
  double dstat() const { return dstat_; }
  void Setup(std::int16_t iCt, double p1total, double p2total);
  std::string AcctName() const { return acctName_; }
  double Period1() const { return period1_; }
  double Period2() const { return period2_; }
  Variant AddItem(std::string_view Acct, double val1, double val2);

 private:
  struct Account {
    std::string name;
    double per1 = 0.0, per2 = 0.0, ca1 = 0.0, ca2 = 0.0, cp1 = 0.0, cp2 = 0.0, cd = 0.0;
  };
  std::size_t Slot(std::int16_t i) const;

  std::int16_t count_ = 0;
  double total1_ = 0.0, total2_ = 0.0;
  std::vector<Account> acct_;  // 0..count_ after Setup
  double cumamt1_ = 0.0, cumamt2_ = 0.0, cumpct1_ = 0.0, cumpct2_ = 0.0;
  double dstat_ = 0.0;
  std::int16_t exceptIndex_ = 0;
  std::string acctName_;
  double period1_ = 0.0, period2_ = 0.0;
  std::int32_t next_ = 0;
};

}  // namespace tarnwick
