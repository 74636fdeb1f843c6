#pragma once
// cXtab: cross-tabulation of (row value, column value, amount) triples into a count table and
// an amount table of at most 30 x 30 labels, with a chi-square section on the counts.
//
// A triple whose row or column value would be the 31st distinct one is left out of both tables
// (never counted in another row's or column's cells); LeftOut() counts such triples and the
// report says how many there were.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/key_index.h"

namespace tarnwick {

class cXtab {
 public:
  static constexpr int kMaxLabels = 30;

  // The full report: chi-square section, counts and amounts. An empty table is the
  // division-by-zero error.
  std::string Report() const;
  // The count table when iType is 0, the amount table otherwise.
  std::string XtabResults(std::int16_t iType) const;
  std::string XtabChiSq() const;
  void AddItem(std::string_view rval, std::string_view cVal, double dAmt);

  // Triples left out because a 31st row or column value had no place in the table.
  std::int32_t LeftOut() const { return leftOut_; }
  double LeftOutAmount() const { return leftOutAmount_; }

 private:
  // Position of a label, registering it when new; -1 when the 30 places are taken.
  struct Labels {
    std::vector<std::string> names;
    KeyIndex index;
    int Find(std::string_view s);
  };

  Labels rows_;
  Labels cols_;
  std::array<std::int32_t, 901> counts_{};
  std::array<double, 901> amounts_{};
  std::int32_t leftOut_ = 0;
  double leftOutAmount_ = 0;
};

}  // namespace tarnwick
