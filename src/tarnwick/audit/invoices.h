#pragma once
// cCR: two payables tests on invoices of one vendor that lie close together in time.
//  - Near misses: the same amount within DateTol days (a duplicate entered with a mistyped
//    number); each pair is listed with the edit distance between the invoice numbers.
//  - Split invoices: one invoice (the whole) equal (within 0.02) to the sum of two other,
//    different invoices of the same vendor (its parts) dated within DateTol days of each other,
//    and, when WholeTol is set, each part within WholeTol days of the whole. Each pair of parts
//    is written once per whole, the earlier-stored part first.
// Invoices are added with AddItem; each test call examines the invoice at the test position
// and advances it. Either add an invoice and test it at once (each invoice is tested against
// those before it), or add them all and then test once per invoice (pairs are found from both
// sides). The table grows with the invoices: none is ever dropped or overwritten.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarnwick/core/date.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {

class cCR {
 public:
  cCR();

  void DateTol(std::int32_t days) { dateTol_ = days; }
  // Kept for callers that set it; neither test reads it (no closeness limit, and the split
  // test's amount tolerance is a fixed 0.02).
  void SimTol(std::int32_t value) { simTol_ = value; }
  std::int32_t SimTol() const { return simTol_; }
  // Split test: days the whole invoice may lie from each of its parts (whole days, halves to
  // even, as DateTol). Negative, the default: the whole's date is not compared.
  void WholeTol(std::int32_t days) { wholeTol_ = days; }
  std::int32_t WholeTol() const { return wholeTol_; }
  // Split test: every pair of parts on a line of its own (true, the default), or each whole
  // once (false): its first pair, and a last column "Pairs" with how many pairs add up to it.
  // A vendor billing fixed prices makes many pairs per whole; one line each keeps the list
  // reviewable. Set before the first test call (it writes the heading).
  void EveryPair(bool every);
  bool EveryPair() const { return everyPair_; }

  void AddItem(const std::string& sVendor, const std::string& sInvNo, Date dInvDate, double dAmt);
  Variant nemisstrans();
  Variant SplitTran();
  const std::string& NEReport() const { return neReport_; }
  const std::string& SPReport() const { return spReport_; }
  // Lines written to the split report so far (its findings): pairs, or wholes when
  // EveryPair is false.
  std::int64_t SPCount() const { return spCount_; }
  // Pairs of parts found so far, whichever way they are listed.
  std::int64_t SPPairs() const { return spPairs_; }
  // Levenshtein distance with unit costs, case-sensitive.
  std::int16_t ld(std::string_view s, std::string_view t) const;

  // Invoices in the table (including blank slots passed by test calls made before any
  // invoice was added there).
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }

 private:
  struct Invoice {
    std::string vendor;
    std::string invno;
    Date date;
    double amount = 0.0;
  };

  using Keyed = std::pair<double, std::int32_t>;  // (amount or date, slot)

  // One vendor's invoices: every slot in ascending order, the slots of finite amounts ordered
  // by amount, and the slots of finite dates ordered by date (each sorted lazily: the tail
  // added since the last test is merged in).
  struct VendorIndex {
    std::vector<std::int32_t> slots;
    std::vector<Keyed> byAmount;
    std::size_t sorted = 0;
    std::vector<Keyed> byDate;
    std::size_t dateSorted = 0;
  };

  void Store(Invoice item);
  // Moves to the next invoice; a position past the end extends the table with blank slots.
  void Advance();
  // The tested invoice's vendor, its amount order brought up to date; nullptr if none.
  VendorIndex* VendorOf(const Invoice& p);
  // Slots (other than the tested one) of `byAmount` whose amounts lie in [lo, hi], in
  // ascending slot order.
  void SlotsInRange(const std::vector<Keyed>& byAmount, double lo, double hi);
  // The split findings of the whole p: parts i taken from `slots` (ascending), parts j > i
  // looked up in `byAmount` (the same invoices ordered by amount).
  void Splits(const Invoice& p, const std::vector<std::int32_t>& slots,
              const std::vector<Keyed>& byAmount);

  std::vector<Invoice> items_;
  std::unordered_map<std::string, VendorIndex> byVendor_;
  std::vector<std::int32_t> candidates_;
  std::vector<std::int32_t> windowSlots_;  // the split test's parts near the whole's date
  std::vector<Keyed> windowByAmount_;
  std::int32_t position_ = 0;
  std::int32_t dateTol_ = 5;
  std::int32_t simTol_ = 4;
  std::int32_t wholeTol_ = -1;
  std::string neReport_;
  std::string spReport_;
  std::int64_t spCount_ = 0;
  std::int64_t spPairs_ = 0;
  bool everyPair_ = true;
  mutable std::vector<std::int32_t> ldRow_;
};

}  // namespace tarnwick
