#pragma once
// cLongArray: a list of 32-bit integers in memory, used for the sequence test of document
// numbers (gaps in the numbering, share of consecutive numbers) and as the container of a
// table's cell counts.

#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/core/currency.h"

namespace tarnwick {

class cLongArray {
 public:
  cLongArray() = default;

  // Number of values.
  std::int32_t Count() const { return count_; }
  // Sum of the values.
  Currency Total() const { return total_; }
  // Appends d. When the count, the reserved capacity or the total would overflow, the value is
  // not added and a notice "ilastitem:<count> dtot <total>" is shown instead.
  void AddItem(std::int32_t d);
  // The value at position i (0-based) in the current order; 0 outside 0..Count-1.
  std::int32_t Element(std::int32_t i) const;
  // Sorts the values ascending.
  void SortArray();
  // The value at position i * Count / 100 (rounded, halves to even; no subtraction of 1);
  // 0 for i outside 0..99 or a position at or beyond the count.
  std::int32_t Percentile(std::int32_t i) const;
  // The gap summary line, CRLF, "Start<TAB>End<TAB>Gap" and one line per gap.
  std::string Gaps();
  // Share of neighbouring pairs that differ by exactly 1; 0 with fewer than two values.
  double SeqPct();
  // "Gaps: Count: <gaps> Missing: <missing>", or "Gaps: " alone with fewer than two values.
  // Overflow of either count is the overflow error.
  std::string CountGaps();

 private:
  std::vector<std::int32_t> values_;
  std::int32_t count_ = 0;
  std::int32_t capacity_ = 0;  // reserved slots as the host would hold them (50,000 at a time)
  Currency total_;
  std::int32_t gapCount_ = 0;
  std::int32_t missingCount_ = 0;
  double seqPct_ = 0.0;
};

}  // namespace tarnwick
