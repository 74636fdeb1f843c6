#include "tarnwick/audit/invoices.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/report_text.h"

namespace tarnwick {
namespace {

// Whole days between two dates, halves to even.
double DayGap(Date a, Date b) { return RoundHalfEven(std::fabs(a - b)); }

}  // namespace

cCR::cCR() {
  neReport_ = "Near Miss Report ";
  neReport_ += kCrLf;
  neReport_ += "Vendno\tAmt\tInv Date \tSecond Date\tInvno\tSuspect Invno\tCloseness";
  neReport_ += kCrLf;
  spReport_ = "Split Invoice Report";
  spReport_ += kCrLf;
  spReport_ +=
      "Vendno\tInv No\tAmount\tFirst Part Inv No\tFirst Part Amount\tSecond Part Inv No\t"
      "Second Part Amount\tDays Between Parts\tDateTol";
  spReport_ += kCrLf;
}

void cCR::EveryPair(bool every) {
  if (every == everyPair_) return;
  everyPair_ = every;
  // The heading is the report's last line until a finding is written.
  const std::string_view pairs = "\tPairs";
  spReport_.resize(spReport_.size() - 2);  // its CR LF
  if (every) {
    spReport_.resize(spReport_.size() - pairs.size());
  } else {
    spReport_ += pairs;
  }
  spReport_ += kCrLf;
}

void cCR::Store(Invoice item) {
  const std::int32_t slot = Count();
  AddChecked(slot, std::int32_t{1});  // the table is counted in 32 bits
  VendorIndex& v = byVendor_[item.vendor];
  v.slots.push_back(slot);
  // A non-finite amount can never meet an amount condition, so it is left out of the order.
  if (std::isfinite(item.amount)) v.byAmount.emplace_back(item.amount, slot);
  if (std::isfinite(item.date.serial())) v.byDate.emplace_back(item.date.serial(), slot);
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

namespace {

// Brings a lazily sorted list up to date: the unsorted tail is sorted and merged in.
void SortTail(std::vector<std::pair<double, std::int32_t>>& list, std::size_t& sorted) {
  if (sorted == list.size()) return;
  const auto mid = list.begin() + static_cast<std::ptrdiff_t>(sorted);
  std::sort(mid, list.end());
  std::inplace_merge(list.begin(), mid, list.end());
  sorted = list.size();
}

// The first entry of a sorted list whose key is at least x.
auto FirstFrom(const std::vector<std::pair<double, std::int32_t>>& list, double x) {
  return std::lower_bound(
      list.begin(), list.end(), x,
      [](const std::pair<double, std::int32_t>& e, double v) { return e.first < v; });
}

}  // namespace

cCR::VendorIndex* cCR::VendorOf(const Invoice& p) {
  const auto it = byVendor_.find(p.vendor);
  if (it == byVendor_.end()) return nullptr;
  VendorIndex& v = it->second;
  SortTail(v.byAmount, v.sorted);
  return &v;
}

void cCR::SlotsInRange(const std::vector<Keyed>& byAmount, double lo, double hi) {
  candidates_.clear();
  for (auto it = FirstFrom(byAmount, lo); it != byAmount.end() && it->first <= hi; ++it)
    if (it->second != position_) candidates_.push_back(it->second);
  std::sort(candidates_.begin(), candidates_.end());
}

Variant cCR::nemisstrans() {
  if (position_ >= Count()) Store(Invoice{});  // a test call ahead of the invoices: blank slot
  const Invoice& p = items_[static_cast<std::size_t>(position_)];
  const VendorIndex* v = VendorOf(p);
  if (v != nullptr && std::isfinite(p.amount)) {
    // Same vendor and exactly the same amount, in slot order.
    SlotsInRange(v->byAmount, p.amount, p.amount);
    for (const std::int32_t i : candidates_) {
      const Invoice& other = items_[static_cast<std::size_t>(i)];
      if (!(DayGap(p.date, other.date) <= dateTol_)) continue;
      std::string& out = neReport_;
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

void cCR::Splits(const Invoice& p, const std::vector<std::int32_t>& slots,
                 const std::vector<Keyed>& byAmount) {
  std::int64_t pairs = 0;  // of this whole
  for (const std::int32_t i : slots) {
    if (i == position_) continue;
    const Invoice& a = items_[static_cast<std::size_t>(i)];
    if (!std::isfinite(a.amount)) continue;
    // j's amount must lie within two cents of P - i; the range is widened for the rounding of
    // large amounts and every candidate is then tested exactly.
    const double target = p.amount - a.amount;
    const double margin = 0.03 + 1e-12 * (std::fabs(p.amount) + std::fabs(a.amount));
    SlotsInRange(byAmount, target - margin, target + margin);
    for (const std::int32_t j : candidates_) {
      // Two different invoices, each pair once: the part stored later is the second.
      if (j <= i) continue;
      const Invoice& b = items_[static_cast<std::size_t>(j)];
      // In ten-thousandths, so that a difference of exactly two cents is inside the tolerance
      // whichever way the binary fractions of the amounts happen to round.
      if (!(RoundHalfEven(std::fabs(b.amount + a.amount - p.amount) * 10000.0) <= 200.0)) continue;
      const double gap = DayGap(a.date, b.date);
      if (!(gap <= dateTol_)) continue;
      ++spPairs_;
      if (++pairs > 1 && !everyPair_) continue;  // the first pair stands for the whole
      std::string& out = spReport_;
      out += p.vendor;
      out += kTab;
      out += p.invno;
      out += kTab;
      AppendNumText(out, p.amount);
      out += kTab;
      out += a.invno;
      out += kTab;
      AppendNumText(out, a.amount);
      out += kTab;
      out += b.invno;
      out += kTab;
      AppendNumText(out, b.amount);
      out += kTab;
      AppendNumText(out, gap);
      out += kTab;
      AppendNumText(out, static_cast<double>(dateTol_));
      if (everyPair_) out += kCrLf;
      ++spCount_;
    }
  }
  if (!everyPair_ && pairs > 0) {
    spReport_ += kTab;
    AppendNumText(spReport_, static_cast<double>(pairs));
    spReport_ += kCrLf;
  }
}

Variant cCR::SplitTran() {
  if (position_ >= Count()) Store(Invoice{});
  const Invoice& p = items_[static_cast<std::size_t>(position_)];
  // Every part of a finding shares P's vendor, so only that vendor's invoices are looked at.
  VendorIndex* v = VendorOf(p);
  if (v != nullptr && std::isfinite(p.amount)) {
    if (wholeTol_ < 0) {
      Splits(p, v->slots, v->byAmount);
    } else {
      // Only the vendor's invoices dated within WholeTol days of the whole can be its parts:
      // they are found through the date order, then ordered by amount for the pairing.
      SortTail(v->byDate, v->dateSorted);
      const double from = p.date.serial() - wholeTol_ - 1.0;
      const double to = p.date.serial() + wholeTol_ + 1.0;
      windowSlots_.clear();
      windowByAmount_.clear();
      for (auto it = FirstFrom(v->byDate, from); it != v->byDate.end() && it->first <= to; ++it) {
        const std::int32_t slot = it->second;
        const Invoice& part = items_[static_cast<std::size_t>(slot)];
        if (slot == position_ || !std::isfinite(part.amount)) continue;
        if (!(DayGap(p.date, part.date) <= wholeTol_)) continue;
        windowSlots_.push_back(slot);
        windowByAmount_.emplace_back(part.amount, slot);
      }
      std::sort(windowSlots_.begin(), windowSlots_.end());
      std::sort(windowByAmount_.begin(), windowByAmount_.end());
      Splits(p, windowSlots_, windowByAmount_);
    }
  }
  Advance();
  return Variant{};
}

std::int16_t cCR::ld(std::string_view s, std::string_view t) const {
  if (s.empty()) return Narrow<std::int16_t>(static_cast<std::int64_t>(t.size()));
  if (t.empty()) return Narrow<std::int16_t>(static_cast<std::int64_t>(s.size()));
  // One row of the distance table at a time: row[j] holds d(i, j).
  std::vector<std::int32_t>& row = ldRow_;
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
