#include "tarnwick/audit/invoices.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/shell/report_text.h"

namespace tarnwick {
namespace {

// Whole days between two dates, halves to even.
double DayGap(Date a, Date b) { return RoundHalfEven(std::fabs(a - b)); }

}  // namespace

cCR::cCR() {
  ne_report_ = "Near Miss Report ";
  ne_report_ += kCrLf;
  ne_report_ += "Vendno\tAmt\tInv Date \tSecond Date\tInvno\tSuspect Invno\tCloseness";
  ne_report_ += kCrLf;
  sp_report_ = "Split Invoice Report";
  sp_report_ += kCrLf;
  sp_report_ += "Vendno\tInv No\tInv No2 \tAmount\tAmount2\tAmount 3\tDiff";
  sp_report_ += kCrLf;
}

void cCR::Store(Invoice item) {
  const std::int32_t slot = Count();
  AddChecked(slot, std::int32_t{1});  // the table is counted in 32 bits
  VendorIndex& v = by_vendor_[item.vendor];
  v.slots.push_back(slot);
  // A non-finite amount can never meet an amount condition, so it is left out of the order.
  if (std::isfinite(item.amount)) v.by_amount.emplace_back(item.amount, slot);
  items_.push_back(std::move(item));
}

void cCR::AddItem(const std::string& sVendor, const std::string& sInvNo, Date dInvDate,
                  double dAmt) {
  Store(Invoice{sVendor, sInvNo, dInvDate, dAmt});
}

void cCR::Advance() {
  position_ = AddChecked(position_, std::int32_t{1});
  while (Count() < position_) Store(Invoice{});
}

cCR::VendorIndex* cCR::VendorOf(const Invoice& p) {
  const auto it = by_vendor_.find(p.vendor);
  if (it == by_vendor_.end()) return nullptr;
  VendorIndex& v = it->second;
  if (v.sorted < v.by_amount.size()) {
    const auto mid = v.by_amount.begin() + static_cast<std::ptrdiff_t>(v.sorted);
    std::sort(mid, v.by_amount.end());
    std::inplace_merge(v.by_amount.begin(), mid, v.by_amount.end());
    v.sorted = v.by_amount.size();
  }
  return &v;
}

void cCR::SlotsInRange(const VendorIndex& v, double lo, double hi) {
  candidates_.clear();
  const auto first = std::lower_bound(
      v.by_amount.begin(), v.by_amount.end(), lo,
      [](const std::pair<double, std::int32_t>& e, double x) { return e.first < x; });
  for (auto it = first; it != v.by_amount.end() && it->first <= hi; ++it)
    if (it->second != position_) candidates_.push_back(it->second);
  std::sort(candidates_.begin(), candidates_.end());
}

Variant cCR::nemisstrans() {
  if (position_ >= Count()) Store(Invoice{});  // a test call ahead of the invoices: blank slot
  const Invoice& p = items_[static_cast<std::size_t>(position_)];
  const VendorIndex* v = VendorOf(p);
  if (v != nullptr && std::isfinite(p.amount)) {
    // Same vendor and exactly the same amount, in slot order.
    SlotsInRange(*v, p.amount, p.amount);
    for (const std::int32_t i : candidates_) {
      const Invoice& other = items_[static_cast<std::size_t>(i)];
      if (!(DayGap(p.date, other.date) <= date_tol_)) continue;
      std::string& out = ne_report_;
      out += p.vendor;
      out += kTab;
      AppendNumText(out, p.amount);
      out += kTab;
      out += DateText(p.date);
      out += kTab;
      out += DateText(other.date);
      out += kTab;
      out += p.invno;
      out += kTab;
      out += other.invno;
      out += kTab;
      AppendNumText(out, ld(other.invno, p.invno));
      out += kCrLf;
    }
  }
  Advance();
  return Variant{};
}

Variant cCR::SplitTran() {
  if (position_ >= Count()) Store(Invoice{});
  const Invoice& p = items_[static_cast<std::size_t>(position_)];
  // Every i and j of a finding share P's vendor, so only that vendor's invoices are looked at.
  const VendorIndex* v = VendorOf(p);
  if (v != nullptr && std::isfinite(p.amount)) {
    for (const std::int32_t i : v->slots) {
      if (i == position_) continue;
      const Invoice& a = items_[static_cast<std::size_t>(i)];
      if (!std::isfinite(a.amount)) continue;
      // j's amount must lie within two cents of P - i; the range is widened for the rounding
      // of large amounts and every candidate is then tested exactly.
      const double target = p.amount - a.amount;
      const double margin = 0.03 + 1e-12 * (std::fabs(p.amount) + std::fabs(a.amount));
      SlotsInRange(*v, target - margin, target + margin);
      for (const std::int32_t j : candidates_) {
        const Invoice& b = items_[static_cast<std::size_t>(j)];
        // In ten-thousandths, so that a difference of exactly two cents is inside the
        // tolerance whichever way the binary fractions of the amounts happen to round.
        if (!(RoundHalfEven(std::fabs(b.amount + a.amount - p.amount) * 10000.0) <= 200.0))
          continue;
        const double gap = DayGap(a.date, b.date);
        if (!(gap <= date_tol_)) continue;
        std::string& out = sp_report_;
        out += p.vendor;
        out += kTab;
        out += p.invno;
        out += kTab;
        out += a.invno;
        out += kTab;
        AppendNumText(out, b.amount);
        out += kTab;
        AppendNumText(out, p.amount);
        out += kTab;
        AppendNumText(out, a.amount);
        out += kTab;
        AppendNumText(out, gap);
        out += kTab;
        AppendNumText(out, static_cast<double>(date_tol_));
        out += kCrLf;
      }
    }
  }
  Advance();
  return Variant{};
}

std::int16_t cCR::ld(std::string_view s, std::string_view t) const {
  if (s.empty()) return Narrow<std::int16_t>(static_cast<std::int64_t>(t.size()));
  if (t.empty()) return Narrow<std::int16_t>(static_cast<std::int64_t>(s.size()));
  // One row of the distance table at a time: row[j] holds d(i, j).
  std::vector<std::int32_t>& row = ld_row_;
  row.resize(t.size() + 1);
  for (std::size_t j = 0; j <= t.size(); ++j) row[j] = static_cast<std::int32_t>(j);
  for (std::size_t i = 1; i <= s.size(); ++i) {
    std::int32_t diagonal = row[0];  // d(i - 1, j - 1)
    row[0] = static_cast<std::int32_t>(i);
    for (std::size_t j = 1; j <= t.size(); ++j) {
      const std::int32_t above = row[j];  // d(i - 1, j)
      const std::int32_t cost = s[i - 1] == t[j - 1] ? 0 : 1;
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + cost});
      diagonal = above;
    }
  }
  return Narrow<std::int16_t>(row[t.size()]);
}

}  // namespace tarnwick
