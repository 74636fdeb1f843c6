#pragma once
// cCR: two payables tests on invoices of one vendor that lie close together in time.
//  - Near misses: the same amount within DateTol days (a duplicate entered with a mistyped
//    number); each pair is listed with the edit distance between the invoice numbers.
//  - Split invoices: one invoice equal (within 0.02) to the sum of two invoices of the same
//    vendor dated within DateTol days of each other.
// Invoices are added with AddItem; each test call examines the invoice at the test position
// and advances it. Either add an invoice and test it at once (each invoice is tested against
// those before it), or add them all and then test once per invoice (pairs are found from both
// sides). The table grows with the invoices: none is ever dropped or overwritten.

#include <cstdint>
#include <utility>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarnwick/core/date.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {

class cCR {
 public:
  cCR();

  void DateTol(std::int32_t days) { date_tol_ = days; }
  // Kept for callers that set it; neither test applies a closeness limit.
  void SimTol(std::int32_t value) { sim_tol_ = value; }
  std::int32_t SimTol() const { return sim_tol_; }

  void AddItem(const std::string& sVendor, const std::string& sInvNo, Date dInvDate, double dAmt);
  Variant nemisstrans();
  Variant SplitTran();
  const std::string& NEReport() const { return ne_report_; }
  const std::string& SPReport() const { return sp_report_; }
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

  // One vendor's invoices: every slot in ascending order, and the slots of finite amounts
  // ordered by amount (sorted lazily: the tail added since the last test is merged in).
  struct VendorIndex {
    std::vector<std::int32_t> slots;
    std::vector<std::pair<double, std::int32_t>> by_amount;
    std::size_t sorted = 0;
  };

  void Store(Invoice item);
  // Moves to the next invoice; a position past the end extends the table with blank slots.
  void Advance();
  // The tested invoice's vendor, its amount order brought up to date; nullptr if none.
  VendorIndex* VendorOf(const Invoice& p);
  // Slots (other than the tested one) whose amounts lie in [lo, hi], in ascending slot order.
  void SlotsInRange(const VendorIndex& v, double lo, double hi);

  std::vector<Invoice> items_;
  std::unordered_map<std::string, VendorIndex> by_vendor_;
  std::vector<std::int32_t> candidates_;
  std::int32_t position_ = 0;
  std::int32_t date_tol_ = 5;
  std::int32_t sim_tol_ = 4;
  std::string ne_report_;
  std::string sp_report_;
  mutable std::vector<std::int32_t> ld_row_;
};

}  // namespace tarnwick
